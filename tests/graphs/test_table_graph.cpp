// SPDX-License-Identifier: GPL-3.0-or-later
// The 3D table graph: where cells land in its grid, turning by clicks, hints, the resize rule
// and what it renders.
#include "log_capture.h"
#include "table_graph.h"
#include "table_grapher.h"

#include <QMouseEvent>
#include <QToolTip>
#include <QtTest>

#include <memory>

namespace {

double at(const table_graph& graph, int x, int y)
{
    const mglData& data = graph.drawing()->data;
    return data.a[x + y * data.nx];
}

int canvas_width(table_graph& graph)
{
    return mgl_get_width(graph.canvas());
}

/// Pixels within `tolerance` of `color` in each channel.
int count_near(const QImage& image, QColor color, int tolerance)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - color.red()) <= tolerance &&
                qAbs(c.green() - color.green()) <= tolerance &&
                qAbs(c.blue() - color.blue()) <= tolerance)
                ++n;
        }
    return n;
}

void move_to(QWidget& widget, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget.mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

} // namespace

class test_table_graph : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cells_land_in_the_grid();
    void clicks_turn_the_view_and_end_the_hints();
    void small_resizes_keep_the_canvas();
    void renders_the_bands();
    void builds_the_canvas_when_first_shown();

private:
    std::unique_ptr<table_graph> graph;
};

void test_table_graph::init()
{
    graph = std::make_unique<table_graph>();
    graph->resize(400, 300);
    graph->show();
    QVERIFY(QTest::qWaitForWindowExposed(graph.get()));
}

void test_table_graph::cleanup()
{
    graph.reset();
}

void test_table_graph::cells_land_in_the_grid()
{
    // The table's top-left cell is the grid's x = 0 at the largest y.
    graph->set_value(42, 0, 0);
    QCOMPARE(at(*graph, 0, 15), 42.0);
    graph->set_value(7, 3, 15);
    QCOMPARE(at(*graph, 3, 0), 7.0);

    log_capture log;
    graph->set_value(50, 16, 0);
    QCOMPARE(log.count("Index out of bounds. 16 > 15 || 0 > 15", QtCriticalMsg), 1);
    QCOMPARE(at(*graph, 0, 15), 42.0);

    // A whole grid comes bottom row first, as the table announces it.
    QVector<double> values(16 * 16);
    for (int i = 0; i < values.size(); ++i)
        values[i] = i % 101;
    graph->set_values(values, 16, 16);
    QCOMPARE(at(*graph, 0, 0), 0.0);
    QCOMPARE(at(*graph, 5, 2), double(37));
    // A grid shorter than its size says is refused rather than read past its end.
    graph->set_values(QVector<double>(10, 99), 16, 16);
    QCOMPARE(log.count("10 values do not fill a grid of 16 x 16", QtCriticalMsg), 1);
    QCOMPARE(at(*graph, 5, 2), double(37));

    graph->data_resize(4, 3);
    QCOMPARE(int(graph->drawing()->data.nx), 4);
    QCOMPARE(int(graph->drawing()->data.ny), 3);
    QCOMPARE(at(*graph, 3, 2), 0.0);
    graph->set_value(1, 3, 3);
    QCOMPARE(log.count("Index out of bounds. 3 > 3 || 3 > 2", QtCriticalMsg), 1);
}

void test_table_graph::clicks_turn_the_view_and_end_the_hints()
{
    QCOMPARE(graph->phi(), 330);
    QCOMPARE(graph->tet(), 60);
    QTest::qWait(300); // the first hint waits a moment after construction
    move_to(*graph, QPoint(20, 150));
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QString("Click to rotate left"));
    move_to(*graph, QPoint(380, 150));
    QCOMPARE(QToolTip::text(), QString("Click to rotate left")); // one hint per 250 ms
    QTest::qWait(300);
    move_to(*graph, QPoint(380, 150));
    QCOMPARE(QToolTip::text(), QString("Click to rotate right"));

    QTest::mouseClick(graph.get(), Qt::LeftButton, {}, QPoint(199, 150));
    QCOMPARE(graph->phi(), 320);
    QTest::mouseClick(graph.get(), Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseClick(graph.get(), Qt::LeftButton, {}, QPoint(390, 10));
    QCOMPARE(graph->phi(), 340);
    // Dragging does not turn the view by itself: only the release counts.
    QTest::mousePress(graph.get(), Qt::LeftButton, {}, QPoint(10, 10));
    move_to(*graph, QPoint(200, 200));
    QTest::mouseRelease(graph.get(), Qt::LeftButton, {}, QPoint(300, 250));
    QCOMPARE(graph->phi(), 350);
    QCOMPARE(graph->tet(), 60);

    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    QTest::qWait(300);
    move_to(*graph, QPoint(20, 150));
    QVERIFY(!QToolTip::isVisible()); // no more hints after the first click
}

void test_table_graph::small_resizes_keep_the_canvas()
{
    QCOMPARE(canvas_width(*graph), 400);
    graph->resize(405, 300);
    QCOMPARE(canvas_width(*graph), 400);
    graph->resize(410, 308); // measured from the last size rendered, not from 405
    QCOMPARE(canvas_width(*graph), 400);
    graph->resize(420, 300);
    QCOMPARE(canvas_width(*graph), 420);
    graph->resize(420, 280);
    QCOMPARE(mgl_get_height(graph->canvas()), 280);
}

void test_table_graph::renders_the_bands()
{
    const QColor lowest(127, 127, 255);
    const QColor highest(255, 127, 127);
    graph->set_values(QVector<double>(256, 0), 16, 16);
    const QImage flat = graph->grab().toImage();
    QVERIFY(count_near(flat, lowest, 2) > 5000);
    QCOMPARE(count_near(flat, highest, 12), 0);

    graph->set_value(100, 8, 6);
    const QImage peak = graph->grab().toImage();
    QVERIFY(count_near(peak, highest, 12) > 0);
    QVERIFY(count_near(peak, lowest, 2) > 5000);
}

void test_table_graph::builds_the_canvas_when_first_shown()
{
    table_graph hidden;
    hidden.resize(300, 200);
    QVector<double> values(256, 0);
    values[100] = 100;
    hidden.set_values(values, 16, 16);
    QVERIFY(!hidden.canvas());
    // Turned before it was ever shown: the view starts at the angle the clicks left.
    QTest::mouseClick(&hidden, Qt::LeftButton, {}, QPoint(10, 100));
    QCOMPARE(hidden.phi(), 320);

    hidden.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hidden));
    QVERIFY(hidden.canvas());
    QCOMPARE(mgl_get_width(hidden.canvas()), 300);
    QVERIFY(count_near(hidden.grab().toImage(), QColor(255, 127, 127), 12) > 0);
}

QTEST_MAIN(test_table_graph)
#include "test_table_graph.moc"
