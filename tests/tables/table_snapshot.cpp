// SPDX-License-Identifier: GPL-3.0-or-later
// Renders a 16 x 16 duty table with a diagonal duty gradient, the axes of an 8000 RPM engine
// at 0..36 PSI and its live-position lines at 4200 RPM, 13.3 PSI, and saves it as a PNG.
#include "converter.h"
#include "duty_table.h"

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "/tmp/duty_table.png";

    converter conv;
    duty_table table(16, 16);
    table.conv = &conv;
    table.setSelectionMode(QAbstractItemView::ContiguousSelection);
    table.setShowGrid(true);
    table.setGridStyle(Qt::DashLine);
    table.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QByteArray block;
    for (int i = 0; i < 256; ++i) {
        // Block order: bottom row first; duty rises to the right and upward.
        const int column = i % 16;
        const int from_bottom = i / 16;
        const int count = (column + from_bottom) * 1023 / 30;
        block.append(char(count >> 8));
        block.append(char(count & 0xFF));
    }
    table.from_byteArray(block);
    table.set_horz_axis(8000);
    table.set_vert_axis(0, 36);
    table.setEnabled(true);
    table.show();

    // The lines assume columns and rows filling the viewport: fit the widget around them.
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        const QSize cells(table.horizontalHeader()->length(), table.verticalHeader()->length());
        table.resize(table.size() + cells - table.viewport()->size());
    }
    QApplication::processEvents();
    table.set_highlight_visible(true);
    table.set_highlight_position(4200, 13.3);
    QApplication::processEvents();

    if (!table.grab().save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        return 1;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(path), table.width(), table.height());
    return 0;
}
