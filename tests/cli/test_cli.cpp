// SPDX-License-Identifier: GPL-3.0-or-later
// quorvane-cli end to end: the real program, run as a user would, against the simulated unit
// in its own process (--simulate) or behind a pseudo-terminal held by the test (--port), so
// that the test sees what the unit received and can switch its faults.
#include "box_answerer.h"
#include "cli_doctor.h"
#include "cli_unit.h"
#include "d2xx_backend.h"
#include "dialog_answerer.h"
#include "fw_image_text.h"
#include "log_capture.h"
#include "mainwindow.h"
#include "rq7_log.h"
#include "rq7_log_reader.h"
#include "rq7_protocol.h"
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "sim_pty.h"
#include "tty_backend.h"
#include "window_access.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct outcome
{
    int code = -1;
    QString out;
    QString err;
};

outcome run(const QStringList& args, int timeout_ms = 60000)
{
    QProcess cli;
    cli.start(QUORVANE_CLI, args);
    outcome result;
    if (!cli.waitForFinished(timeout_ms)) {
        cli.kill();
        cli.waitForFinished();
        return result;
    }
    result.code = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    result.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return result;
}

/// Only requests that leave the unit's settings alone: reads, and stopping the stream.
bool nothing_written(const QList<QByteArray>& frames)
{
    return std::all_of(frames.begin(), frames.end(), [](const QByteArray& f) {
        return quint8(f.at(1)) == msg_read_param || quint8(f.at(1)) == msg_live_data;
    });
}

/// A live log with a known MAP calibration and two samples.
bool write_known_log(const QString& path)
{
    QFile log(path);
    return log.open(QIODevice::WriteOnly) &&
           log.write("[rq7_vars]\r\nints\\25\\Active%20Slope=16122\r\n"
                     "ints\\26\\Active%20Intercept=222312\r\nints\\size=26\r\n[rq7_log]\r\n"
                     "timestamp,batt adc,map adc\r\n"
                     "1700000000000,700,300,0,0,0,0,205,3000,0,512,0,0,0,0,1023,1,0,9,0,0,0,0,0,0,"
                     "0,0,0,0,0,0,0\r\n"
                     "1700000001500,700,222,0,0,0,0,205,3000,0,512,0,0,0,0,1023,1,0,9,0,0,0,0,0,0,"
                     "0,0,0,0,0,0,0\r\n") > 0;
}

void write_text(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

class test_cli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void identifies_the_unit();
    void read_write_and_diff_agree_with_the_unit();
    void read_file_opens_in_the_window_unchanged();
    void a_write_the_unit_does_not_keep_fails_verification();
    void bad_input_sends_nothing();
    void log_stopped_by_ctrl_c_leaves_a_complete_file();
    void log_to_a_file_that_cannot_be_written();
    void export_converts_with_the_logs_calibration();
    void flash_backs_up_then_programs();
    void nothing_is_written_without_a_kept_backup();
    void values_no_unit_takes_are_refused();
    void a_port_that_cannot_be_opened_says_why();
    void export_checks_every_write_and_keeps_what_is_not_a_file();
    void doctor_checks_the_computer_and_the_unit();

private:
    QStringList port() const { return {"--port", pty->slave_path()}; }
    QString temp(const QString& name) const { return dir.filePath(name); }

    std::shared_ptr<rq7_sim_unit> unit;
    std::unique_ptr<sim_pty> pty;
    QTemporaryDir dir;
    std::unique_ptr<QTemporaryDir> data; // each test's own backups
};

void test_cli::init()
{
    data = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", data->path().toLocal8Bit());
    unit = std::make_shared<rq7_sim_unit>();
    pty = std::make_unique<sim_pty>(unit);
    QVERIFY(pty->start());
}

void test_cli::cleanup()
{
    pty.reset();
}

void test_cli::identifies_the_unit()
{
    const outcome info = run({"--simulate", "info", "--json"});
    QCOMPARE(info.code, 0);
    const QJsonObject object = QJsonDocument::fromJson(info.out.toUtf8()).object();
    QCOMPARE(object.value("serial_number").toString(), QString("RQ7SIM01"));
    QCOMPARE(object.value("firmware").toString(), QString("2.1"));
    QCOMPARE(object.value("model").toString(), QString("RQ7-NVS"));

    unit->set_variant_byte(0x55);
    const outcome listed = run(QStringList{"list"} + port());
    QCOMPARE(listed.code, 0);
    QVERIFY2(listed.out.contains(pty->slave_path()) && listed.out.contains("RQ7-NV,"),
             qPrintable(listed.out));

    const outcome none = run({"--port", "/dev/no-such-port", "info"});
    QCOMPARE(none.code, 2);
    QVERIFY(none.err.contains("no unit found"));
}

void test_cli::read_write_and_diff_agree_with_the_unit()
{
    const QString read_file = temp("read.vkini");
    QCOMPARE(run(QStringList{"read", read_file} + port()).code, 0);
    QCOMPARE(run(QStringList{"diff", read_file, "unit"} + port()).code, 0);

    // A changed pump prime delay and MAIN table, written and verified.
    QSettings edit(read_file, QSettings::IniFormat);
    edit.setValue("rq7_vars/ints/2/pump prime delay", 7);
    QByteArray main = unit->table(1);
    main[0] = char(0x01);
    main[639] = char(quint8(main[639]) ^ 0x01 ^ quint8(unit->table(1).at(0)));
    edit.setValue("rq7_vars/tables/2/MAIN duty table", main);
    edit.sync();
    const outcome differs = run(QStringList{"diff", read_file, "unit", "--json"} + port());
    QCOMPARE(differs.code, 1);
    const QJsonObject report = QJsonDocument::fromJson(differs.out.toUtf8()).object();
    QCOMPARE(report.value("parameters").toArray().first().toObject().value("name").toString(),
             QString("Pump prime delay"));
    QCOMPARE(report.value("tables").toArray().first().toObject().value("table").toString(),
             QString("MAIN"));

    const QDir backups(qEnvironmentVariable("XDG_DATA_HOME") + "/Velkaro/Quorvane/backups/" +
                       pty->slave_path().mid(5).replace('/', '_'));
    const int backups_before = backups.entryList({"*.vkini"}).size();
    const outcome wrote = run(QStringList{"write", read_file} + port());
    QVERIFY2(wrote.code == 0, qPrintable(wrote.err));
    // One backup of the unit before the write; reading it back keeps none.
    QCOMPARE(backups.entryList({"*.vkini"}).size(), backups_before + 1);
    QCOMPARE(unit->pump_prime_delay(), quint16(7));
    QCOMPARE(unit->table(1), main);
    QCOMPARE(run(QStringList{"diff", read_file, "unit"} + port()).code, 0);
    // The unit against itself is read once, so it leaves one backup.
    const int backups_now = backups.entryList({"*.vkini"}).size();
    QCOMPARE(run(QStringList{"diff", "unit", "unit"} + port()).code, 0);
    QCOMPARE(backups.entryList({"*.vkini"}).size(), backups_now + 1);
}

void test_cli::read_file_opens_in_the_window_unchanged()
{
    QByteArray modes = rq7_sim_unit::factory_mode_block();
    modes[22] = char(0xD3); // GPO1 off above its setpoint
    unit->set_mode_block(modes);
    unit->set_pump_prime_delay(4);
    unit->set_rpm_scaler(5);
    const QString read_file = temp("for_window.vkini");
    QCOMPARE(run(QStringList{"read", read_file} + port()).code, 0);

    // The window opens what the CLI read and saves it again: nothing may change on the way.
    MainWindow window;
    box_answerer boxes;
    boxes.press = QMessageBox::Yes;
    dialog_answerer dialogs;
    dialogs.answers << read_file << temp("from_window.vkini");
    QSignalSpy loaded(window.worker(), &rq7_worker::read_file);
    child<QAction>(&window, "act_open")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 10000);
    QCoreApplication::processEvents();
    child<QAction>(&window, "act_save_as")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(temp("from_window.vkini")), 10000);

    rq7_vars cli(nullptr), gui(nullptr);
    QList<QString> warnings;
    QVERIFY(cli.file_to_vars(read_file, warnings) && warnings.isEmpty());
    QCOMPARE(cli.ints[i_hw_version], quint32(0x02000B00)); // written by 2.11.0: no version box
    QVERIFY(gui.file_to_vars(temp("from_window.vkini"), warnings) && warnings.isEmpty());
    for (int t = t_aux; t <= t_gpo2; ++t)
        QVERIFY2(cli.tables[t] == gui.tables[t], qPrintable(table_names[t]));
    for (int i : {int(i_rpm_scaler), int(i_pump_prime_delay)})
        QCOMPARE(gui.ints[i], cli.ints[i]);
    for (int i = i_main_mode; i <= i_active_deadband; ++i)
        QVERIFY2(gui.ints[i] == cli.ints[i], qPrintable(int_names[i]));
}

void test_cli::a_write_the_unit_does_not_keep_fails_verification()
{
    const QString file = temp("forget.vkini");
    QCOMPARE(run(QStringList{"read", file} + port()).code, 0);
    QSettings edit(file, QSettings::IniFormat);
    edit.setValue("rq7_vars/ints/2/pump prime delay", 9);
    edit.sync();
    unit->fault_forget_writes(msg_write_int1);
    const outcome wrote = run(QStringList{"write", file} + port());
    QCOMPARE(wrote.code, 3);
    QVERIFY2(wrote.err.contains("pump prime delay (wrote 9, the unit holds 0)"),
             qPrintable(wrote.err));
}

void test_cli::bad_input_sends_nothing()
{
    QFile junk(temp("junk.vkini"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("\x01\x02 not a settings file\n");
    junk.close();
    unit->clear_received_frames();
    for (const QStringList& args :
         {QStringList{"write", temp("missing.vkini")}, QStringList{"write", junk.fileName()},
          QStringList{"write"}, QStringList{"diff", "unit"}, QStringList{"log", "/no/such/dir/x"},
          QStringList{"export", junk.fileName(), "--boost-unit", "furlongs"},
          QStringList{"info", "extra"}, QStringList{"list", "extra"},
          QStringList{"log", temp("x.vklog"), "--seconds", "nan"},
          QStringList{"log", temp("x.vklog"), "--seconds", "-5"},
          QStringList{"log", temp("x.vklog"), "--seconds", "0.01"},
          QStringList{"log", temp("x.vklog"), "--seconds", "1e9"}}) {
        const outcome result = run(args + port());
        const int code =
            args.contains("/no/such/dir/x") ? 4 : 64; // a folder that cannot be written
        QVERIFY2(result.code == code, qPrintable(args.join(' ') + ": " + result.err));
        QVERIFY(result.err.startsWith("quorvane-cli: "));
    }
    // Files too large, or not what they claim, are refused by the rules the window follows.
    QFile big(temp("big.vkini"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write("[rq7_vars]\n" + QByteArray(1000 * 1000, ';') + "\n");
    big.close();
    QFile text(temp("text.vklog"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(30000, 'x').replace("xxx", "xx\n"));
    text.close();
    const QString image = temp("RQ7_QUIL_big.hex");
    QVERIFY(fw_text::write_file(image, fw_text::padded(fw_text::image(3), 8 * 1000 * 1000 + 1)));
    const QList<QPair<QStringList, QString>> refused = {
        {{"write", big.fileName()}, "larger than 1 MB (1000012 bytes), the limit for a settings"},
        {{"export", text.fileName()}, text.fileName() + " is not a live-log file"},
        {{"flash", image},
         "larger than 8 MB (8000001 bytes), the limit for a firmware image; "
         "the unit was not touched"}};
    for (const auto& [args, message] : refused) {
        const outcome result = run(args + port());
        QVERIFY2(result.code == 64 && result.err.contains(message), qPrintable(result.err));
    }
    QVERIFY(unit->received_frames().isEmpty());
}

void test_cli::log_stopped_by_ctrl_c_leaves_a_complete_file()
{
    const QString file = temp("run.vklog");
    QProcess cli;
    cli.start(QUORVANE_CLI, QStringList{"log", file} + port());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 20000, 20000);
    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(cli.readAllStandardError());
    const int recorded = said.section(" samples in ", 0, 0).section(' ', -1).toInt();

    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    bool settings = false;
    rq7_log_reader reader(log, marks, [&settings](const QString&) { settings = true; });
    QCOMPARE(reader.parse(file), rq7_log_reader::p_parsed);
    QVERIFY(settings);
    QCOMPARE(reader.bad_lines(), 0);
    QVERIFY(recorded > 100);
    QCOMPARE(log.size(), recorded);
}

void test_cli::log_to_a_file_that_cannot_be_written()
{
    // A name taken by a folder: the file cannot be opened.
    QVERIFY(QDir(dir.path()).mkdir("taken.vklog"));
    const outcome taken = run(QStringList{"log", temp("taken.vklog"), "--seconds", "1"} + port());
    QCOMPARE(taken.code, 4);
    QVERIFY2(taken.err.contains("cannot write " + temp("taken.vklog")), qPrintable(taken.err));

    // The disk fills up mid-way (a file size limit stands in for it): what was written stays.
    const QString file = temp("full.vklog");
    QProcess cli;
    cli.start("/bin/sh", QStringList{"-c", "trap '' XFSZ; ulimit -f 100; exec \"$0\" \"$@\"",
                                     QUORVANE_CLI, "log", file, "--seconds", "60"} +
                             port());
    QVERIFY(cli.waitForFinished(60000));
    const QString said = QString::fromLocal8Bit(cli.readAllStandardError());
    QCOMPARE(cli.exitCode(), 4);
    QVERIFY2(said.contains("File too large"), qPrintable(said));
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks, [](const QString&) {});
    log_capture quiet; // the line cut off by the limit is reported
    QCOMPARE(reader.parse(file), rq7_log_reader::p_parsed);
    QVERIFY(log.size() > 100);
}

void test_cli::export_converts_with_the_logs_calibration()
{
    // Active slope 16.122 and intercept 222.312: MAP 300 counts is (300 - 222.312) / 16.122
    // = 4.8188 PSI.
    QFile log(temp("known.vklog"));
    QVERIFY(write_known_log(log.fileName()));
    const outcome csv = run({"export", log.fileName()});
    QCOMPARE(csv.code, 0);
    const QStringList lines = csv.out.split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith("Time [s],Engine speed [RPM],MAP [PSI],Battery [V]"));
    const QStringList first = lines[1].split(',');
    QCOMPARE(first[0], QString("0.000"));
    QCOMPARE(first[1], QString("3000"));
    QCOMPARE(first[2], QString("4.819"));
    QCOMPARE(first[3], QString("12.91")); // 700 / 54.2117647
    QCOMPARE(first[6], QString("10.01")); // MAIN current 205 / 20.48
    QCOMPARE(first[8], QString("50.0"));  // MAIN duty 512 of 1023
    QCOMPARE(first[11], QString("100.0"));
    QCOMPARE(lines[2].section(',', 0, 0), QString("1.500"));
    QCOMPARE(lines[2].section(',', 2, 2), QString("-0.019")); // just below atmosphere

    QCOMPARE(run({"export", log.fileName(), "--boost-unit", "kpa"}).out.section(',', 2, 2),
             QString("MAP [kPa]"));
}

void test_cli::flash_backs_up_then_programs()
{
    const QString image = temp("RQ7_QUIL_2_2.hex");
    QVERIFY(fw_text::write_file(image, fw_text::image(12)));
    QFile broken(temp("RQ7_QUIL_broken.hex"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(fw_text::image(12).replace(":00000001FF", ""));
    broken.close();

    unit->clear_received_frames();
    const outcome refused = run(QStringList{"flash", broken.fileName()} + port());
    QCOMPARE(refused.code, 64);
    QVERIFY(unit->received_frames().isEmpty());

    // An image without any data record would erase the firmware and program nothing.
    const QString empty = temp("RQ7_QUIL_empty.hex");
    QVERIFY(fw_text::write_file(empty, fw_text::address_record + '\n' + fw_text::end_record));
    const outcome nothing = run(QStringList{"flash", empty} + port());
    QCOMPARE(nothing.code, 64);
    QVERIFY2(nothing.err.contains("no data record"), qPrintable(nothing.err));
    QVERIFY(unit->received_frames().isEmpty());

    const outcome flashed = run(QStringList{"flash", image} + port());
    QVERIFY2(flashed.code == 0, qPrintable(flashed.err));
    QVERIFY(flashed.out.contains("now runs firmware 2.2"));
    QVERIFY(flashed.err.contains("Backup of the unit's settings: "));
    // The backup's ten reads came after identifying the unit and before the unit was told
    // to restart into its bootloader (a read of parameter C0).
    const QList<QByteArray> frames = unit->received_frames();
    const auto restart = std::find_if(frames.begin(), frames.end(), [](const QByteArray& f) {
        return f.size() > 4 && quint8(f.at(1)) == 0x05 && quint8(f.at(4)) == 0xC0;
    });
    QVERIFY(restart != frames.end());
    QVERIFY(restart - frames.begin() >= 12);

    // Left in its bootloader (it answers firmware 0): not updated, whatever the transfer said.
    unit->set_update_version(0);
    const outcome stuck = run(QStringList{"flash", image} + port());
    QCOMPARE(stuck.code, 2);
    QVERIFY2(stuck.err.contains("NOT updated"), qPrintable(stuck.err));
}

void test_cli::nothing_is_written_without_a_kept_backup()
{
    const QString file = temp("kept.vkini");
    QCOMPARE(run(QStringList{"read", file} + port()).code, 0);
    const QString image = temp("RQ7_QUIL_2_2.hex");
    QVERIFY(fw_text::write_file(image, fw_text::image(4)));
    // The data folder is a file: no backup folder can be made below it.
    const QString blocked = temp("not_a_folder");
    write_text(blocked, "x");
    qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
    unit->clear_received_frames();

    const outcome wrote = run(QStringList{"write", file} + port());
    QCOMPARE(wrote.code, 4);
    QVERIFY2(wrote.err.contains(blocked + "/Velkaro/Quorvane/backups") &&
                 wrote.err.contains("Not a directory") && wrote.err.contains("nothing was written"),
             qPrintable(wrote.err));
    QVERIFY(nothing_written(unit->received_frames()));

    const outcome flashed = run(QStringList{"flash", image} + port());
    QCOMPARE(flashed.code, 4);
    QVERIFY2(flashed.err.contains("could not keep a backup") &&
                 flashed.err.contains("Not a directory") && !flashed.err.contains("in time"),
             qPrintable(flashed.err));
    QCOMPARE(unit->bootloader_entries(), 0);
    QVERIFY(nothing_written(unit->received_frames()));

    // With --no-backup the user takes the risk.
    QCOMPARE(run(QStringList{"write", file, "--no-backup"} + port()).code, 0);
}

void test_cli::values_no_unit_takes_are_refused()
{
    const QString file = temp("values.vkini");
    QCOMPARE(run(QStringList{"read", file} + port()).code, 0);
    {
        QSettings edit(file, QSettings::IniFormat);
        edit.setValue("rq7_vars/ints/1/RPM scaler", 300);
        edit.setValue("rq7_vars/ints/14/Main mode", 4294967295u);
    }
    unit->clear_received_frames();
    const outcome wrote = run(QStringList{"write", file} + port());
    QCOMPARE(wrote.code, 64);
    QVERIFY2(wrote.err.contains("RPM scaler = 300 (allowed: 1 to 128") &&
                 wrote.err.contains("Main mode = 4294967295 (0xFFFFFFFF) (allowed: 160 to 162"),
             qPrintable(wrote.err));
    QVERIFY(nothing_written(unit->received_frames()));
    QCOMPARE(unit->rpm_scaler(), quint8(1));

    // The unit's own settings, to an RQ7-NV: its overcurrent limit ends at 10 A.
    QCOMPARE(run(QStringList{"read", file} + port()).code, 0);
    unit->set_variant_byte(0x55);
    const outcome nv = run(QStringList{"write", file} + port());
    QCOMPARE(nv.code, 64);
    QVERIFY2(nv.err.contains("MAIN duty table: overcurrent limit = 20.0 A (allowed: 0 to 10 A"),
             qPrintable(nv.err));
}

void test_cli::a_port_that_cannot_be_opened_says_why()
{
    const outcome info = run({"--port", "/dev/null", "info"});
    QCOMPARE(info.code, 2);
    QVERIFY2(info.err.contains("cannot open /dev/null: Inappropriate ioctl for device; "
                               "/dev/null is not a serial port"),
             qPrintable(info.err));
}

void test_cli::export_checks_every_write_and_keeps_what_is_not_a_file()
{
    const QString log = temp("export.vklog");
    QVERIFY(write_known_log(log));

    for (const QStringList& args :
         {QStringList{"export", log}, QStringList{"--simulate", "info"}}) {
        QProcess full;
        full.setStandardOutputFile("/dev/full");
        full.start(QUORVANE_CLI, args);
        QVERIFY(full.waitForFinished(30000));
        QCOMPARE(full.exitCode(), 4);
        QVERIFY(QString::fromLocal8Bit(full.readAllStandardError()).contains("No space left"));
    }

    // A symbolic link stays one: the CSV goes to where it leads.
    QVERIFY(QFile::link(temp("target.csv"), temp("link.csv")));
    QCOMPARE(run({"export", log, "-o", temp("link.csv")}).code, 0);
    QVERIFY(QFileInfo(temp("link.csv")).isSymLink());
    QFile target(temp("target.csv"));
    QVERIFY(target.open(QIODevice::ReadOnly) && target.readAll().startsWith("Time [s]"));

    // So does a pipe: the reader gets the CSV.
    const QByteArray pipe = QFile::encodeName(temp("pipe"));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
    const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QCOMPARE(run({"export", log, "-o", temp("pipe")}).code, 0);
    QByteArray got(4096, '\0');
    got.resize(int(std::max<ssize_t>(0, ::read(reader, got.data(), size_t(got.size())))));
    ::close(reader);
    struct stat info
    {};
    QCOMPARE(::lstat(pipe.constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));
    QVERIFY(got.startsWith("Time [s]"));
}

void test_cli::doctor_checks_the_computer_and_the_unit()
{
    // A computer with the bridge on ttyUSB0, whose node leads to the simulated unit.
    const QString sys = temp("sys");
    const QString port_dir = sys + "/devices/pci0000:00/usb1/1-4/1-4:1.0/ttyUSB0";
    write_text(sys + "/devices/pci0000:00/usb1/1-4/product", "MERIX 3\n");
    write_text(sys + "/devices/pci0000:00/usb1/1-4/serial", "FT12AB\n");
    write_text(port_dir + "/latency_timer", "16\n");
    write_text(port_dir + "/tty/ttyUSB0/dev", "188:0\n");
    QVERIFY(QDir().mkpath(sys + "/bus/usb-serial/drivers/ftdi_sio"));
    QVERIFY(QDir().mkpath(sys + "/bus/usb-serial/devices"));
    QVERIFY(QFile::link(sys + "/bus/usb-serial/drivers/ftdi_sio", port_dir + "/driver"));
    QVERIFY(QFile::link(port_dir, sys + "/bus/usb-serial/devices/ttyUSB0"));
    QVERIFY(QDir().mkpath(temp("dev")));
    QVERIFY(QFile::link(pty->slave_path(), temp("dev/ttyUSB0")));
    write_text(temp("proc/812/comm"), "ModemManager\n");
    QVERIFY(QDir().mkpath(temp("udev")));
    doctor_paths paths;
    paths.sysfs = sys;
    paths.dev = temp("dev");
    paths.rule_files = QStringList{temp("rules.d/70-quorvane.rules")};
    paths.udev_data = temp("udev");
    paths.proc = temp("proc");
    paths.program_dirs = QStringList{temp("bin")};

    auto levels = [](const QList<doctor_finding>& findings) {
        QStringList out;
        for (const doctor_finding& f : findings)
            out << QString("%1 %2").arg(f.check).arg(f.result);
        return out;
    };
    QList<doctor_finding> found = doctor_machine_checks(paths, QString(), false);
    d2xx_install_backend(std::make_shared<tty_backend>(sys, temp("dev")));
    {
        cli_unit link;
        found << doctor_unit_check(link);
    }
    d2xx_install_backend(nullptr);
    QCOMPARE(levels(found), QStringList({"bridge 0", "port 0", "latency timer 1", "udev rule 1",
                                         "ModemManager 1", "brltty 0", "unit 0"}));
    QVERIFY(found[0].detail.contains("ttyUSB0 (serial FT12AB), driver ftdi_sio"));
    QVERIFY(found[2].detail.contains("16 ms") && found[2].fix.contains(port_dir));
    QVERIFY(found[4].fix.contains("ModemManager"));
    QCOMPARE(found[6].detail, QString("FT12AB answers: RQ7-NVS, firmware 2.1"));
    QCOMPARE(doctor_report(found), 0); // warnings only

    // The rule installed and followed; then the bridge unplugged.
    write_text(temp("rules.d/70-quorvane.rules"), "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n");
    write_text(temp("udev/c188:0"), "E:ID_MM_DEVICE_IGNORE=1\n");
    found = doctor_machine_checks(paths, QString(), false);
    QCOMPARE(levels(found).mid(3), QStringList({"udev rule 0", "ModemManager 0", "brltty 0"}));
    QVERIFY(QFile::remove(sys + "/bus/usb-serial/devices/ttyUSB0"));
    found = doctor_machine_checks(paths, QString(), false);
    QCOMPARE(levels(found).first(), QString("bridge 2"));
    QCOMPARE(doctor_report(found), 2);
}

QTEST_MAIN(test_cli)
#include "test_cli.moc"
