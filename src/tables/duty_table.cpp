// SPDX-License-Identifier: GPL-3.0-or-later
#include "duty_table.h"

#include "duty_table_delegate.h"

#include <QDebug>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHeaderView>
#include <QSignalBlocker>

#include <cmath>

namespace {

// Start value (the breakpoint of column 1) for each maximum engine speed. Columns 1..15 then
// step evenly to the maximum; (max - start) is always a multiple of 14.
struct rpm_start
{
    int max_rpm;
    int start;
};

const rpm_start rpm_starts[] = {
    {1000, 300},   {1500, 100},   {2000, 600},   {2500, 1100},  {3000, 200},   {3500, 700},
    {4000, 500},   {4500, 300},   {5000, 800},   {5500, 1300},  {6000, 400},   {6500, 900},
    {7000, 1400},  {7500, 500},   {8000, 1000},  {8500, 1500},  {9000, 600},   {9500, 1100},
    {10000, 200},  {10500, 700},  {11000, 500},  {11500, 1000}, {12000, 800},  {12500, 1300},
    {13000, 400},  {13500, 900},  {14000, 1400}, {14500, 500},  {15000, 1000}, {15500, 1500},
    {16000, 600},  {16500, 1100}, {17000, 1600}, {17500, 2100}, {18000, 500},  {18500, 1000},
    {19000, 1500}, {19500, 2000}, {20000, 2500},
};

// Offset of the first vertical breakpoint above the minimum, chosen so that the step
// (d - offset) / 14 is a multiple of 0.25. A "series" a..b is a, a + 7, ... up to b.
struct boost_rule
{
    int first;
    int last;
    double offset;
};

const boost_rule boost_rules[] = {
    {6, 34, 2.5},  {5, 33, 1.5},  {7, 35, 3.5},  {8, 99, 1.0},  {9, 100, 2.0}, {10, 87, 3.0},
    {11, 32, 0.5}, {39, 88, 4.0}, {40, 89, 5.0}, {41, 90, 6.0}, {42, 91, 7.0},
};

bool offset_for(int d, double& offset)
{
    if (d >= 92 && d <= 98) {
        offset = d - 84;
        return true;
    }
    for (const boost_rule& rule : boost_rules) {
        if (d >= rule.first && d <= rule.last && (d - rule.first) % 7 == 0) {
            offset = rule.offset;
            return true;
        }
    }
    return false;
}

int cell_int(const QTableWidgetItem* item)
{
    return item ? item->text().toInt() : 0;
}

int percent_to_count(int percent)
{
    return int(std::round(qBound(0, percent, 100) * 1023 / 100.0));
}

int count_to_percent(int count)
{
    return int(std::round(count * 100 / 1023.0));
}

// Breakpoints may repeat (a 500 RPM axis starts 0, 0) or be unset (all 0): no division by 0.
double ratio(double num, double den)
{
    return den == 0 ? 0 : num / den;
}

// Extrapolated line positions may lie far outside the viewport; keep them representable.
double bounded(double px)
{
    if (std::isnan(px))
        return 0;
    return qBound(-1e6, px, 1e6);
}

} // namespace

duty_table::duty_table(QWidget* parent)
    : QTableWidget(parent)
{
    build();
}

duty_table::duty_table(int rows, int cols, QWidget* parent)
    : QTableWidget(rows, cols, parent)
{
    build();
    fill_all("0");
}

void duty_table::build()
{
    delegate = new duty_table_delegate(this);
    setItemDelegate(delegate);
    next_highlight_update = QDeadlineTimer(0);
    pending_highlight = new QTimer(this);
    pending_highlight->setSingleShot(true);
    connect(pending_highlight, &QTimer::timeout, this, &duty_table::place_highlight);
    vert_line = make_line("vert_frame", true);
    horz_line = make_line("horz_frame", false);
    make_header_font();
    connect(this, &QTableWidget::cellChanged, this, &duty_table::on_cellChanged);
}

QFrame* duty_table::make_line(const char* name, bool vertical)
{
    auto* line = new QFrame(viewport());
    line->setObjectName(name);
    line->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    palette.setColor(QPalette::Text, Qt::red);
    line->setPalette(palette);
    line->hide();
    return line;
}

void duty_table::make_header_font()
{
    QFont header_font = font();
    if (QFontDatabase().families().contains("Segoe UI"))
        header_font.setFamily("Segoe UI");
    header_font.setPointSize(11);
    header_font.setWeight(75);
    horizontalHeader()->setFont(header_font);
    verticalHeader()->setFont(header_font);
    const int width = QFontMetrics(header_font).horizontalAdvance("8000") + 20;
    horizontalHeader()->setMinimumWidth(width);
    horizontalHeader()->setDefaultSectionSize(width);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

int duty_table::calc_horz_axis(int max_rpm, int index)
{
    if (max_rpm % 500 != 0) {
        qCritical().nospace() << "max_rpm must be % by 500 " << max_rpm;
        return 0;
    }
    int start = 0;
    for (const rpm_start& s : rpm_starts)
        if (s.max_rpm == max_rpm)
            start = s.start;
    if (index <= 0 || index > 15)
        return 0;
    if (index == 1)
        return start;
    return start + (index - 1) * ((max_rpm - start) / 14);
}

double duty_table::calc_vert_axis(double max, double min, int index)
{
    const double d = std::round(max - min);
    if (!(d >= 5)) {
        qCritical().nospace() << "boost_diff < 5. " << d << " " << min << " " << max;
        return 0;
    }
    double offset = 0;
    if (d > 100 || !offset_for(int(d), offset))
        qWarning().nospace() << "Unhandled boost_diff " << d;
    if (index == 0)
        return min;
    if (index < 0 || index > 15) {
        qCritical().nospace() << "Unhandled index " << index;
        return 0;
    }
    const double first = min + offset;
    if (index == 1)
        return first;
    return first + (index - 1) * (max - first) / 14;
}

void duty_table::set_horz_axis(int max_rpm)
{
    if (max_rpm % 500 != 0)
        return;
    for (int i = 0; i < columnCount(); ++i)
        setHorizontalHeaderItem(i,
                                new QTableWidgetItem(QString::number(calc_horz_axis(max_rpm, i))));
    const int width = fontMetrics().horizontalAdvance(QString::number(max_rpm)) + 20;
    horizontalHeader()->setMinimumWidth(width);
    horizontalHeader()->setDefaultSectionSize(width);
    horizontalHeader()->show();
}

void duty_table::set_vert_axis(double min, double max)
{
    const int rows = rowCount();
    for (int i = 0; i < rows; ++i)
        setVerticalHeaderItem(rows - 1 - i, new QTableWidgetItem(QString::number(
                                                calc_vert_axis(max, min, i), 'f', 2)));
    verticalHeader()->show();
}

void duty_table::set_vert_axis_linear(double min, double max)
{
    const int rows = rowCount();
    for (int i = 0; i < rows; ++i) {
        const double v = rows > 1 ? (rows - i - 1) * (max - min) / (rows - 1) + min : min;
        setVerticalHeaderItem(i, new QTableWidgetItem(QString::number(v, 'f', 2)));
    }
    verticalHeader()->show();
}

int duty_table::horz_header_at(int column) const
{
    if (column < 0 || column >= columnCount()) {
        qCritical("%d >= %d", column, columnCount());
        return 0;
    }
    const QTableWidgetItem* item = horizontalHeaderItem(column);
    return item ? item->text().toInt() : 0;
}

double duty_table::vert_header_at(int row) const
{
    if (row < 0 || row >= rowCount()) {
        qCritical("%d >= %d", row, rowCount());
        return 0;
    }
    const QTableWidgetItem* item = verticalHeaderItem(row);
    return item ? item->text().toDouble() : 0;
}

int duty_table::block_offset(int row, int column) const
{
    return ((rowCount() - 1 - row) * columnCount() + column) * 2;
}

QByteArray duty_table::to_byteArray() const
{
    if (!conv) {
        qCritical() << "conv was not set prior to calling this method";
        return QByteArray();
    }
    QByteArray block(rowCount() * columnCount() * 2, '\0');
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            const int count = percent_to_count(cell_int(item(row, column)));
            const int offset = block_offset(row, column);
            block[offset] = char(count >> 8);
            block[offset + 1] = char(count & 0xFF);
        }
    }
    return block;
}

void duty_table::from_byteArray(QByteArray block)
{
    const int expected = rowCount() * columnCount() * 2;
    if (block.size() != expected) {
        qCritical().nospace() << "data isn't the same size as this table:" << block.size()
                              << " table:" << expected;
        return;
    }
    if (!conv) {
        qCritical() << "conv was not set prior to calling this method";
        return;
    }
    {
        const QSignalBlocker blocker(this);
        for (int row = 0; row < rowCount(); ++row) {
            for (int column = 0; column < columnCount(); ++column) {
                const int offset = block_offset(row, column);
                // Only the low two bits of the high byte belong to the 10-bit count.
                const int count = (quint8(block[offset]) & 0x03) * 256 + quint8(block[offset + 1]);
                set_cell(row, column, QString::number(count_to_percent(count)));
            }
        }
    }
    announce_cells();
}

void duty_table::fill_all(QString text)
{
    {
        const QSignalBlocker block(this);
        for (int row = 0; row < rowCount(); ++row)
            for (int column = 0; column < columnCount(); ++column)
                set_cell(row, column, text);
    }
    announce_cells();
}

QVector<double> duty_table::cell_values() const
{
    QVector<double> values;
    values.reserve(rowCount() * columnCount());
    for (int row = rowCount() - 1; row >= 0; --row) {
        for (int column = 0; column < columnCount(); ++column) {
            const QTableWidgetItem* cell = item(row, column);
            values.append(cell ? cell->text().toDouble() : 0);
        }
    }
    return values;
}

void duty_table::set_cell(int row, int column, const QString& text)
{
    auto* cell = new QTableWidgetItem(text);
    setItem(row, column, cell);
    update_cell_color(cell);
}

void duty_table::announce_cells()
{
    emit many_cells_updated(cell_values(), columnCount(), rowCount());
}

void duty_table::calc_cell_colors(quint8 value, QColor& text, QColor& background)
{
    struct band
    {
        int top;
        QColor text;
        QColor background;
    };
    static const band bands[] = {
        {0, Qt::black, QColor(255, 255, 255)},  {10, Qt::white, QColor(127, 127, 255)},
        {21, Qt::white, QColor(127, 191, 255)}, {32, Qt::black, QColor(127, 255, 255)},
        {43, Qt::black, QColor(127, 255, 191)}, {54, Qt::black, QColor(127, 255, 127)},
        {65, Qt::black, QColor(191, 255, 127)}, {76, Qt::black, QColor(255, 255, 127)},
        {87, Qt::black, QColor(255, 191, 127)}, {255, Qt::black, QColor(255, 127, 127)},
    };
    for (const band& b : bands) {
        if (value <= b.top) {
            text = b.text;
            background = b.background;
            return;
        }
    }
}

void duty_table::update_cell_color(QTableWidgetItem* cell)
{
    if (!cell)
        return;
    const QSignalBlocker block(this);
    if (color_by_coverage(cell))
        return;
    QColor text = Qt::lightGray;
    QColor background = Qt::white;
    if (isEnabled())
        calc_cell_colors(quint8(qBound(0, cell_int(cell), 255)), text, background);
    cell->setForeground(text);
    cell->setBackground(background);
}

void duty_table::set_coverage(const QVector<cell_coverage>& cells)
{
    const bool fits = cells.size() == rowCount() * columnCount();
    if (!fits && coverage.isEmpty())
        return;
    coverage = fits ? cells : QVector<cell_coverage>();
    recolor_all();
}

// Coverage replaces the duty colours: a visited cell is shaded from white towards orange by
// its strength (a little at least, so that a short visit still shows), the rest stay plain.
// It shows on a table its output's mode does not use too: where the run went is still worth
// seeing there.
bool duty_table::color_by_coverage(QTableWidgetItem* cell)
{
    const int index = cell->row() * columnCount() + cell->column();
    if (coverage.isEmpty() || index < 0 || index >= coverage.size()) {
        cell->setData(coverage_role, QVariant());
        cell->setToolTip(QString());
        return false;
    }
    const cell_coverage& c = coverage[index];
    const double strength = c.shown ? 0.15 + 0.85 * qBound(0.0, c.strength, 1.0) : 0;
    const QColor shade(230, 120, 0);
    auto mix = [strength](int from, int to) {
        return int(std::lround(from + (to - from) * strength));
    };
    cell->setBackground(
        QColor(mix(255, shade.red()), mix(255, shade.green()), mix(255, shade.blue())));
    cell->setForeground(strength > 0.6 ? Qt::white : Qt::black);
    cell->setData(coverage_role, c.shown ? c.label : QString());
    cell->setToolTip(c.tip);
    return true;
}

void duty_table::recolor_all()
{
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < columnCount(); ++column)
            update_cell_color(item(row, column));
}

void duty_table::on_cellChanged(int row, int column)
{
    update_cell_color(item(row, column));
}

void duty_table::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        clearSelection();
        recolor_all();
        const bool show_lines = isEnabled() && highlight_visible;
        vert_line->setVisible(show_lines);
        horz_line->setVisible(show_lines);
    }
    QTableWidget::changeEvent(event);
}

void duty_table::set_highlight_visible(bool visible)
{
    highlight_visible = visible;
    const bool show_lines = visible && isEnabled();
    vert_line->setVisible(show_lines);
    horz_line->setVisible(show_lines);
}

void duty_table::set_highlight_position(quint16 rpm, double value)
{
    pending_rpm = rpm;
    pending_value = value;
    if (!next_highlight_update.hasExpired()) {
        if (!pending_highlight->isActive())
            pending_highlight->start(int(qMax<qint64>(1, next_highlight_update.remainingTime())));
        return;
    }
    pending_highlight->stop();
    place_highlight();
}

void duty_table::place_highlight()
{
    const quint16 rpm = pending_rpm;
    const double value = pending_value;
    const int columns = columnCount();
    const int rows = rowCount();
    if (columns < 2 || rows < 2)
        return;
    const int width = viewport()->width();
    const int height = viewport()->height();
    highlight_x = highlight_x_for(rpm, double(width) / columns);
    highlight_y = highlight_y_for(value, double(height) / rows);
    vert_line->setGeometry(highlight_x, 0, 1, height);
    horz_line->setGeometry(0, height - highlight_y, width, 1);
    next_highlight_update = QDeadlineTimer(100);
}

// From the centre of column 0, whole column widths up to the column below rpm, then the
// fraction between two breakpoints; past the last one the last half-step is extrapolated.
int duty_table::highlight_x_for(quint16 rpm, double cw) const
{
    const int columns = columnCount();
    double x = std::trunc(cw / 2);
    int i = 1;
    for (; i < columns && horz_header_at(i) < rpm; ++i)
        x = std::trunc(x + cw);
    if (i < columns) {
        const double lower = horz_header_at(i - 1);
        x += ratio(rpm - lower, horz_header_at(i) - lower) * cw;
    } else {
        const double last = horz_header_at(columns - 1);
        x += ratio(rpm - last, (last - horz_header_at(columns - 2)) / 2) * cw / 2;
    }
    return int(std::trunc(bounded(x)));
}

// Height above the bottom edge: from the centre of the bottom row, whole row heights up to the
// row above value, then the fraction between two breakpoints; below the bottom and above the
// top breakpoint the half-step next to it is extrapolated.
int duty_table::highlight_y_for(double value, double rh) const
{
    const int rows = rowCount();
    const double bottom = vert_header_at(rows - 1);
    double y = 0;
    if (bottom > value) {
        const double half = (vert_header_at(rows - 2) - bottom) / 2;
        if (value > bottom - half)
            return int(std::round(bounded(ratio(value - (bottom - half), half) * rh / 2)));
    } else {
        y = std::round(rh / 2);
    }
    for (int r = rows - 2; r >= 0; --r) {
        const double h = vert_header_at(r);
        const double below = vert_header_at(r + 1);
        if (h >= value)
            return int(std::round(bounded(y + std::round(ratio(value - below, h - below) * rh))));
        y += std::round(rh);
    }
    const double top = vert_header_at(0);
    y += std::round(ratio(value - top, (top - vert_header_at(1)) / 2) * rh / 2);
    return int(std::round(bounded(y)));
}
