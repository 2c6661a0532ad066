// SPDX-License-Identifier: GPL-3.0-or-later
#include "debug_log.h"
#include "debug_log_file.h"
#include "debug_log_panel.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTemporaryDir>
#include <QtTest>

class test_debug_log : public QObject
{
    Q_OBJECT

private slots:
    void line_format_data();
    void line_format();
    void file_starts_anew_past_10_mb();
    void view_keeps_the_newest_lines();
};

void test_debug_log::line_format_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("line");
    const QString stamp = "[2026-12-07 09:05:03.042] {  812} ";
    QTest::newRow("debug") << int(QtDebugMsg) << stamp + "Start read";
    QTest::newRow("info") << int(QtInfoMsg) << stamp + "Start read";
    QTest::newRow("warning") << int(QtWarningMsg)
                             << stamp + "[Warning] void rq7_worker::open(): Start read";
    QTest::newRow("critical") << int(QtCriticalMsg)
                              << stamp + "[Critical] void rq7_worker::open(): Start read";
    QTest::newRow("fatal") << int(QtFatalMsg)
                           << stamp + "[Fatal] void rq7_worker::open(): Start read";
}

void test_debug_log::line_format()
{
    QFETCH(int, type);
    QFETCH(QString, line);
    const QMessageLogContext context("rq7_worker.cpp", 12, "void rq7_worker::open()", "default");
    const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3, 42));
    QCOMPARE(format_log_line(QtMsgType(type), context, "Start read", when, 812), line);
}

void test_debug_log::file_starts_anew_past_10_mb()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("rq7_debug_log.txt");
    const QString old = dir.filePath("rq7_debug_log.1.txt");
    QCOMPARE(debug_log_file::old_file_name(name), old);
    {
        QFile earlier(name); // a file from an earlier run goes on
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier\r\n");
    }
    debug_log_file log;
    log.set_file_name(name);
    const QByteArray line(998, 'x'); // 1000 bytes with "\r\n"
    const int per_file = int(debug_log_file::rotate_bytes / 1000);
    for (int i = 1; i < per_file; ++i)
        QVERIFY(log.write(line));
    QVERIFY(!QFile::exists(old));
    QCOMPARE(QFileInfo(name).size(), debug_log_file::rotate_bytes - 1000 + 9); // none held back
    QVERIFY(log.write(line)); // past 10 MB: renamed, and a new file started
    QCOMPARE(QFileInfo(old).size(), debug_log_file::rotate_bytes + 9);
    QCOMPARE(QFileInfo(name).size(), 0);
    QVERIFY(log.write("first of the second file"));

    for (int i = 0; i <= per_file; ++i)
        QVERIFY(log.write(line));
    QFile kept(old); // only the newest earlier file is kept
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll().startsWith("first of the second file\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);

    log.set_file_name(dir.filePath("missing/rq7_debug_log.txt"));
    QVERIFY(!log.write(line));
}

void test_debug_log::view_keeps_the_newest_lines()
{
    // Another thread's lines arrive in batches; the window's own are shown at once, after them.
    QTemporaryDir dir;
    QPlainTextEdit view;
    debug_log_panel panel(&view, nullptr);
    panel.set_file_name(dir.filePath("rq7_debug_log.txt"));
    QScopedPointer<QThread> other(QThread::create([&panel] {
        for (int i = 0; i < 30000; ++i)
            panel.add_line(QtDebugMsg, QString("other %1").arg(i));
    }));
    other->start();
    QVERIFY(other->wait(60000));
    panel.add_line(QtWarningMsg, "window");
    QCOMPARE(view.document()->blockCount(), debug_log_panel::max_view_lines);
    QCOMPARE(view.document()->lastBlock().text(), QString("window"));
    QCOMPARE(view.document()->lastBlock().previous().text(), QString("other 29999"));
    QCOMPARE(view.document()->firstBlock().text(), QString("other 10001"));
    QTest::qWait(50); // the batch posted meanwhile finds nothing more
    QCOMPARE(view.document()->blockCount(), debug_log_panel::max_view_lines);

    QFile file(dir.filePath("rq7_debug_log.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), 30001);
}

QTEST_MAIN(test_debug_log)
#include "test_debug_log.moc"
