// SPDX-License-Identifier: GPL-3.0-or-later
#include "script_runner.h"

#include <QDeadlineTimer>
#include <QScriptContext>
#include <QScriptEngine>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {

// How often a running script lets its own thread's timer fire, which is what stops it.
constexpr int check_interval_ms = 50;

class evaluation
{
public:
    evaluation(const QString& script_text, const QVector<script_runner::cell>& run_cells,
               const script_runner::selection& run_block, int limit_ms)
        : script(script_text)
        , cells(run_cells)
        , block(run_block)
        , time_limit_ms(limit_ms)
    {}

    // Runs on the script thread: the engine and its timer belong to that thread, whose
    // events only the engine itself processes while a script runs.
    void run()
    {
        QScriptEngine engine;
        engine.setProcessEventsInterval(check_interval_ms);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [&] { stop(engine); });
        const QDeadlineTimer deadline(time_limit_ms);
        limit.start(time_limit_ms);

        QScriptValue global = engine.globalObject();
        global.setProperty("sel_num_rows", block.rows);
        global.setProperty("sel_num_cols", block.columns);
        for (const script_runner::cell& c : cells) {
            global.setProperty("old", c.old);
            global.setProperty("abs_row", c.row);
            global.setProperty("abs_col", c.column);
            global.setProperty("sel_row", c.row - block.first_row);
            global.setProperty("sel_col", c.column - block.first_column);
            const QScriptValue result = engine.evaluate(script, QString(), 1);
            // Many short evaluations never give the timer a chance; the deadline still holds.
            if (!engine.hasUncaughtException() && deadline.hasExpired())
                stop(engine);
            if (engine.hasUncaughtException() || stopped) {
                out.failed = true;
                out.error = stopped ? stopped_text() : engine.uncaughtException().toString();
                return;
            }
            out.values.append(script_runner::to_percent(result.toInteger()));
        }
    }

    script_runner::outcome out;

private:
    void stop(QScriptEngine& engine)
    {
        stopped = true;
        if (engine.isEvaluating())
            engine.abortEvaluation(engine.currentContext()->throwError(stopped_text()));
    }

    QString stopped_text() const
    {
        return QString("Error: the script ran for more than %1 seconds and was stopped")
            .arg(time_limit_ms / 1000.0);
    }

    const QString& script;
    const QVector<script_runner::cell>& cells;
    const script_runner::selection block;
    const int time_limit_ms;
    bool stopped = false;
};

} // namespace

script_runner::outcome script_runner::run(const QString& script, const QVector<cell>& cells,
                                          const selection& block, int time_limit_ms)
{
    evaluation job(script, cells, block, time_limit_ms);
    std::unique_ptr<QThread> thread(QThread::create([&job] { job.run(); }));
    thread->start();
    thread->wait();
    return job.out;
}

int script_runner::to_percent(double integer)
{
    if (std::isnan(integer))
        return 0;
    return int(qBound(0.0, integer, 100.0));
}
