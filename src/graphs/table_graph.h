// SPDX-License-Identifier: GPL-3.0-or-later
// The 3D surface beside a duty table. It follows the table's cells (set_value for one edit,
// set_values for a bulk change) and turns by 10 degrees for each click on its left or right
// half; MathGL's own mouse rotation and zoom are off.
//
// MathGL's widget allocates an 800 x 600 canvas and loads its fonts when it is built, tens of
// MB and a noticeable pause, and the window has four graphs on pages the user may never open.
// So this widget keeps the grid itself and builds MathGL's widget inside it when it is first
// shown.
#pragma once

#include <QDeadlineTimer>
#include <QVector>
#include <QWidget>

#include <mgl2/abstract.h>

class QMathGL;
class table_grapher;

class table_graph : public QWidget
{
    Q_OBJECT

public:
    explicit table_graph(QWidget* parent = nullptr);
    ~table_graph() override;

    /// The drawing and its data.
    const table_grapher* drawing() const { return grapher; }
    /// The view's angles in degrees.
    int phi() const { return view_phi; }
    int tet() const { return view_tet; }
    /// MathGL's canvas, or null until the graph was first shown.
    HMGL canvas() const;

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
    void create_view();
    void fit_canvas(bool always);
    void request_redraw();
    bool in_left_half(double x) const;

    // Owned here until the view exists; MathGL's widget deletes it with itself after that.
    table_grapher* grapher;
    QMathGL* view = nullptr;
    int view_phi = 330;
    int view_tet = 60;
    // A monotonic deadline, so that a change of the wall clock cannot silence the hints.
    QDeadlineTimer next_hint;
    bool hints_on = true;
    bool redraw_on_show = false;
    int last_width = -1;
    int last_height = -1;
};
