// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files: what the store writes, what it reads back, and how it treats files that
// are incomplete or damaged; and how two sets of settings differ, cell by cell and field by
// field.
#include "log_capture.h"
#include "rq7_protocol.h"
#include "rq7_vars.h"
#include "settings_report.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray valid_record(char fill)
{
    QByteArray record(639, fill);
    record.append(static_cast<char>(rq7_protocol::xor_of(record, 0, 639)));
    return record;
}

/// A store with every item set to a distinctive value and queued.
void fill_everything(rq7_vars& vars)
{
    for (int n = 0; n < t_last; ++n)
        vars.add_field_to_var(valid_record(char('a' + n)), table_index(n));
    for (int n = 0; n < i_last; ++n)
        vars.add_field_to_var(uint(1000 + 7 * n), int_index(n));
    vars.add_field_to_var(0xFFFFFFFFu, i_gpi1_state);
    for (int n = 0; n < a_last; ++n)
        vars.add_field_to_var(adc_trim{n % 2 == 0, quint16(40000 + n)}, adc_trim_index(n));
}

/// A MAP-sensor table record with the output header, all cells 0 but `cells` (row, column,
/// count) and the vertical threshold at `threshold` counts.
QByteArray table_with(const QList<QVector<int>>& cells, int threshold = 0)
{
    QByteArray record(639, '\0');
    for (const QVector<int>& c : cells) {
        const int at = ((15 - c[0]) * 16 + c[1]) * 2;
        record[at] = char(c[2] >> 8);
        record[at + 1] = char(c[2] & 0xFF);
    }
    record[608] = char(0xCC);
    record[630] = char(threshold >> 8);
    record[631] = char(threshold & 0xFF);
    record[638] = char(0xA1);
    record.append(static_cast<char>(rq7_protocol::xor_of(record, 0, 639)));
    return record;
}

QByteArray file_text(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void write_text(const QString& path, const QByteArray& text)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text);
}

} // namespace

class test_rq7_vars_file : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void written_file_reads_back_equal();
    void file_lines_are_what_qsettings_writes();
    void empty_change_sets_give_three_sizes_of_zero();
    void array_size_follows_the_highest_index();
    void a_file_written_elsewhere_loads();
    void missing_items_warn_data();
    void missing_items_warn();
    void damaged_entries_keep_the_current_value();
    void unusable_files_change_nothing_data();
    void unusable_files_change_nothing();
    void files_over_1_mb_are_not_read();
    void comparison_names_each_cell_and_field();

private:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

void test_rq7_vars_file::written_file_reads_back_equal()
{
    rq7_vars written(nullptr);
    fill_everything(written);
    QVERIFY(written.vars_to_file(path("all.vkini")));
    QCOMPARE(written.changed_ints.size(), int(i_last)); // saving leaves the sets alone

    rq7_vars read(nullptr);
    QList<QString> warnings;
    QVERIFY(read.file_to_vars(path("all.vkini"), warnings));
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    QCOMPARE(read.tables, written.tables);
    QCOMPARE(read.ints, written.ints);
    QCOMPARE(read.trims, written.trims);
    QVERIFY(read.initialized);
    QVERIFY(read.changed_ints.isEmpty());
}

void test_rq7_vars_file::file_lines_are_what_qsettings_writes()
{
    rq7_vars vars(nullptr);
    vars.add_field_to_var(12u, i_rpm_scaler);
    vars.add_field_to_var(adc_trim{true, 0}, a_battery);
    vars.add_field_to_var(valid_record('x'), t_main);
    QVERIFY(vars.vars_to_file(path("lines.vkini")));
    const QByteArray text = file_text(path("lines.vkini"));
    QVERIFY(text.startsWith("[rq7_vars]"));
    QVERIFY(text.contains("ints\\1\\RPM%20scaler=12\n"));
    QVERIFY(text.contains("trims\\1\\battery%20trim\\pol=true\n"));
    QVERIFY(text.contains("trims\\1\\battery%20trim\\value=0\n"));
    QVERIFY(text.contains("tables\\2\\MAIN%20duty%20table=@ByteArray("));
    QVERIFY(text.contains("tables\\size=2\n"));
    QVERIFY(text.contains("ints\\size=1\n"));
    QVERIFY(text.contains("trims\\size=1\n"));
}

void test_rq7_vars_file::empty_change_sets_give_three_sizes_of_zero()
{
    rq7_vars vars(nullptr);
    QVERIFY(vars.vars_to_file(path("empty.vkini")));
    QSettings file(path("empty.vkini"), QSettings::IniFormat);
    QCOMPARE(file.childGroups(), QStringList{"rq7_vars"});
    file.beginGroup("rq7_vars");
    QCOMPARE(file.allKeys(), (QStringList{"ints/size", "tables/size", "trims/size"}));
    for (const QString& key : file.allKeys())
        QCOMPARE(file.value(key).toInt(), 0);
}

void test_rq7_vars_file::array_size_follows_the_highest_index()
{
    rq7_vars vars(nullptr);
    vars.add_field_to_var(16122u, i_active_slope);
    QVERIFY(vars.vars_to_file(path("one.vkini")));
    const QByteArray text = file_text(path("one.vkini"));
    QVERIFY(text.contains("ints\\25\\Active%20Slope=16122\n"));
    QVERIFY(text.contains("ints\\size=25\n"));
}

void test_rq7_vars_file::a_file_written_elsewhere_loads()
{
    {
        QSettings file(path("other.vkini"), QSettings::IniFormat);
        file.beginGroup("rq7_vars");
        file.beginWriteArray("ints");
        file.setArrayIndex(0);
        file.setValue("RPM scaler", 12);
        file.setArrayIndex(28);
        file.setValue("Variant", 0);
        file.setArrayIndex(11);
        file.setValue("GPI1 state", -1); // older files may hold signed numbers
        file.endArray();
        file.beginWriteArray("trims");
        file.setArrayIndex(3);
        file.setValue("MAIN current trim/pol", false);
        file.setValue("MAIN current trim/value", 70000);
        file.endArray();
        file.endGroup();
    }
    rq7_vars vars(nullptr);
    QList<QString> warnings;
    QVERIFY(vars.file_to_vars(path("other.vkini"), warnings));
    QCOMPARE(vars.ints[i_rpm_scaler], 12u);
    QCOMPARE(vars.ints[i_variant], 0u);
    QCOMPARE(vars.ints[i_gpi1_state], 0xFFFFFFFFu);
    QCOMPARE(vars.trims[a_main_current], (adc_trim{false, quint16(70000 & 0xFFFF)}));
    QVERIFY(warnings.contains("Table MAIN duty table does not exist in settings file, keeping the "
                              "current settings."));
    QVERIFY(warnings.contains("Parameter pump prime delay does not exist in settings file, "
                              "keeping the current setting."));
    QVERIFY(warnings.contains(
        "ADC trim battery trim does not exist in settings file, keeping the current setting."));
}

void test_rq7_vars_file::missing_items_warn_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("warnings");
    const QByteArray tables =
        "tables\\1\\AUX%20duty%20table=@ByteArray(x)\n"; // not a record: warned separately
    QTest::newRow("ints array of size 2 reads only two, warns for nothing")
        << QByteArray("[rq7_vars]\nints\\1\\RPM%20scaler=2\nints\\2\\pump%20prime%20delay=3\n"
                      "ints\\size=2\ntables\\size=0\ntrims\\size=0\n")
        << QStringList{"Table AUX duty table does not exist in settings file, keeping the current "
                       "settings.",
                       "Table MAIN duty table does not exist in settings file, keeping the current "
                       "settings.",
                       "Table GPO1 duty table does not exist in settings file, keeping the current "
                       "settings.",
                       "Table GPO2 duty table does not exist in settings file, keeping the current "
                       "settings."};
    QByteArray all_ints = "[rq7_vars]\n";
    for (int n = 0; n < i_last; ++n)
        if (n != i_boost_step && n != i_variant)
            all_ints += "ints\\" + QByteArray::number(n + 1) + "\\" +
                        QUrl::toPercentEncoding(int_names[n]) + "=1\n";
    all_ints += "ints\\size=41\ntrims\\2\\MAP%20trim\\value=5\ntrims\\size=2\n";
    QTest::newRow("missing Variant warns, missing boost step does not, value without pol")
        << all_ints
        << QStringList{"Table AUX duty table does not exist in settings file, keeping the current "
                       "settings.",
                       "Table MAIN duty table does not exist in settings file, keeping the current "
                       "settings.",
                       "Table GPO1 duty table does not exist in settings file, keeping the current "
                       "settings.",
                       "Table GPO2 duty table does not exist in settings file, keeping the current "
                       "settings.",
                       "Parameter Variant does not exist in settings file, keeping the current "
                       "setting.",
                       "ADC trim battery trim does not exist in settings file, keeping the current "
                       "setting.",
                       "ADC trim MAP trim does not exist in settings file, keeping the current "
                       "setting."};
    Q_UNUSED(tables);
}

void test_rq7_vars_file::missing_items_warn()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, warnings);
    write_text(path("missing.vkini"), text);
    rq7_vars vars(nullptr);
    QList<QString> found;
    log_capture log;
    QVERIFY(vars.file_to_vars(path("missing.vkini"), found));
    QCOMPARE(QStringList(found), warnings);
    QVERIFY(vars.initialized);
    QVERIFY(log.contains("Warnings detected while parsing settings file:", QtWarningMsg));
    QCOMPARE(log.count("  * ", QtWarningMsg), warnings.size());
}

void test_rq7_vars_file::damaged_entries_keep_the_current_value()
{
    rq7_vars written(nullptr);
    fill_everything(written);
    QVERIFY(written.vars_to_file(path("damaged.vkini")));
    QByteArray short_record = valid_record('m').left(639);
    QByteArray bad_check = valid_record('g');
    bad_check[639] = static_cast<char>(bad_check.at(639) ^ 0x01);
    {
        QSettings file(path("damaged.vkini"), QSettings::IniFormat);
        file.beginGroup("rq7_vars");
        file.setValue("tables/2/MAIN duty table", short_record);
        file.setValue("tables/3/GPO1 duty table", bad_check);
        file.setValue("ints/2/pump prime delay", "twelve");
        file.setValue("trims/2/MAP trim/value", "lots");
    }
    rq7_vars vars(nullptr);
    const QByteArray current_main = valid_record('z');
    vars.tables[t_main] = current_main;
    vars.ints[i_pump_prime_delay] = 77;
    vars.trims[a_map] = adc_trim{false, 5};
    QList<QString> warnings;
    QVERIFY(vars.file_to_vars(path("damaged.vkini"), warnings));
    QCOMPARE(vars.tables[t_main], current_main);
    QVERIFY(vars.tables[t_gpo1].isEmpty());
    QCOMPARE(vars.tables[t_aux], written.tables[t_aux]);
    QCOMPARE(vars.ints[i_pump_prime_delay], 77u);
    QCOMPARE(vars.ints[i_rpm_scaler], written.ints[i_rpm_scaler]);
    QCOMPARE(vars.trims[a_map], (adc_trim{false, 5}));
    QCOMPARE(QStringList(warnings),
             (QStringList{"Table MAIN duty table in settings file is not a valid table record, "
                          "keeping the current settings.",
                          "Table GPO1 duty table in settings file is not a valid table record, "
                          "keeping the current settings.",
                          "Parameter pump prime delay in settings file is not a number, keeping "
                          "the current setting.",
                          "ADC trim MAP trim in settings file is not a number, keeping the "
                          "current setting."}));
}

void test_rq7_vars_file::unusable_files_change_nothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << QByteArray() << "Settings file not found";
    QTest::newRow("empty") << QByteArray("") << "Could not sync settings file";
    QTest::newRow("binary") << QByteArray("\x7f\x45LF\x02\x01\x01\0\0\0[\xff\xfe", 14)
                            << "Could not sync settings file";
    QTest::newRow("other section")
        << QByteArray("[General]\nkey=1\n") << "Could not sync settings file";
}

void test_rq7_vars_file::unusable_files_change_nothing()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    const QString name = path(QString("unusable_%1.vkini").arg(QTest::currentDataTag()));
    if (!content.isNull())
        write_text(name, content);
    rq7_vars vars(nullptr);
    vars.ints[i_rpm_scaler] = 3;
    QList<QString> warnings;
    log_capture log;
    QVERIFY(!vars.file_to_vars(name, warnings));
    QVERIFY(log.contains(message, QtCriticalMsg));
    QVERIFY(!vars.initialized);
    QCOMPARE(vars.ints[i_rpm_scaler], 3u);
    QVERIFY(warnings.isEmpty());
}

void test_rq7_vars_file::files_over_1_mb_are_not_read()
{
    // A real settings file, made exactly 1 MB long by a section that is not read.
    rq7_vars written(nullptr);
    fill_everything(written);
    const QString name = path("big.vkini");
    QVERIFY(written.vars_to_file(name));
    QByteArray text = file_text(name) + "[padding]\nx=";
    text += QByteArray(1000 * 1000 - text.size() - 1, 'a') + "\n";
    write_text(name, text);
    QCOMPARE(QFileInfo(name).size(), 1000 * 1000);

    rq7_vars read(nullptr);
    QList<QString> warnings;
    QVERIFY(read.file_to_vars(name, warnings));
    QCOMPARE(read.tables, written.tables);
    QCOMPARE(read.ints, written.ints);

    write_text(name, text + "a");
    rq7_vars refused(nullptr);
    log_capture log;
    QVERIFY(!refused.file_to_vars(name, warnings));
    QCOMPARE(log.entries().size(), 1);
    QCOMPARE(log.entries().first().text,
             name + " is larger than 1 MB (1000001 bytes), the limit for a settings file; it "
                    "was not read");
    QVERIFY(!refused.initialized);
}

void test_rq7_vars_file::comparison_names_each_cell_and_field()
{
    QList<quint32> ints_a, ints_b;
    for (int n = 0; n < i_last; ++n)
        ints_a.append(0);
    ints_a[i_active_slope] = 4500;
    ints_a[i_main_mode] = 0xA1;
    ints_b = ints_a;
    ints_b[i_main_mode] = 0xA0;
    QList<QByteArray> tables_a, tables_b;
    for (int n = 0; n < 4; ++n) {
        tables_a.append(table_with({}));
        tables_b.append(table_with({}));
    }
    tables_a[t_main] = table_with({{0, 0, 1023}, {5, 7, 512}, {15, 15, 10}}, 100);
    // A count that shows as the same percent is no difference: the window shows percent.
    tables_b[t_main] = table_with({{5, 7, 1000}, {15, 15, 0}, {3, 3, 1}}, 120);
    tables_a[t_gpo2] = QByteArray("damaged");

    const settings_report a(tables_a, ints_a, 0);
    const settings_report b(tables_b, ints_b, 0);
    const QList<settings_report::cell_difference> cells = a.cell_differences(b);
    QCOMPARE(cells.size(), 3);
    QCOMPARE(cells[0].table, int(t_main));
    QCOMPARE((QVector<int>{cells[0].row, cells[0].column, cells[0].a, cells[0].b}),
             (QVector<int>{0, 0, 1023, 0}));
    QCOMPARE((QVector<int>{cells[1].row, cells[1].column, cells[1].a, cells[1].b}),
             (QVector<int>{5, 7, 512, 1000}));
    QCOMPARE((QVector<int>{cells[2].row, cells[2].column, cells[2].a, cells[2].b}),
             (QVector<int>{15, 15, 10, 0}));
    QCOMPARE(settings_report::line(cells[1]), QString("MAIN table, 0 RPM, 0.00 PSI: 50 % | 98 %"));

    QStringList lines;
    QList<settings_report::origin> origins;
    for (const settings_report::difference& d : a.parameter_differences(b)) {
        lines.append(settings_report::line(d));
        origins.append(d.from);
    }
    QCOMPARE(lines, (QStringList{"MAIN mode: Duty table | Output OFF",
                                 "MAIN vertical threshold: 22.22 PSI | 26.67 PSI",
                                 "GPO2 table: no valid table record | missing"}));
    QCOMPARE(origins[0].part, settings_report::origin::parameter);
    QCOMPARE(origins[0].index, int(i_main_mode));
    QCOMPARE(origins[1].part, settings_report::origin::vertical_threshold);
    QCOMPARE(origins[1].index, int(t_main));
    QCOMPARE(origins[2].part, settings_report::origin::record);

    // The summary quorvane-cli prints is built from the same cells.
    const QList<settings_report::table_difference> tables = a.table_differences(b);
    QCOMPARE(tables.size(), 2);
    QCOMPARE(settings_report::line(tables[0]),
             QString("MAIN table: 3 cells differ, largest by 100 % at 0 RPM, 0.00 PSI"));
    QCOMPARE(settings_report::line(tables[1]),
             QString("GPO2 table: not comparable (one side holds no valid table)"));
}

QTEST_GUILESS_MAIN(test_rq7_vars_file)
#include "test_rq7_vars_file.moc"
