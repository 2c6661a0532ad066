// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter.h"
#include "duty_table.h"
#include "log_capture.h"

#include <QFrame>
#include <QHeaderView>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

QStringList repeated(int n, const QString& text)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out.append(text);
    return out;
}

QVector<int> horz_headers(const duty_table& table)
{
    QVector<int> out;
    for (int i = 0; i < table.columnCount(); ++i)
        out.append(table.horz_header_at(i));
    return out;
}

// Row headers from the bottom row up, as the user reads the axis.
QStringList vert_texts(const duty_table& table)
{
    QStringList out;
    for (int row = table.rowCount() - 1; row >= 0; --row)
        out.append(table.verticalHeaderItem(row)->text());
    return out;
}

// Sizes the table so that its viewport is exactly `size` (header widths settle lazily).
bool fit_viewport(duty_table& table, QSize size)
{
    for (int i = 0; i < 5 && table.viewport()->size() != size; ++i) {
        QApplication::processEvents();
        table.resize(table.size() + size - table.viewport()->size());
        QApplication::processEvents();
    }
    return table.viewport()->size() == size;
}

QVector<int> series(int first, int second, int step)
{
    QVector<int> out = {0, first};
    for (int i = 2; i < 16; ++i)
        out.append(second + (i - 2) * step);
    return out;
}

} // namespace

class test_duty_table : public QObject
{
    Q_OBJECT

private slots:
    void slots_in_declared_order();
    void horz_axis_data();
    void horz_axis();
    void every_listed_max_rpm_ends_on_max();
    void horz_axis_needs_multiple_of_500();
    void header_font_and_widths();
    void vert_axis_examples();
    void every_boost_diff_steps_in_quarters();
    void small_boost_diff_gives_zeros();
    void large_boost_diff_is_even();
    void vert_axis_linear();
    void header_index_out_of_range();
    void every_percent_survives_coding();
    void worked_cell_values_data();
    void worked_cell_values();
    void reading_uses_ten_bits();
    void block_order();
    void wrong_size_block_changes_nothing();
    void null_conv_refuses();
    void bulk_changes_announce_once();
    void cell_colors_data();
    void cell_colors();
    void single_edit_recolours();
    void disabled_table_is_grey();
    void coverage_shades_visited_cells_and_keeps_duties();
    void lines_follow_visibility();
    void lines_move_at_most_ten_times_a_second();
    void lines_cross_at_cell_centre();
    void lines_extrapolate_and_survive_flat_axes();
};

void test_duty_table::slots_in_declared_order()
{
    const QMetaObject& meta = duty_table::staticMetaObject;
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        methods.append(QString::fromLatin1(meta.method(i).methodSignature()));
    const QStringList expected = {"many_cells_updated(QVector<double>,int,int)",
                                  "changeEvent(QEvent*)",
                                  "contextMenuEvent(QContextMenuEvent*)",
                                  "set_highlight_visible(bool)",
                                  "keyPressEvent(QKeyEvent*)",
                                  "cut()",
                                  "copy()",
                                  "paste()",
                                  "clear()",
                                  "script()",
                                  "on_cellChanged(int,int)"};
    QCOMPARE(methods, expected);
    QCOMPARE(meta.method(meta.methodOffset() + 10).access(), QMetaMethod::Private);
}

void test_duty_table::horz_axis_data()
{
    QTest::addColumn<int>("max_rpm");
    QTest::addColumn<QVector<int>>("headers");
    QTest::newRow("8000") << 8000 << series(1000, 1500, 500);
    QTest::newRow("4000") << 4000 << series(500, 750, 250);
    QTest::newRow("500") << 500 << series(0, 35, 35);
    QTest::newRow("1000") << 1000 << series(300, 350, 50);
    QTest::newRow("20000") << 20000 << series(2500, 3750, 1250);
    QTest::newRow("above the list") << 25000 << series(0, 1785, 1785);
}

void test_duty_table::horz_axis()
{
    QFETCH(int, max_rpm);
    QFETCH(QVector<int>, headers);
    duty_table table(16, 16);
    table.set_horz_axis(max_rpm);
    QCOMPARE(horz_headers(table), headers);
}

void test_duty_table::every_listed_max_rpm_ends_on_max()
{
    for (int max_rpm = 1000; max_rpm <= 20000; max_rpm += 500) {
        QVERIFY(duty_table::calc_horz_axis(max_rpm, 1) > 0);
        QCOMPARE(duty_table::calc_horz_axis(max_rpm, 15), max_rpm);
        QVERIFY(duty_table::calc_horz_axis(max_rpm, 2) > duty_table::calc_horz_axis(max_rpm, 1));
    }
    QCOMPARE(duty_table::calc_horz_axis(8000, 16), 0);
    QCOMPARE(duty_table::calc_horz_axis(8000, -1), 0);
}

void test_duty_table::horz_axis_needs_multiple_of_500()
{
    duty_table table(16, 16);
    table.set_horz_axis(8000);
    log_capture log;
    table.set_horz_axis(8250);
    QCOMPARE(horz_headers(table), series(1000, 1500, 500));
    QCOMPARE(log.entries().size(), 0);
    QCOMPARE(duty_table::calc_horz_axis(8250, 3), 0);
    QCOMPARE(log.count("max_rpm must be % by 500 8250", QtCriticalMsg), 1);
}

void test_duty_table::header_font_and_widths()
{
    duty_table table(16, 16);
    const QFont font = table.horizontalHeader()->font();
    QVERIFY(font.bold());
    QCOMPARE(font.weight(), 75);
    QCOMPARE(font.pointSize(), 11);
    QCOMPARE(table.verticalHeader()->font(), font);
    const int header_width = QFontMetrics(font).horizontalAdvance("8000") + 20;
    QCOMPARE(table.horizontalHeader()->defaultSectionSize(), header_width);
    QCOMPARE(table.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(table.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);

    table.set_horz_axis(12000);
    const int width = table.fontMetrics().horizontalAdvance("12000") + 20;
    QCOMPARE(table.horizontalHeader()->defaultSectionSize(), width);
    QCOMPARE(table.horizontalHeader()->minimumWidth(), width);
    QCOMPARE(table.columnWidth(7), width);
    QVERIFY(!table.horizontalHeader()->isHidden());
}

void test_duty_table::vert_axis_examples()
{
    duty_table table(16, 16);
    table.set_vert_axis(0, 30);
    QStringList psi30;
    for (int i = 0; i <= 30; i += 2)
        psi30.append(QString::number(i) + ".00");
    QCOMPARE(vert_texts(table), psi30);

    table.set_vert_axis(5, 25);
    const QStringList psi5_25 = {"5.00",  "7.50",  "8.75",  "10.00", "11.25", "12.50",
                                 "13.75", "15.00", "16.25", "17.50", "18.75", "20.00",
                                 "21.25", "22.50", "23.75", "25.00"};
    QCOMPARE(vert_texts(table), psi5_25);
    QCOMPARE(table.vert_header_at(0), 25.0);
    QCOMPARE(table.vert_header_at(14), 7.5);
}

void test_duty_table::every_boost_diff_steps_in_quarters()
{
    log_capture log;
    for (int d = 5; d <= 100; ++d) {
        for (double min : {0.0, -3.0, 7.25}) {
            const double max = min + d;
            QCOMPARE(duty_table::calc_vert_axis(max, min, 0), min);
            const double step =
                duty_table::calc_vert_axis(max, min, 3) - duty_table::calc_vert_axis(max, min, 2);
            QVERIFY2(step > 0, qPrintable(QString::number(d)));
            QVERIFY2(qAbs(step * 4 - std::round(step * 4)) < 1e-9, qPrintable(QString::number(d)));
            QVERIFY(qAbs(duty_table::calc_vert_axis(max, min, 15) - max) < 1e-9);
            QVERIFY(duty_table::calc_vert_axis(max, min, 1) > min);
        }
    }
    QCOMPARE(log.entries().size(), 0);
    // The step groups the user sees.
    const struct
    {
        int d;
        double step;
    } groups[] = {{5, 0.25}, {7, 0.25}, {8, 0.5},  {10, 0.5}, {11, 0.75}, {14, 0.75},
                  {36, 2.5}, {42, 2.5}, {85, 6.0}, {98, 6.0}, {99, 7.0},  {100, 7.0}};
    for (const auto& g : groups)
        QCOMPARE(duty_table::calc_vert_axis(g.d, 0, 3) - duty_table::calc_vert_axis(g.d, 0, 2),
                 g.step);
}

void test_duty_table::small_boost_diff_gives_zeros()
{
    duty_table table(16, 16);
    log_capture log;
    table.set_vert_axis(0, 4);
    QCOMPARE(vert_texts(table), repeated(16, "0.00"));
    QVERIFY(log.count("boost_diff < 5. 4 0 4", QtCriticalMsg) > 0);
    // 4.4 rounds to 4, 4.5 to 5.
    QCOMPARE(duty_table::calc_vert_axis(4.4, 0, 15), 0.0);
    QCOMPARE(duty_table::calc_vert_axis(4.5, 0, 15), 4.5);
    QCOMPARE(duty_table::calc_vert_axis(qQNaN(), 0, 15), 0.0);
}

void test_duty_table::large_boost_diff_is_even()
{
    log_capture log;
    QCOMPARE(duty_table::calc_vert_axis(140, 0, 15), 140.0);
    QCOMPARE(duty_table::calc_vert_axis(140, 0, 8), 70.0);
    QCOMPARE(log.count("Unhandled boost_diff 140", QtWarningMsg), 2);
    QCOMPARE(duty_table::calc_vert_axis(30, 0, 16), 0.0);
    QCOMPARE(log.count("Unhandled index 16", QtCriticalMsg), 1);
}

void test_duty_table::vert_axis_linear()
{
    duty_table table(16, 16);
    table.set_vert_axis_linear(0.5, 4.5);
    QCOMPARE(table.verticalHeaderItem(0)->text(), QString("4.50"));
    QCOMPARE(table.verticalHeaderItem(14)->text(), QString("0.77"));
    QCOMPARE(table.verticalHeaderItem(15)->text(), QString("0.50"));
}

void test_duty_table::header_index_out_of_range()
{
    duty_table table(16, 16);
    table.set_horz_axis(8000);
    log_capture log;
    QCOMPARE(table.horz_header_at(16), 0);
    QCOMPARE(table.vert_header_at(16), 0.0);
    QCOMPARE(log.count("16 >= 16", QtCriticalMsg), 2);
}

void test_duty_table::every_percent_survives_coding()
{
    converter conv;
    duty_table source(16, 16);
    source.conv = &conv;
    for (int i = 0; i < 256; ++i)
        source.item(i / 16, i % 16)->setText(QString::number(i % 101));
    duty_table copy(16, 16);
    copy.conv = &conv;
    copy.from_byteArray(source.to_byteArray());
    QCOMPARE(copy.cell_values(), source.cell_values());
    for (int i = 0; i < 256; ++i)
        QCOMPARE(copy.item(i / 16, i % 16)->text(), QString::number(i % 101));
}

void test_duty_table::worked_cell_values_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("0") << "0" << QByteArray::fromHex("0000");
    QTest::newRow("1") << "1" << QByteArray::fromHex("000A");
    QTest::newRow("50") << "50" << QByteArray::fromHex("0200");
    QTest::newRow("99") << "99" << QByteArray::fromHex("03F5");
    QTest::newRow("100") << "100" << QByteArray::fromHex("03FF");
    QTest::newRow("above 100") << "150" << QByteArray::fromHex("03FF");
    QTest::newRow("negative") << "-5" << QByteArray::fromHex("0000");
}

void test_duty_table::worked_cell_values()
{
    QFETCH(QString, cell);
    QFETCH(QByteArray, bytes);
    converter conv;
    duty_table table(16, 16);
    table.conv = &conv;
    table.item(15, 0)->setText(cell);
    QCOMPARE(table.to_byteArray().left(2), bytes);
}

void test_duty_table::reading_uses_ten_bits()
{
    converter conv;
    duty_table table(16, 16);
    table.conv = &conv;
    QByteArray block(512, '\0');
    block[0] = char(0xFC);
    block[2] = char(0x07);
    block[3] = char(0xFF);
    table.from_byteArray(block);
    QCOMPARE(table.item(15, 0)->text(), QString("0"));
    QCOMPARE(table.item(15, 1)->text(), QString("100"));
}

void test_duty_table::block_order()
{
    converter conv;
    duty_table table(16, 16);
    table.conv = &conv;
    table.item(15, 0)->setText("1");
    table.item(14, 1)->setText("50");
    table.item(0, 15)->setText("100");
    const QByteArray block = table.to_byteArray();
    QCOMPARE(block.size(), 512);
    QCOMPARE(block.mid(0, 2), QByteArray::fromHex("000A"));
    QCOMPARE(block.mid(34, 2), QByteArray::fromHex("0200"));
    QCOMPARE(block.mid(510, 2), QByteArray::fromHex("03FF"));
    const QVector<double> values = table.cell_values();
    QCOMPARE(values[0], 1.0);
    QCOMPARE(values[17], 50.0);
    QCOMPARE(values[255], 100.0);
}

void test_duty_table::wrong_size_block_changes_nothing()
{
    converter conv;
    duty_table table(16, 16);
    table.conv = &conv;
    table.fill_all("7");
    QSignalSpy spy(&table, &duty_table::many_cells_updated);
    log_capture log;
    table.from_byteArray(QByteArray(510, char(0x02)));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(table.cell_values(), QVector<double>(256, 7.0));
    QCOMPARE(log.count("data isn't the same size as this table:510 table:512", QtCriticalMsg), 1);
}

void test_duty_table::null_conv_refuses()
{
    duty_table table(16, 16);
    table.fill_all("7");
    QSignalSpy spy(&table, &duty_table::many_cells_updated);
    log_capture log;
    QVERIFY(table.to_byteArray().isEmpty());
    table.from_byteArray(QByteArray(512, '\0'));
    QCOMPARE(table.cell_values(), QVector<double>(256, 7.0));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(log.count("conv was not set prior to calling this method", QtCriticalMsg), 2);
}

void test_duty_table::bulk_changes_announce_once()
{
    converter conv;
    duty_table table(16, 16);
    table.conv = &conv;
    QSignalSpy bulk(&table, &duty_table::many_cells_updated);
    QSignalSpy single(&table, &QTableWidget::cellChanged);
    table.fill_all("30");
    QByteArray block(512, '\0');
    block[1] = char(0x0A);
    table.from_byteArray(block);
    QCOMPARE(single.count(), 0);
    QCOMPARE(bulk.count(), 2);
    QCOMPARE(bulk.at(0).at(0).value<QVector<double>>(), QVector<double>(256, 30.0));
    QVector<double> last(256, 0.0);
    last[0] = 1;
    QCOMPARE(bulk.at(1).at(0).value<QVector<double>>(), last);
    QCOMPARE(bulk.at(1).at(1).toInt(), 16);
    QCOMPARE(bulk.at(1).at(2).toInt(), 16);
}

void test_duty_table::cell_colors_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    const QColor black = Qt::black;
    const QColor white = Qt::white;
    QTest::newRow("0") << 0 << black << QColor(255, 255, 255);
    QTest::newRow("1") << 1 << white << QColor(127, 127, 255);
    QTest::newRow("10") << 10 << white << QColor(127, 127, 255);
    QTest::newRow("11") << 11 << white << QColor(127, 191, 255);
    QTest::newRow("21") << 21 << white << QColor(127, 191, 255);
    QTest::newRow("22") << 22 << black << QColor(127, 255, 255);
    QTest::newRow("54") << 54 << black << QColor(127, 255, 127);
    QTest::newRow("55") << 55 << black << QColor(191, 255, 127);
    QTest::newRow("87") << 87 << black << QColor(255, 191, 127);
    QTest::newRow("88") << 88 << black << QColor(255, 127, 127);
    QTest::newRow("255") << 255 << black << QColor(255, 127, 127);
}

void test_duty_table::cell_colors()
{
    QFETCH(int, value);
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QColor t, b;
    duty_table::calc_cell_colors(quint8(value), t, b);
    QCOMPARE(t, text);
    QCOMPARE(b, background);
}

void test_duty_table::single_edit_recolours()
{
    duty_table table(16, 16);
    table.item(3, 4)->setText("50");
    QCOMPARE(table.item(3, 4)->background().color(), QColor(127, 255, 127));
    QCOMPARE(table.item(3, 4)->foreground().color(), QColor(Qt::black));
    QCOMPARE(table.item(3, 5)->background().color(), QColor(Qt::white));
}

void test_duty_table::coverage_shades_visited_cells_and_keeps_duties()
{
    duty_table table(16, 16);
    table.fill_all("5");
    QVector<duty_table::cell_coverage> cells(256);
    cells[0] = {true, 1.0, "40.0", "8.0 s"};
    cells[17] = {true, 0.0, "0.1", "0.0 s"};
    table.set_coverage(cells);
    QVERIFY(table.has_coverage());
    const QColor plain(Qt::white);
    QVERIFY(table.item(0, 0)->background().color() != plain);
    QVERIFY(table.item(1, 1)->background().color() != plain); // a short visit still shows
    QVERIFY(table.item(0, 0)->background().color() != table.item(1, 1)->background().color());
    QCOMPARE(table.item(2, 2)->background().color(), plain);
    QCOMPARE(table.item(0, 0)->toolTip(), QString("8.0 s"));
    QCOMPARE(table.item(0, 0)->data(duty_table::coverage_role).toString(), QString("40.0"));
    QCOMPARE(table.item(0, 0)->text(), QString("5"));

    // Cells written again (a paste, a read) keep the coverage; clearing it gives the duty
    // colours back.
    table.fill_all("50");
    QCOMPARE(table.item(0, 0)->toolTip(), QString("8.0 s"));
    QCOMPARE(table.item(2, 2)->background().color(), plain);
    table.clear_coverage();
    QVERIFY(!table.has_coverage());
    QCOMPARE(table.item(2, 2)->background().color(), QColor(127, 255, 127));
    QVERIFY(table.item(0, 0)->toolTip().isEmpty());
    QVERIFY(table.item(0, 0)->data(duty_table::coverage_role).isNull());
}

void test_duty_table::disabled_table_is_grey()
{
    duty_table table(16, 16);
    table.fill_all("5");
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.set_highlight_visible(true);
    auto* vert = table.viewport()->findChild<QFrame*>("vert_frame");
    auto* horz = table.viewport()->findChild<QFrame*>("horz_frame");
    QVERIFY(vert && horz);
    QVERIFY(vert->isVisible() && horz->isVisible());

    table.setRangeSelected(QTableWidgetSelectionRange(0, 0, 2, 2), true);
    table.setEnabled(false);
    QVERIFY(table.selectedRanges().isEmpty());
    for (int i = 0; i < 256; ++i) {
        QCOMPARE(table.item(i / 16, i % 16)->foreground().color(), QColor(Qt::lightGray));
        QCOMPARE(table.item(i / 16, i % 16)->background().color(), QColor(Qt::white));
    }
    QVERIFY(!vert->isVisible() && !horz->isVisible());

    table.setEnabled(true);
    QCOMPARE(table.item(7, 7)->foreground().color(), QColor(Qt::white));
    QCOMPARE(table.item(7, 7)->background().color(), QColor(127, 127, 255));
    QVERIFY(vert->isVisible() && horz->isVisible());
}

void test_duty_table::lines_follow_visibility()
{
    duty_table table(16, 16);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    auto* vert = table.viewport()->findChild<QFrame*>("vert_frame");
    QVERIFY(vert && !vert->isVisible());
    QVERIFY(vert->testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(vert->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(Qt::red));

    table.setEnabled(false);
    table.setEnabled(true);
    QVERIFY(!vert->isVisible()); // never made visible

    table.setEnabled(false);
    table.set_highlight_visible(true);
    QVERIFY(!vert->isVisible()); // disabled tables show no lines
    table.setEnabled(true);
    QVERIFY(vert->isVisible());
    table.set_highlight_visible(false);
    QVERIFY(!vert->isVisible());
}

void test_duty_table::lines_move_at_most_ten_times_a_second()
{
    duty_table table(16, 16);
    table.set_horz_axis(8000);
    table.set_vert_axis(0, 30);
    table.resize(900, 600);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    auto* vert = table.viewport()->findChild<QFrame*>("vert_frame");
    auto* horz = table.viewport()->findChild<QFrame*>("horz_frame");

    QElapsedTimer since_first;
    since_first.start();
    table.set_highlight_position(1500, 4);
    const QRect first_x = vert->geometry();
    const QRect first_y = horz->geometry();
    QTest::qWait(50);
    if (since_first.elapsed() >= 95)
        QSKIP("the machine was too busy to call twice within 100 ms");
    table.set_highlight_position(6000, 20);
    QCOMPARE(vert->geometry(), first_x);
    QCOMPARE(horz->geometry(), first_y);

    // The position that came while the lines rested is placed when the rest ends.
    QTRY_VERIFY(vert->geometry() != first_x);
    QVERIFY(horz->geometry() != first_y);
    const QRect second_x = vert->geometry();
    QTest::qWait(120);
    table.set_highlight_position(1500, 4);
    QCOMPARE(vert->geometry(), first_x);
    QVERIFY(second_x != first_x);
}

// With columns 50 px wide and rows 30 px high filling the viewport exactly, a point on two
// breakpoints is the centre of their cell.
void test_duty_table::lines_cross_at_cell_centre()
{
    duty_table table(16, 16);
    table.set_horz_axis(8000);
    table.set_vert_axis(0, 30);
    table.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QVERIFY(fit_viewport(table, QSize(800, 480)));
    for (int i = 0; i < 16; ++i) {
        table.setColumnWidth(i, 50);
        table.setRowHeight(i, 30);
    }

    table.set_highlight_position(1500, 4.0); // column 2, row 13
    auto* vert = table.viewport()->findChild<QFrame*>("vert_frame");
    auto* horz = table.viewport()->findChild<QFrame*>("horz_frame");
    const QPoint centre = table.visualRect(table.model()->index(13, 2)).center();
    QCOMPARE(vert->geometry(), QRect(125, 0, 1, 480));
    QCOMPARE(horz->geometry(), QRect(0, 405, 800, 1));
    QVERIFY(qAbs(vert->x() - centre.x()) <= 1);
    QVERIFY(qAbs(horz->y() - centre.y()) <= 1);
}

void test_duty_table::lines_extrapolate_and_survive_flat_axes()
{
    duty_table table(16, 16);
    table.set_horz_axis(8000);
    table.set_vert_axis(0, 30);
    table.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QVERIFY(fit_viewport(table, QSize(800, 480)));
    auto* vert = table.viewport()->findChild<QFrame*>("vert_frame");
    auto* horz = table.viewport()->findChild<QFrame*>("horz_frame");

    // Half a step past the last breakpoints: the right and top edges.
    table.set_highlight_position(8250, 31);
    QCOMPARE(vert->x(), 800);
    QCOMPARE(horz->y(), 0);

    // A 500 RPM axis starts 0, 0 and an axis of d < 5 is all zeros: no division by zero.
    QTest::qWait(110);
    table.set_horz_axis(500);
    {
        log_capture log;
        table.set_vert_axis(0, 2);
    }
    QVERIFY(fit_viewport(table, QSize(800, 480)));
    table.set_highlight_position(0, 0);
    QCOMPARE(vert->x(), 25);
    QCOMPARE(horz->y(), 480 - 15);

    QTest::qWait(110);
    table.set_highlight_position(65535, qInf());
    QVERIFY(qAbs(horz->y()) <= 1000000);
}

QTEST_MAIN(test_duty_table)
#include "test_duty_table.moc"
