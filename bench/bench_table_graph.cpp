// SPDX-License-Identifier: GPL-3.0-or-later
// Time of what a user waits for on a table page: the 3D graph redrawn after one cell edit,
// and a script run over the whole table (which starts the script's own thread and engine).
#include "duty_table.h"
#include "table_graph.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

double ms_per_redraw(table_graph& graph, int runs)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < runs; ++i)
        graph.set_value(i % 101, i % 16, (i / 16) % 16);
    return clock.nsecsElapsed() / 1e6 / runs;
}

double ms_per_script(duty_table& table, const QString& script, int runs)
{
    table.setRangeSelected(QTableWidgetSelectionRange(0, 0, 15, 15), true);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < runs; ++i)
        table.apply_script(script);
    return clock.nsecsElapsed() / 1e6 / runs;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    table_graph graph;
    graph.resize(480, 400);
    graph.show();
    app.processEvents();
    QVector<double> ramp(256);
    for (int i = 0; i < ramp.size(); ++i)
        ramp[i] = (i % 16) * 6 + (i / 16) * 2;
    graph.set_values(ramp, 16, 16);
    ms_per_redraw(graph, 3); // warm up: fonts and first buffers
    std::printf("graph redraw after one cell edit (480 x 400): %.1f ms\n",
                ms_per_redraw(graph, 50));

    duty_table table(16, 16);
    std::printf("script over 256 cells, \"old + 1;\": %.1f ms per run\n",
                ms_per_script(table, "old + 1;", 20));
    const QString diagonal = "var a = 15; var b = -15; var c1 = b * 15; var c2 = a * 15;\n"
                             "var c = a * sel_col + b * sel_row;\n"
                             "(100 * (c - c1)) / (c2 - c1)\n";
    std::printf("script over 256 cells, diagonal gradient: %.1f ms per run\n",
                ms_per_script(table, diagonal, 20));
    return 0;
}
