// SPDX-License-Identifier: GPL-3.0-or-later
// Draws one duty table as a 3D surface for its table_graph: x the column, y the row counted
// from the bottom, z the duty, in the same colour bands as the table's cells.
#pragma once

#include <QColor>

#include <mgl2/mgl.h>
#include <mgl2/wnd.h>

class table_grapher : public mglDraw
{
public:
    table_grapher();

    int Draw(mglGraph* gr) override;
    void Reload() override {}
    void Click() override {}

    /// Duty of column i, row j counted from the bottom, at i + j * nx.
    mglData data;
    /// Band colours of the duties 5, 15, ..., 95, as the table colours its cells.
    QColor band_colors[9];
};
