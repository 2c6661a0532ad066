#include "debug_log.h"

#include <QtTest>

class test_debug_log : public QObject
{
    Q_OBJECT

private slots:
    void line_format_data();
    void line_format();
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

QTEST_APPLESS_MAIN(test_debug_log)
#include "test_debug_log.moc"
