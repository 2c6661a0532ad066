// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window, offscreen, streaming from the simulated unit for a long time with the
// Live View page showing, live updates on and logging to a file, as a user leaves it running
// on a dyno. Measures what a short test cannot see:
//
//  - the window's thread: a heartbeat timer every 15 ms; the largest gap between two beats and
//    the number of gaps over 100 ms (a user notices those);
//  - resident memory grown per stored sample (VmRSS and VmHWM against their values when live
//    updates started); the memory benchmark allows at most 200 bytes per sample;
//  - at the end the log file read back: as many samples as frames arrived, equal values.
//
// Prints a line every minute and a summary; exits 1 when a limit is broken.
//
//     live_view_soak [seconds] [report every seconds]      (default 3600 s, 60 s)
#include "bench_support.h"
#include "mainwindow.h"
#include "rq7_log.h"
#include "rq7_log_reader.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int heartbeat_ms = 15;
constexpr qint64 stall_ms = 100;
constexpr double bytes_per_sample_limit = 200.0;

// Warnings and errors from the program, counted; the first few are shown as they come.
int messages = 0;
void count_message(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (++messages <= 20)
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
}

qint64 thread_cpu_ms()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// On a shared machine a gap may be other processes' doing: the CPU time the window's thread
// itself spent within a gap tells its own stalls from the machine's.
struct gui_heartbeat
{
    QElapsedTimer since_last;
    qint64 cpu_at_last = 0;
    qint64 largest = 0;
    qint64 largest_this_period = 0;
    qint64 largest_busy = 0; // the most CPU time the thread spent within one gap
    int stalls = 0;
    int busy_stalls = 0; // gaps in which the thread itself ran for more than stall_ms

    void start()
    {
        since_last.start();
        cpu_at_last = thread_cpu_ms();
    }
    void beat()
    {
        const qint64 gap = since_last.restart();
        const qint64 cpu = thread_cpu_ms();
        const qint64 busy = cpu - cpu_at_last;
        cpu_at_last = cpu;
        largest = qMax(largest, gap);
        largest_this_period = qMax(largest_this_period, gap);
        largest_busy = qMax(largest_busy, busy);
        if (gap > stall_ms)
            ++stalls;
        if (busy > stall_ms)
            ++busy_stalls;
    }
};

double load_average()
{
    QFile load("/proc/loadavg");
    return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').first().toDouble() : -1;
}

struct memory_base
{
    qint64 rss_kb = 0;
    qint64 hwm_kb = 0;
    int samples = 0;

    double per_sample(qint64 now_kb, qint64 base_kb, int now_samples) const
    {
        const int grown = now_samples - samples;
        return grown > 0 ? (now_kb - base_kb) * 1024.0 / grown : 0.0;
    }
};

void run_events_until(QApplication& app, const std::function<bool()>& done, int limit_ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < limit_ms)
        app.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
}

rq7_frame stored_frame(const rq7_worker& w, int i)
{
    quint32 values[rq7_frame::value_count];
    for (int c = 0; c < rq7_frame::value_count; ++c)
        values[c] = w.log_column(e_data(c)).at(i);
    return rq7_frame::from_values(w.log_times().at(i), values);
}

bool same(const rq7_frame& a, const rq7_frame& b)
{
    quint32 va[rq7_frame::value_count], vb[rq7_frame::value_count];
    a.to_values(va);
    b.to_values(vb);
    return a.timestamp == b.timestamp && std::equal(va, va + rq7_frame::value_count, vb);
}

/// Reads the log file back and compares it with the samples the worker stored and marked as
/// written. Prints what it found; true when the file holds exactly those samples.
bool file_reads_back(const rq7_worker& w, const QString& name, int frames_received)
{
    const int stored = w.log_times().size();
    const tsafe_qvector<unsigned int>& marks = w.logged_to_file_marks();
    rq7_log back;
    tsafe_qvector<unsigned int> back_marks;
    rq7_log_reader reader(back, back_marks);
    const auto status = reader.parse(name);
    int logged = 0, differing = 0;
    for (int i = 0; i < stored; ++i) {
        if (marks.at(i) != 1)
            continue;
        if (logged >= back.size() || !same(stored_frame(w, i), back.at(logged)))
            ++differing;
        ++logged;
    }
    std::printf("file %s: %lld bytes, read status %d, %d samples, %d bad lines\n", qPrintable(name),
                static_cast<long long>(QFileInfo(name).size()), int(status), back.size(),
                reader.bad_lines());
    std::printf("frames received %d, stored %d, marked as written %d, read back %d, "
                "differing %d\n",
                frames_received, stored, logged, back.size(), differing);
    return status == rq7_log_reader::p_parsed && reader.bad_lines() == 0 &&
           frames_received == stored && logged == stored && back.size() == stored && differing == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Preferences, log folder and debug log go to a folder of their own, not the user's.
    QTemporaryDir dir(QDir::tempPath() + "/quorvane_soak_XXXXXX");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")));
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Velkaro");
    QCoreApplication::setApplicationName("Quorvane soak");
    qInstallMessageHandler(count_message);
    const int seconds = argc > 1 ? QString(argv[1]).toInt() : 3600;
    const int period_s = argc > 2 ? QString(argv[2]).toInt() : 60;
    {
        QSettings preferences;
        preferences.setValue("MainWindow/live_log_folder_name", dir.path());
        preferences.setValue("MainWindow/debug_log_file_name", dir.filePath("debug_log.txt"));
        preferences.setValue("MainWindow/settings_file_name", dir.filePath("settings.vkini"));
    }

    auto sim = std::make_shared<sim_backend>();
    sim->attach_unit();
    d2xx_install_backend(sim);
    int result = 1;
    {
        MainWindow window;
        window.resize(1280, 900);
        window.show();
        window.connect_attempt();
        auto* status = window.findChild<QLabel*>("connection_status");
        run_events_until(
            app, [&] { return status->text().startsWith("Connected fw"); }, 5000);
        if (!status->text().startsWith("Connected fw")) {
            std::printf("could not connect to the simulated unit\n");
            return 1;
        }
        rq7_worker* w = window.worker();
        int frames = 0;
        QObject::connect(w, &rq7_worker::log_data_ready, &window, [&frames] { ++frames; });
        bool streaming = false;
        QObject::connect(w, &rq7_worker::log_started, &window, [&streaming] { streaming = true; });
        QObject::connect(w, &rq7_worker::log_stopped, &window, [&streaming] { streaming = false; });

        window.findChild<QTabWidget*>("main_tab")
            ->setCurrentWidget(window.findChild<QWidget*>("live"));
        // The frames that arrive before the file opens go into it as its first seconds.
        window.findChild<QSpinBox*>("live_log_pre_trigger")->setValue(2);
        window.findChild<QAction*>("act_live_log_to_file")->setChecked(true);

        // Growth is measured from the end of the first period on: the graph's buffers, fonts and
        // the like are allocated once in the first seconds and are no cost per sample.
        memory_base start{bench::status_kb("VmRSS"), bench::status_kb("VmHWM"), 0};
        memory_base base;
        window.findChild<QAction*>("act_logging")->trigger();

        gui_heartbeat heart;
        QTimer beat;
        beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&beat, &QTimer::timeout, &window, [&heart] { heart.beat(); });
        heart.start();
        beat.start(heartbeat_ms);

        QElapsedTimer wall;
        wall.start();
        int last_frames = 0;
        qint64 last_report_ms = 0;
        bool warmed_up = false;
        double rss_per_sample = 0, hwm_per_sample = 0;
        auto* file_name = window.findChild<QLineEdit*>("live_log_file_name");
        std::printf("%7s %8s %6s %8s %8s %7s %9s %9s %8s %8s %11s\n", "minute", "frames", "per s",
                    "gap ms", "max ms", ">100ms", "RSS kB", "HWM kB", "B/s RSS", "B/s HWM",
                    "file bytes");
        auto report = [&] {
            const int stored = w->log_times().size();
            const qint64 rss = bench::status_kb("VmRSS"), hwm = bench::status_kb("VmHWM");
            if (!warmed_up) {
                base = memory_base{rss, hwm, stored};
                warmed_up = true;
            }
            const qint64 now_ms = wall.elapsed();
            const double per_rss = base.per_sample(rss, base.rss_kb, stored);
            const double per_hwm = base.per_sample(hwm, base.hwm_kb, stored);
            rss_per_sample = per_rss;
            hwm_per_sample = per_hwm;
            std::printf("%7.1f %8d %6.1f %7lld %7lld %6d %7d %9lld %9lld %8.1f %8.1f %11lld "
                        "%5.2f\n",
                        now_ms / 60000.0, frames,
                        (frames - last_frames) * 1000.0 / qMax<qint64>(1, now_ms - last_report_ms),
                        static_cast<long long>(heart.largest_this_period),
                        static_cast<long long>(heart.largest), heart.stalls, heart.busy_stalls,
                        static_cast<long long>(rss), static_cast<long long>(hwm), per_rss, per_hwm,
                        static_cast<long long>(QFileInfo(file_name->text()).size()),
                        load_average());
            std::fflush(stdout);
            last_frames = frames;
            last_report_ms = now_ms;
            heart.largest_this_period = 0;
        };
        QTimer every_period;
        QObject::connect(&every_period, &QTimer::timeout, &window, report);
        every_period.start(period_s * 1000);
        QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
        app.exec();
        every_period.stop();
        report();
        beat.stop();
        const bool stopped_streaming = streaming;

        window.findChild<QAction*>("act_logging")->trigger();
        run_events_until(
            app, [&] { return !streaming; }, 5000);
        // The last frame and the stop request's settling time, then the queued signals.
        QElapsedTimer settle;
        settle.start();
        run_events_until(
            app, [&] { return settle.elapsed() > 1500; }, 2000);

        std::printf("\nsummary after %.1f min:\n", wall.elapsed() / 60000.0);
        std::printf("GUI thread: largest gap %lld ms, %d gaps over %lld ms (heartbeat %d ms); "
                    "its own work: at most %lld ms of CPU within a gap, %d gaps with over %lld "
                    "ms\n",
                    static_cast<long long>(heart.largest), heart.stalls,
                    static_cast<long long>(stall_ms), heartbeat_ms,
                    static_cast<long long>(heart.largest_busy), heart.busy_stalls,
                    static_cast<long long>(stall_ms));
        std::printf("memory per stored sample after the first period: %.1f bytes (VmRSS), %.1f "
                    "bytes (VmHWM), limit %.0f\n",
                    rss_per_sample, hwm_per_sample, bytes_per_sample_limit);
        const int stored = w->log_times().size();
        std::printf("memory per stored sample from the start: %.1f bytes (VmRSS), %.1f bytes "
                    "(VmHWM)\n",
                    start.per_sample(bench::status_kb("VmRSS"), start.rss_kb, stored),
                    start.per_sample(bench::status_kb("VmHWM"), start.hwm_kb, stored));
        std::printf("warnings and errors logged: %d\n", messages);
        const bool file_ok = file_reads_back(*w, file_name->text(), frames);
        const bool ok = stopped_streaming && heart.stalls == 0 && file_ok &&
                        hwm_per_sample <= bytes_per_sample_limit;
        std::printf("%s\n", ok ? "PASS" : "FAIL");
        std::fflush(stdout);
        result = ok ? 0 : 1;
    }
    d2xx_install_backend(nullptr);
    return result;
}
