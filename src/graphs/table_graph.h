// SPDX-License-Identifier: GPL-3.0-or-later
// The 3D surface beside a duty table. It follows the table's cells (set_value for one edit,
// set_values for a bulk change) and turns by 10 degrees for each click on its left or right
// half; MathGL's own mouse rotation and zoom are off.
#pragma once

#include <QDeadlineTimer>
#include <QVector>

#include <mgl2/qmathgl.h>

class table_grapher;

class table_graph : public QMathGL
{
    Q_OBJECT

public:
    explicit table_graph(QWidget* parent = nullptr);

    /// The drawing and its data (owned by MathGL's widget, which deletes it).
    const table_grapher* drawing() const { return grapher; }

public slots:
    /// One cell, as the table counts rows (0 = top).
    void set_value(double value, int col, int row);
    /// The whole grid, bottom row first, left to right within a row.
    void set_values(QVector<double> values, int cols, int rows);
    /// A new grid of zeros; no redraw.
    void data_resize(int cols, int rows);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void request_redraw();
    bool in_left_half(double x) const;

    table_grapher* grapher;
    // A monotonic deadline, so that a change of the wall clock cannot silence the hints.
    QDeadlineTimer next_hint;
    bool hints_on = true;
    bool redraw_on_show = false;
    int last_width = -1;
    int last_height = -1;
};
