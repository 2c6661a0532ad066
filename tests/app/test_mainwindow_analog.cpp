// Conversion tables of the analog inputs chosen in the window: loading a CSV file, a file that
// does not parse, going back to volts, and a cancelled choice.
#include "box_answerer.h"
#include "converter.h"
#include "dialog_answerer.h"
#include "log_capture.h"
#include "mainwindow.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class test_mainwindow_analog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void choosing_files_and_defaults_data();
    void choosing_files_and_defaults();

private:
    template <typename T>
    T* w(const QString& name)
    {
        return child<T>(window.get(), qPrintable(name));
    }
    /// A table file whose count i converts to i * factor; `values` lines of data.
    QString write_table(const QString& file, const QString& name, double factor, int values = 1024);

    QTemporaryDir dir;
    std::unique_ptr<sim_fixture> sim;
    std::unique_ptr<MainWindow> window;
};

void test_mainwindow_analog::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
    QVERIFY(dir.isValid());
    sim = std::make_unique<sim_fixture>(false);
}

void test_mainwindow_analog::init()
{
    window = std::make_unique<MainWindow>();
}

void test_mainwindow_analog::cleanup()
{
    window.reset();
}

QString test_mainwindow_analog::write_table(const QString& file, const QString& name, double factor,
                                            int values)
{
    QByteArray content = "# from the sensor's data sheet\n" + name.toUtf8() + ", unit\n";
    for (int i = 0; i < values; ++i)
        content += QByteArray::number(i) + ", " + QByteArray::number(i * factor) + "\n";
    const QString path = dir.filePath(file);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void test_mainwindow_analog::choosing_files_and_defaults_data()
{
    QTest::addColumn<QString>("input"); // "a" or "b"
    QTest::addColumn<int>("source");    // the vertical source that reads this input
    QTest::newRow("input A") << "a" << 1;
    QTest::newRow("input B") << "b" << 2;
}

void test_mainwindow_analog::choosing_files_and_defaults()
{
    QFETCH(QString, input);
    QFETCH(int, source);
    const converter& conv = *window->unit_converter();
    auto convert = [&](quint16 counts) {
        return input == "a" ? conv.adc2cust_ana(counts) : conv.adc2cust_anb(counts);
    };
    auto* load = w<QPushButton>("cust_an" + input + "_load_file");
    auto* file_name = w<QLineEdit>("cust_an" + input + "_filename");
    auto* units = w<QLabel>("live_an_" + input + "_units");
    auto* table_units = w<QLabel>("gpo2_vert_axis_units_2"); // live value unit of GPO2
    w<QComboBox>("gpo2_vert_axis")->setCurrentIndex(source);
    const QString good = write_table("oil.csv", "  Oil   temp ", 0.25);
    const QString bad = write_table("short.csv", "Fuel", 1.0, 1023);

    box_answerer boxes;
    dialog_answerer dialogs;
    log_capture log;

    dialogs.answers << good;
    load->click();
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked[0].title, QString("Open conversion CSV file"));
    QCOMPARE(dialogs.asked[0].filter, QString("CSV files (*.csv);;All (*.*)"));
    QCOMPARE(dialogs.asked[0].start,
             QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/cust_an" +
                 input + ".csv");
    QCOMPARE(file_name->text(), QString("oil.csv"));
    QCOMPARE(units->text(), QString("Oil temp"));
    QCOMPARE(table_units->text(), QString("Oil temp"));
    QCOMPARE(convert(100), 25.0);
    QVERIFY(boxes.boxes.isEmpty());

    // A cancelled choice changes nothing; it started where the loaded file is.
    load->click();
    QCOMPARE(dialogs.asked[1].start, good);
    QCOMPARE(file_name->text(), QString("oil.csv"));
    QCOMPARE(convert(100), 25.0);

    // A file that does not parse is named, reported, and not used.
    dialogs.answers << bad;
    load->click();
    QCOMPARE(boxes.boxes.size(), 1);
    const message_box::contents& box = boxes.boxes.first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, QString("Could not parse custom analog conversion CSV file"));
    QCOMPARE(box.informative_text, "Custom CSV file " + bad +
                                       " could not be successfully parsed\n\nMake sure the file:\n"
                                       "  * Has 1024 values\n"
                                       "  * Each value follows the format: ADC, converted value\n"
                                       "     * Automatic if edited in excel and saved as CSV\n"
                                       "  * Every value is a number\n"
                                       "  * Any comments start with a '#' at the beginning");
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.default_button, QMessageBox::Ok);
    QVERIFY(log.contains("Could not parse custom analog conversion CSV file", QtWarningMsg));
    QCOMPARE(file_name->text(), QString("short.csv"));
    QCOMPARE(units->text(), QString("Oil temp"));
    QCOMPARE(convert(100), 25.0);
    // The table in use is the one remembered for the next choice (and the next start).
    load->click();
    QCOMPARE(dialogs.asked[3].start, good);

    w<QPushButton>("cust_an" + input + "_defaults")->click();
    QCOMPARE(units->text(), QString("V"));
    QCOMPARE(table_units->text(), QString("V"));
    QCOMPARE(file_name->text(), QString());
    QCOMPARE(convert(1023), 5.0);
    load->click();
    QVERIFY(dialogs.asked[4].start.endsWith("/cust_an" + input + ".csv"));
    QVERIFY(dialogs.asked[4].start != good);
}

QTEST_MAIN(test_mainwindow_analog)
#include "test_mainwindow_analog.moc"
