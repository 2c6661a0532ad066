// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation of the window and of quorvane-cli against every fault of the simulated unit
// and its bridge: the outcome the user is told, no crash, a window that keeps answering, the
// window's values untouched by an operation that failed, and a unit that reads back correctly
// once the fault is gone and the link is made again. The matrix is printed at the end.
#include "box_answerer.h"
#include "cli_commands.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "fw_image_text.h"
#include "log_capture.h"
#include "mainwindow.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidgetItem>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>

namespace {

enum fault {
    f_no_reply,
    f_wrong_ack_once,
    f_wrong_ack_5,
    f_wrong_header,
    f_bad_table_check,
    f_short_read,
    f_short_write,
    f_bridge_call,
    f_unplugged,
    fault_count
};
const char* const fault_names[fault_count] = {"no reply",    "wrong ack x1", "wrong ack x5",
                                              "read header", "table check",  "short read",
                                              "short write", "bridge call",  "unplugged"};

enum operation {
    o_connect,
    o_read,
    o_write,
    o_write_all,
    o_open_file,
    o_live,
    o_file_logging,
    o_firmware,
    o_map_cal,
    o_override,
    o_cli_read,
    o_cli_write,
    o_cli_flash,
    operation_count
};
const char* const operation_names[operation_count] = {
    "connect",  "Read",    "Write",    "Write All", "open file", "live updates", "file logging",
    "firmware", "MAP cal", "override", "cli read",  "cli write", "cli flash"};

/// Where a fault is switched on: just before the n-th read or write from now.
struct arm_point
{
    sim_backend::call call;
    int count;
};

const QString connected_text = "Connected fw v2.1 RQ7-NVS";

/// What a cell must report: success or failure, and the message the log must hold.
struct expectation
{
    bool ok;
    QString message;
};

/// The message each fault leaves in the log where it strikes, as the failure tables word it.
const char* const fault_messages[fault_count] = {
    "Timed out waiting for FW to respond",
    "Retry successful!",
    "ferrite bead",
    "Did not receive valid return msg header",
    "table read error from RQ7-NVS, try to read again!",
    "Did not read out the expected number of bytes",
    "Could not write all data to device",
    "Could not read from device",
    "", // unplugging: the window must end up not connected
};

expectation expect(operation op, fault f)
{
    expectation e{f == f_wrong_ack_once, fault_messages[f]};
    // Opening a file needs the unit only to learn its model: the file opens anyway.
    if (op == o_open_file)
        e.ok = true;
    // Write All and flashing go on without a backup when the user says so (the box is
    // answered "Go on"); the window's own firmware update flashes after that.
    if ((op == o_write_all && (f == f_wrong_header || f == f_bad_table_check)) ||
        (op == o_firmware && f == f_bad_table_check))
        e.ok = true;
    // A frame read that fails or comes short is dropped and the stream goes on.
    if ((op == o_live || op == o_file_logging) && (f == f_bridge_call || f == f_short_read))
        e.ok = true;
    // The stop request cut short: the stream still ends, every line taken is in the file.
    if (op == o_file_logging && f == f_short_write)
        e.ok = true;
    return e;
}

/// The operations this run covers: all, or those QUORVANE_MATRIX_OPERATIONS names
/// ("firmware,cli flash"), so that CTest can run the matrix in parts side by side.
bool selected(operation op)
{
    const QString names = qEnvironmentVariable("QUORVANE_MATRIX_OPERATIONS");
    return names.isEmpty() || names.split(',').contains(operation_names[op]);
}

} // namespace

class test_fault_matrix : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cell_data();
    void cell();

private:
    template <typename T>
    T* w(const char* name)
    {
        return child<T>(window.get(), name);
    }
    QString connection() { return w<QLabel>("connection_status")->text(); }

    // ---- the cell's steps ----
    QString not_applicable(operation op, fault f) const;
    /// Switches the fault on for the operation about to start; the stream and the firmware
    /// update switch theirs on as they go.
    void arm_at_start(operation op, fault f);
    void arm(fault f, arm_point at);
    /// Arms the fault for the `n`-th write once the unit is in its bootloader.
    void arm_in_bootloader(fault f, int n);
    bool run(operation op);
    void recover(QStringList& problems);
    QMap<QString, QString> snapshot();

    // ---- operations; each returns whether it reported success ----
    bool do_connect();
    bool do_read();
    bool do_write();
    bool do_write_all();
    bool do_open_file();
    bool do_live(bool to_file);
    bool do_firmware();
    bool do_map_cal();
    bool do_override();
    bool do_cli(operation op);

    // ---- helpers ----
    bool wait_for(const std::function<bool()>& done, int ms = 20000);
    /// Waits until the worker has run everything posted to it and its results reached the
    /// window.
    void settle();
    bool wait_connected();
    void release_link_for_cli();

    QTemporaryDir dir;
    std::unique_ptr<sim_fixture> sim;
    std::shared_ptr<rq7_sim_unit> unit;
    std::unique_ptr<box_answerer> boxes;
    std::unique_ptr<dialog_answerer> dialogs;
    std::unique_ptr<MainWindow> window;
    QString settings_file;
    QByteArray file_main_table;
    QString image_file;
    QStringList problems; // of the running cell
    log_capture* cell_log = nullptr;

    // The window's heartbeat: the longest time its event loop left a 10 ms timer waiting.
    QTimer heartbeat;
    QElapsedTimer since_beat;
    qint64 longest_gap = 0;
    qint64 worst_gap = 0; // over every cell

    std::map<std::pair<int, int>, QString> results;
};

// ---------------------------------------------------------------------------------------

void test_fault_matrix::initTestCase()
{
    const QString names = qEnvironmentVariable("QUORVANE_MATRIX_OPERATIONS");
    for (const QString& name : names.split(',', Qt::SkipEmptyParts))
        QVERIFY2(std::find(std::begin(operation_names), std::end(operation_names), name) !=
                     std::end(operation_names),
                 qPrintable("no operation " + name));
    QCoreApplication::setApplicationVersion("2.11.0");
    QSettings().clear();
    QSettings().setValue("MainWindow/debug_log_file_name", dir.filePath("rq7_debug_log.txt"));
    QSettings().setValue("MainWindow/live_log_folder_name", dir.path());
    sim = std::make_unique<sim_fixture>();
    unit = sim->unit;
    unit->set_update_version(0x0201); // a flash leaves the unit as every cell expects it
    unit->set_line_program_time(std::chrono::microseconds(500));
    boxes = std::make_unique<box_answerer>();
    dialogs = std::make_unique<dialog_answerer>();
    window = std::make_unique<MainWindow>();
    window->show();
    window->connect_attempt();
    QVERIFY(wait_connected());
    QVERIFY(do_read());

    // A settings file saved by the window that differs from the unit in one MAIN cell, and
    // a small image.
    QTableWidgetItem* item = w<duty_table>("main_table")->item(5, 5);
    item->setText(QString::number((item->text().toInt() + 11) % 100));
    file_main_table = window->gui_to_byteArray(t_main);
    settings_file = dir.filePath("matrix.vkini");
    dialogs->answers = QStringList{settings_file};
    w<QAction>("act_save_as")->trigger();
    settle();
    QVERIFY(QFile::exists(settings_file));
    QVERIFY(do_read());
    image_file = dir.filePath("RQ7_QUIL_matrix.hex");
    QVERIFY(fw_text::write_file(image_file, fw_text::image(6)));

    heartbeat.setInterval(10);
    connect(&heartbeat, &QTimer::timeout, this,
            [this] { longest_gap = std::max(longest_gap, since_beat.restart()); });
    since_beat.start();
    heartbeat.start();
}

void test_fault_matrix::cleanupTestCase()
{
    std::printf("\nFault matrix (operation x fault):\n%-13s", "");
    for (const char* name : fault_names)
        std::printf(" %-12s", name);
    std::printf("\n");
    QStringList notes;
    for (int op = 0; op < operation_count; ++op) {
        if (!selected(static_cast<operation>(op)))
            continue;
        std::printf("%-13s", operation_names[op]);
        for (int f = 0; f < fault_count; ++f) {
            const auto found = results.find({op, f});
            QString result = found == results.end() ? "not run" : found->second;
            QString shown = result;
            if (result != "pass") {
                shown = result.startsWith("n/a") ? "n/a" : "FAIL";
                notes << QString("%1 x %2: %3").arg(operation_names[op], fault_names[f], result);
            }
            std::printf(" %-12s", qPrintable(shown));
        }
        std::printf("\n");
    }
    for (const QString& note : qAsConst(notes))
        std::printf("  %s\n", qPrintable(note));
    std::printf("Longest the window's event loop went unanswered in any cell: %lld ms\n",
                worst_gap);
    std::fflush(stdout);
    window.reset();
    dialogs.reset();
    boxes.reset();
    sim.reset();
}

void test_fault_matrix::cell_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("fault");
    for (int op = 0; op < operation_count; ++op)
        for (int f = 0; f < fault_count && selected(static_cast<operation>(op)); ++f)
            QTest::addRow("%s x %s", operation_names[op], fault_names[f]) << op << f;
}

void test_fault_matrix::cell()
{
    QFETCH(int, op);
    QFETCH(int, fault);
    const auto o = static_cast<operation>(op);
    const auto f = static_cast<enum fault>(fault);
    const QString na = not_applicable(o, f);
    if (!na.isEmpty()) {
        results[{op, fault}] = na;
        QSKIP(qPrintable(na));
    }
    problems.clear();
    boxes->boxes.clear();
    if (o >= o_cli_read)
        release_link_for_cli();
    if (o == o_write) {
        // One MAIN cell edited, so that Write has something to send.
        QTableWidgetItem* item = w<duty_table>("main_table")->item(2, 3);
        item->setText(QString::number((item->text().toInt() + 7) % 100));
    }
    const QMap<QString, QString> before = snapshot();

    log_capture log;
    cell_log = &log;
    since_beat.restart();
    longest_gap = 0;
    arm_at_start(o, f);
    const bool ok = run(o);
    settle();

    const expectation expected = expect(o, f);
    if (ok != expected.ok)
        problems << QString("reported %1, expected %2")
                        .arg(ok ? "success" : "failure", expected.ok ? "success" : "failure");
    if (!expected.message.isEmpty() && !log.contains(expected.message))
        problems << QString("no \"%1\" in the log").arg(expected.message);
    if (f == f_unplugged && !wait_for([this] { return connection() == "Not Connected"; }, 5000))
        problems << "window still shows \"" + connection() + "\" after the unit was unplugged";
    if (!ok && o <= o_override && o != o_connect && snapshot() != before)
        problems << "the window's values changed although the operation failed";
    // The window shows the link as it is: connected exactly while the unit's bridge is open.
    const bool link_open = sim->sim->is_open();
    if (link_open != connection().startsWith("Connected"))
        problems << QString("the window shows \"%1\" while the link is %2")
                        .arg(connection(), link_open ? "open" : "closed");
    cell_log = nullptr;
    recover(problems);
    if (longest_gap > 1000)
        problems << QString("the window did not answer for %1 ms").arg(longest_gap);
    worst_gap = std::max(worst_gap, longest_gap);
    if (!problems.isEmpty())
        std::fprintf(stderr, "--- log of %s x %s:\n%s", operation_names[op], fault_names[fault],
                     qPrintable(log.dump()));
    results[{op, fault}] = problems.isEmpty() ? "pass" : problems.join("; ");
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
}

// ---------------------------------------------------------------------------------------

QString test_fault_matrix::not_applicable(operation op, fault f) const
{
    const bool ack = f == f_wrong_ack_once || f == f_wrong_ack_5;
    if (ack && (op == o_connect || op == o_read || op == o_open_file || op == o_map_cal ||
                op == o_cli_read))
        return "n/a: only reads parameters, which are not acknowledged";
    if (ack && (op == o_firmware || op == o_cli_flash))
        return "n/a: no acknowledged request: the backup only reads, the bootloader answers "
               "lines with XOFF ACK XON";
    if (f == f_bad_table_check && (op == o_connect || op == o_open_file || op == o_map_cal ||
                                   op == o_override || op == o_live))
        return "n/a: reads no table from the unit";
    if ((f == f_wrong_header || f == f_bad_table_check) && op == o_write)
        return "n/a: Write only sends acknowledged requests, it reads no parameter";
    if (f == f_wrong_header && (op == o_override || op == o_live))
        return "n/a: sends only acknowledged requests, no parameter read";
    if (op == o_file_logging &&
        (f == f_no_reply || ack || f == f_wrong_header || f == f_bad_table_check))
        return "n/a: while the stream runs nothing is asked of the unit (the stream's start is "
               "the live updates cell)";
    return {};
}

void test_fault_matrix::arm_at_start(operation op, fault f)
{
    using call = sim_backend::call;
    const bool reply_fault = f == f_wrong_header || f == f_bad_table_check;
    switch (op) {
    case o_connect:
        return arm(f, {call::write, 2}); // the firmware version's request
    case o_read:
        return arm(f, {call::write, 8}); // the AUX table, the 8th request
    case o_write:
        return arm(f, {call::write, 1});
    // Reply faults strike the backup read, the others the third item written.
    case o_write_all:
        return arm(f, {call::write, reply_fault ? 8 : 13});
    case o_open_file:
        return arm(f, {call::write, 1}); // the firmware version's request
    case o_map_cal:
        return arm(f, {call::write, 3}); // the third sample
    case o_override:
        return arm(f, {call::write, 1});
    // quorvane-cli connects with 3 requests; then a table, or the third item written.
    case o_cli_read:
        return arm(f, {call::write, 11});
    case o_cli_write:
        return arm(f, {call::write, reply_fault ? 11 : 15});
    // A bad check strikes the backup, a wrong header the answer to the restart into the
    // bootloader; the others the image's second line.
    case o_cli_flash:
        if (reply_fault)
            return arm(f, {call::write, f == f_bad_table_check ? 11 : 14});
        return arm_in_bootloader(f, 3);
    default:
        return;
    }
}

void test_fault_matrix::arm(fault f, arm_point at)
{
    std::shared_ptr<sim_backend> bridge = sim->sim;
    std::shared_ptr<rq7_sim_unit> u = unit;
    std::function<void()> action;
    switch (f) {
    case f_no_reply:
        action = [u] { u->fault_no_reply(1); };
        break;
    case f_wrong_ack_once:
        action = [u] { u->fault_wrong_ack(1); };
        break;
    case f_wrong_ack_5:
        action = [u] { u->fault_wrong_ack(5); };
        break;
    case f_wrong_header:
        action = [u] { u->fault_wrong_read_header(1); };
        break;
    case f_bad_table_check:
        action = [u] { u->fault_bad_table_check(1); };
        break;
    case f_short_read:
        action = [bridge] { bridge->short_next_reads(1); };
        break;
    case f_short_write:
        action = [bridge] { bridge->short_next_writes(1); };
        break;
    case f_bridge_call:
        action = [bridge] {
            bridge->fail_next(sim_backend::call::read, FT_INSUFFICIENT_RESOURCES);
        };
        break;
    case f_unplugged:
        action = [bridge] { bridge->detach("RQ7SIM01"); };
        break;
    default:
        return;
    }
    // A short read or a failing read hits the reply to the request the fault waits for.
    if (at.count <= 0)
        action(); // for the very next call
    else
        sim->sim->before_call(at.call, at.count, action);
}

void test_fault_matrix::arm_in_bootloader(fault f, int n)
{
    // Runs on the thread that writes, before each write, until the unit has restarted.
    sim->sim->before_call(sim_backend::call::write, 1, [this, f, n] {
        if (!unit->in_bootloader())
            arm_in_bootloader(f, n);
        else if (n > 1)
            arm(f, {sim_backend::call::write, n - 1});
        else
            arm(f, {sim_backend::call::write, 0});
    });
}

bool test_fault_matrix::run(operation op)
{
    switch (op) {
    case o_connect:
        return do_connect();
    case o_read:
        return do_read();
    case o_write:
        return do_write();
    case o_write_all:
        return do_write_all();
    case o_open_file:
        return do_open_file();
    case o_live:
        return do_live(false);
    case o_file_logging:
        return do_live(true);
    case o_firmware:
        return do_firmware();
    case o_map_cal:
        return do_map_cal();
    case o_override:
        return do_override();
    default:
        return do_cli(op);
    }
}

/// Clears the fault, plugs the unit back in (flashing it again if it was left in its
/// bootloader), reconnects and reads: the window must then show what the unit holds.
void test_fault_matrix::recover(QStringList& found)
{
    sim->sim->clear_faults();
    if (!sim->sim->unit()) {
        unit = sim->sim->attach_unit();
        unit->set_update_version(0x0201);
        unit->set_line_program_time(std::chrono::microseconds(500));
    }
    unit->clear_faults();
    window->connect_attempt();
    if (!wait_connected()) {
        found << "no reconnection: " + connection();
        return;
    }
    if (connection() == "Connected bootloader") {
        boxes->boxes.clear();
        w<QLineEdit>("fw_location")->setText(image_file);
        QTest::mouseClick(w<QPushButton>("fw_update"), Qt::LeftButton);
        if (!wait_for([this] { return connection() == connected_text; }, 30000)) {
            found << "the unit left in its bootloader could not be flashed again";
            return;
        }
        settle();
    }
    QSignalSpy read(window->worker(), &rq7_worker::read_data);
    w<QAction>("act_read")->trigger();
    if (!wait_for([&] { return !read.isEmpty(); }, 15000) ||
        read.first().at(0).value<FT_STATUS>() != FT_OK) {
        found << "Read after reconnecting failed";
        return;
    }
    settle();
    const QList<QByteArray> tables = read.first().at(1).value<QList<QByteArray>>();
    for (int n = 0; n < 4; ++n) {
        if (tables.value(n) != unit->table(n))
            found << QString("Read after reconnecting returned table %1 unlike the unit's").arg(n);
        else if (window->gui_to_byteArray(table_index(n)) != unit->table(n))
            found << QString("the window shows table %1 unlike the unit's").arg(n);
    }
    const QList<quint32> ints = read.first().at(2).value<QList<quint32>>();
    if (ints.value(i_pump_prime_delay) != unit->pump_prime_delay() ||
        ints.value(i_rpm_scaler) != unit->rpm_scaler())
        found << "Read after reconnecting returned parameters unlike the unit's";
    if (connection() != connected_text)
        found << "after reconnecting the window shows " + connection();
}

QMap<QString, QString> test_fault_matrix::snapshot()
{
    QMap<QString, QString> values;
    for (QAbstractSpinBox* box : window->findChildren<QAbstractSpinBox*>()) {
        const QString name = box->objectName();
        if (!name.isEmpty() && !name.startsWith("live_") && !name.endsWith("_override"))
            values[name] = box->text();
    }
    for (QComboBox* combo : window->findChildren<QComboBox*>())
        if (!combo->objectName().isEmpty())
            values[combo->objectName()] = QString::number(combo->currentIndex());
    for (int n = 0; n < 4; ++n)
        values[QString("table %1").arg(n)] = window->gui_to_byteArray(table_index(n)).toHex();
    return values;
}

// ---- operations -------------------------------------------------------------------------

bool test_fault_matrix::do_connect()
{
    window->connect_attempt();
    wait_for([this] { return connection() != "Connecting..."; });
    settle();
    return connection() == connected_text;
}

bool test_fault_matrix::do_read()
{
    QSignalSpy read(window->worker(), &rq7_worker::read_data);
    w<QAction>("act_read")->trigger();
    if (!wait_for([&] { return !read.isEmpty(); })) {
        problems << "Read never ended";
        return false;
    }
    return read.first().at(0).value<FT_STATUS>() == FT_OK;
}

bool test_fault_matrix::do_write()
{
    QSignalSpy wrote(window->worker(), &rq7_worker::wrote_data);
    w<QAction>("act_write")->trigger();
    if (!wait_for([&] { return !wrote.isEmpty(); })) {
        problems << "Write never ended";
        return false;
    }
    settle();
    const bool ok = wrote.first().at(0).value<FT_STATUS>() == FT_OK;
    const bool box =
        !boxes->boxes.isEmpty() && boxes->boxes.last().text == "Error writing data to device";
    if (ok != !box)
        problems << (ok ? "an error box after a good write" : "no error box after a failed write");
    // A write whose acknowledgement was lost may have reached the unit; one reported as done
    // must have.
    if (ok && unit->table(t_main) != window->gui_to_byteArray(t_main))
        problems << "Write reported success, the unit's MAIN table differs";
    return ok;
}

bool test_fault_matrix::do_write_all()
{
    QSignalSpy wrote(window->worker(), &rq7_worker::wrote_data);
    w<QAction>("act_write_all")->trigger();
    if (!wait_for([&] { return !wrote.isEmpty(); }, 30000)) {
        problems << "Write All never ended";
        return false;
    }
    settle();
    const bool ok = wrote.first().at(0).value<FT_STATUS>() == FT_OK;
    for (int n = 0; ok && n < 4; ++n)
        if (unit->table(n) != window->gui_to_byteArray(table_index(n)))
            problems << QString("Write All reported success, the unit's table %1 differs").arg(n);
    return ok;
}

bool test_fault_matrix::do_open_file()
{
    QSignalSpy opened(window->worker(), &rq7_worker::read_file);
    dialogs->answers = QStringList{settings_file};
    w<QAction>("act_open")->trigger();
    wait_for([&] { return !opened.isEmpty(); });
    settle();
    // Whatever happened on the link, the file's settings are shown for the unit's model: a
    // unit that did not answer is still the RQ7-NVS it was.
    if (w<QDoubleSpinBox>("main_overcurrent_limit")->maximum() != 20.0 ||
        (!opened.isEmpty() &&
         opened.first().at(2).value<QList<quint32>>().value(i_variant) != variant_nvs))
        problems << "the opened file turned the RQ7-NVS into an RQ7-NV";
    return opened.size() == 1 && window->gui_to_byteArray(t_main) == file_main_table;
}

bool test_fault_matrix::do_live(bool to_file)
{
    rq7_worker* worker = window->worker();
    QSignalSpy started(worker, &rq7_worker::log_started);
    QSignalSpy stopped(worker, &rq7_worker::log_stopped);
    QSignalSpy frames(worker, &rq7_worker::log_data_ready);
    w<QAction>("act_live_log_to_file")->setChecked(to_file);
    QFETCH(int, fault);
    const auto f = static_cast<enum fault>(fault);
    const bool stream_fault = f == f_short_read || f == f_bridge_call || f == f_unplugged;
    if (!to_file && !stream_fault)
        arm(f, {sim_backend::call::write, 1}); // the start request
    w<QAction>("act_logging")->trigger();
    settle();
    if (started.isEmpty())
        return false;
    wait_for([&] { return frames.size() >= 10; }, 10000);
    if (stream_fault)
        arm(f, {sim_backend::call::read, 5});
    else if (to_file && f == f_short_write)
        arm(f, {sim_backend::call::write, 1}); // the stop request
    wait_for([&] { return frames.size() >= 40 || !stopped.isEmpty(); }, 10000);
    const bool streamed = stopped.isEmpty() && frames.size() >= 40;
    if (w<QAction>("act_logging")->isChecked())
        w<QAction>("act_logging")->trigger();
    wait_for([&] { return !stopped.isEmpty(); }, 10000);
    settle();
    if (w<QAction>("act_logging")->isChecked())
        problems << "Live Updates still checked after the stream stopped";
    w<QAction>("act_live_log_to_file")->setChecked(false);
    settle();
    if (!to_file)
        return streamed;

    // Every frame line in the file is complete: as many fields as the header names.
    QFile file(w<QLineEdit>("live_log_file_name")->text());
    if (!file.open(QIODevice::ReadOnly)) {
        problems << "no live-log file";
        return false;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    int columns = -1, rows = 0;
    for (const QByteArray& line : lines) {
        // Live-log file names count seconds: a cell that starts within the second the last
        // one started appends its run, settings section and header again, to the same file.
        if (line.startsWith("[rq7_vars]"))
            columns = -1;
        if (line.trimmed().isEmpty() || line.startsWith('#') || line.startsWith('['))
            continue;
        if (columns < 0 && line.contains("time")) {
            columns = line.count(',');
            continue;
        }
        if (columns >= 0) {
            ++rows;
            if (line.count(',') != columns)
                problems << "a broken frame line in the live-log file";
        }
    }
    if (rows < 10)
        problems << QString("only %1 frame lines in the live-log file").arg(rows);
    return streamed;
}

bool test_fault_matrix::do_firmware()
{
    QFETCH(int, fault);
    const auto f = static_cast<enum fault>(fault);
    rq7_worker* worker = window->worker();
    // A bad table check strikes the backup (its eighth request), a wrong read header the
    // answer to the restart into the bootloader (after the request that stops the stream),
    // the others the image's second line.
    if (f == f_bad_table_check)
        arm(f, {sim_backend::call::write, 8});
    else if (f != f_wrong_header)
        arm_in_bootloader(f, 3);
    const QMetaObject::Connection trigger = connect(
        worker, &rq7_worker::reset_progress, worker,
        [this, f](int progress) {
            if (progress == 50 && f == f_wrong_header)
                arm(f, {sim_backend::call::write, 2});
        },
        Qt::DirectConnection);
    QSignalSpy programmed(worker, &rq7_worker::fw_programmed);
    w<QLineEdit>("fw_location")->setText(image_file);
    QTest::mouseClick(w<QPushButton>("fw_update"), Qt::LeftButton);
    wait_for([&] { return !programmed.isEmpty(); }, 30000);
    disconnect(trigger);
    settle();
    if (programmed.isEmpty()) {
        problems << "the update never ended";
        return false;
    }
    const bool ok = programmed.first().at(0).value<FT_STATUS>() == FT_OK;
    const QString box = boxes->boxes.isEmpty() ? QString() : boxes->boxes.last().text;
    if (box != (ok ? "FW Update Successful!" : "FW Update Failed!"))
        problems << "the update ended with the box \"" + box + "\"";
    if (ok && unit->in_bootloader())
        problems << "reported flashed, the unit is still in its bootloader";
    return ok;
}

bool test_fault_matrix::do_map_cal()
{
    QSignalSpy measured(window->worker(), &rq7_worker::map_cal_data_ready);
    QTest::mouseClick(w<QPushButton>("map_cal_calibrate"), Qt::LeftButton);
    settle();
    return !measured.isEmpty();
}

bool test_fault_matrix::do_override()
{
    w<QSpinBox>("main_override")->setValue(50);
    unit->clear_received_frames();
    QTest::mouseClick(w<QPushButton>("main_override_set"), Qt::LeftButton);
    settle();
    bool sent = false;
    for (const QByteArray& frame : unit->received_frames())
        sent = sent || (frame.size() > 1 && frame.at(1) == char(msg_set_override_main));
    const bool ok = !cell_log->contains("Cannot set override for MAIN");
    if (ok && !sent)
        problems << "no failure reported, the unit never got the override";
    return ok;
}

bool test_fault_matrix::do_cli(operation op)
{
    cli_options options;
    int code = -1;
    const QString out = dir.filePath("cli_read.vkini");
    QFile::remove(out);
    const int lines_before = unit->bootloader_lines().size();
    if (op == o_cli_read) {
        options.args = QStringList{out};
        code = cli_read(options);
        const bool saved = QFile::exists(out);
        if ((code == exit_code::done) != saved)
            problems << QString("exit code %1 but the file was %2")
                            .arg(code)
                            .arg(saved ? "saved" : "not saved");
    } else if (op == o_cli_write) {
        options.args = QStringList{settings_file};
        code = cli_write(options);
        if (code == exit_code::done && unit->table(t_main) != file_main_table)
            problems << "exit code 0 but the unit does not hold the file's MAIN table";
    } else {
        options.args = QStringList{image_file};
        code = cli_flash(options);
        const bool flashed =
            !unit->in_bootloader() && unit->bootloader_lines().size() > lines_before;
        if ((code == exit_code::done) != flashed)
            problems << QString("exit code %1 but the unit was %2")
                            .arg(code)
                            .arg(flashed ? "flashed" : "not flashed");
    }
    // Every fault here strikes before a write is read back: a failure is "no unit, or the
    // link failed".
    if (code != exit_code::done && code != exit_code::no_unit)
        problems << QString("exit code %1").arg(code);
    return code == exit_code::done;
}

// ---- helpers ----------------------------------------------------------------------------

bool test_fault_matrix::wait_for(const std::function<bool()>& done, int ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

void test_fault_matrix::settle()
{
    // Twice: a result the window answers with a new request (a backup, then the write) is
    // caught by the second round.
    for (int round = 0; round < 2; ++round) {
        std::atomic<bool> done{false};
        QMetaObject::invokeMethod(
            window->worker(), [&done] { done = true; }, Qt::QueuedConnection);
        wait_for([&done] { return done.load(); }, 30000);
        QTest::qWait(20);
    }
}

bool test_fault_matrix::wait_connected()
{
    return wait_for([this] { return connection().startsWith("Connected"); }, 15000);
}

/// quorvane-cli opens the unit itself, so the window lets go of it first.
void test_fault_matrix::release_link_for_cli()
{
    window->worker()->close();
    wait_for([this] { return connection() == "Not Connected"; });
    settle();
}

QTEST_MAIN(test_fault_matrix)
#include "test_fault_matrix.moc"
