// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_graph.h"

#include "table_grapher.h"

#include <mgl2/qmathgl.h>

#include <QDebug>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QToolTip>

#include <cmath>
#include <cstdlib>

#include <omp.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr int hint_interval_ms = 250;
constexpr int hint_duration_ms = 7000;
constexpr int turn_degrees = 10;
// Smaller resizes keep the rendered canvas: rendering the surface is not cheap.
constexpr int resize_slack_px = 10;

// Measured on a busy two-core machine: a render took 370-500 ms, nearly all of it spent
// outside the drawing. MathGL's idle OpenMP threads spin against everything else that runs,
// and the buffers it allocates and frees for each render (several MB) went back to the
// system every time and faulted in again page by page. With one thread, and freed blocks
// kept in the heap, a render takes about 10 ms. A 16 x 16 surface gains nothing from more
// threads.
void tune_rendering()
{
    static const bool tuned = [] {
        omp_set_num_threads(1);
#ifdef __GLIBC__
        mallopt(M_MMAP_THRESHOLD, 16 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 32 * 1024 * 1024);
#endif
        return true;
    }();
    Q_UNUSED(tuned);
}

} // namespace

table_graph::table_graph(QWidget* parent)
    : QWidget(parent)
    , grapher(new table_grapher)
    , next_hint(hint_interval_ms)
{
    setMouseTracking(true); // the hints follow the pointer with no button pressed
}

table_graph::~table_graph()
{
    if (!view)
        delete grapher;
}

HMGL table_graph::canvas() const
{
    return view ? view->getGraph() : nullptr;
}

void table_graph::create_view()
{
    tune_rendering();
    view = new QMathGL(this);
    // The view changes only by the click rule and the canvas only by the resize rule; the
    // clicks and the pointer reach this widget, not MathGL's.
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->autoResize = false;
    view->enableMouse = false;
    view->enableWheel = false;
    view->setRotate(false);
    view->setZoom(false);
    view->setDotsPreview(false);
    view->setTet(view_tet);
    view->setPhi(view_phi);
    view->setZoomScl(0.71);
    view->zoomOut();
    // MathGL's widget owns the drawing from here on and deletes it with itself.
    view->setDraw(grapher);
    view->setGeometry(rect());
    fit_canvas(true);
    view->show();
    redraw_on_show = false;
    view->update();
}

void table_graph::set_value(double value, int col, int row)
{
    mglData& surface = grapher->data;
    if (col < 0 || row < 0 || col >= surface.nx || row >= surface.ny) {
        qCritical("Index out of bounds. %d > %ld || %d > %ld", col, long(surface.nx - 1), row,
                  long(surface.ny - 1));
        return;
    }
    surface.a[col + (surface.ny - row - 1) * surface.nx] = value;
    request_redraw();
}

void table_graph::set_values(QVector<double> values, int cols, int rows)
{
    // Never read past what was given: a short vector would leave the grid as it was.
    if (cols <= 0 || rows <= 0 || values.size() < cols * rows) {
        qCritical("%d values do not fill a grid of %d x %d", int(values.size()), cols, rows);
        return;
    }
    mgl_data_set_double(&grapher->data, values.constData(), cols, rows, 1);
    request_redraw();
}

void table_graph::data_resize(int cols, int rows)
{
    mgl_data_create(&grapher->data, cols, rows, 1);
}

// Three of the four graphs sit on hidden pages: they render when they are shown.
void table_graph::request_redraw()
{
    if (view && isVisible())
        view->update();
    else
        redraw_on_show = true;
}

void table_graph::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!view) {
        create_view();
    } else if (redraw_on_show) {
        redraw_on_show = false;
        view->update();
    }
}

bool table_graph::in_left_half(double x) const
{
    return std::lround(x) < width() / 2;
}

void table_graph::mouseReleaseEvent(QMouseEvent* event)
{
    view_phi += in_left_half(event->localPos().x()) ? -turn_degrees : turn_degrees;
    if (view)
        view->setPhi(view_phi);
    event->accept();
    hints_on = false;
}

void table_graph::mouseMoveEvent(QMouseEvent* event)
{
    if (hints_on && next_hint.hasExpired()) {
        const QPoint at(std::lround(event->screenPos().x()), std::lround(event->screenPos().y()));
        const QString hint =
            in_left_half(event->localPos().x()) ? "Click to rotate left" : "Click to rotate right";
        QToolTip::showText(at, hint, this, rect(), hint_duration_ms);
        next_hint.setRemainingTime(hint_interval_ms);
    }
    QWidget::mouseMoveEvent(event);
}

void table_graph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!view)
        return;
    view->setGeometry(rect());
    fit_canvas(false);
}

void table_graph::fit_canvas(bool always)
{
    if (!always && std::abs(width() - last_width) <= resize_slack_px &&
        std::abs(height() - last_height) <= resize_slack_px)
        return;
    last_width = width();
    last_height = height();
    // MathGL's widget keeps its canvas size as its minimum size, which would stop a layout
    // from ever shrinking the graph.
    view->setSize(last_width, last_height);
    view->setMinimumSize(0, 0);
}
