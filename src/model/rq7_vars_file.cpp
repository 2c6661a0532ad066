// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files (.vkini): the [rq7_vars] section with the arrays "tables", "ints" and
// "trims", exactly as QSettings writes INI files. The same section opens every live log.
#include "rq7_vars.h"

#include "file_limits.h"
#include "settings_backup.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>

namespace {

const char* const group_name = "rq7_vars";

/// A stored number: the file holds it unsigned, older files may hold it signed.
bool to_quint32(const QVariant& value, quint32* out)
{
    bool ok = false;
    const uint as_unsigned = value.toUInt(&ok);
    if (ok) {
        *out = as_unsigned;
        return true;
    }
    const int as_signed = value.toInt(&ok);
    if (ok)
        *out = static_cast<quint32>(as_signed);
    return ok;
}

} // namespace

bool rq7_vars::vars_to_file(QString path)
{
    settings_files::clear_abandoned_lock(path);
    QSettings file(path, QSettings::IniFormat);
    if (!file.isWritable()) {
        qCritical().noquote() << "File" << path << "is not writable";
        return false;
    }
    file.beginGroup(group_name);

    file.beginWriteArray("tables");
    for (table_index n : changed_tables) {
        file.setArrayIndex(n);
        file.setValue(table_names[n], tables[n]);
    }
    file.endArray();

    file.beginWriteArray("ints");
    for (int_index n : changed_ints) {
        file.setArrayIndex(n);
        file.setValue(int_names[n], ints[n]);
    }
    file.endArray();

    file.beginWriteArray("trims");
    for (adc_trim_index n : changed_trims) {
        file.setArrayIndex(n);
        file.setValue(trim_names[n] + "/pol", trims[n].pol);
        file.setValue(trim_names[n] + "/value", int(trims[n].value));
    }
    file.endArray();

    file.endGroup();
    file.sync();
    if (file.status() != QSettings::NoError) {
        qCritical().noquote() << "Could not write to" << path;
        return false;
    }
    return true;
}

bool rq7_vars::file_to_vars(QString path, QList<QString>& warnings)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        qCritical().noquote() << "Settings file not found" << path;
        return false;
    }
    // QSettings would take the whole file into memory, however large.
    const QString too_large =
        file_limits::too_large(path, file_limits::settings_file_bytes, "a settings file");
    if (!too_large.isEmpty()) {
        qCritical().noquote() << too_large + "; it was not read";
        return false;
    }
    QSettings file(path, QSettings::IniFormat);
    file.sync();
    // A file that cannot be read, is not INI, or holds no settings section is refused as a
    // whole, so that nothing of the current settings changes.
    if (file.status() != QSettings::NoError || !info.isReadable() ||
        !file.childGroups().contains(group_name)) {
        qCritical().noquote() << "Could not sync settings file" << path;
        return false;
    }
    file.beginGroup(group_name);
    read_tables_from(file, warnings);
    read_ints_from(file, warnings);
    read_trims_from(file, warnings);
    file.endGroup();
    initialized = true;

    if (!warnings.isEmpty()) {
        qWarning("Warnings detected while parsing settings file:");
        for (const QString& warning : warnings)
            qWarning("  * %s", qPrintable(warning));
    }
    return true;
}

void rq7_vars::read_tables_from(QSettings& file, QList<QString>& warnings)
{
    file.beginReadArray("tables");
    for (int n = 0; n < t_last; ++n) {
        file.setArrayIndex(n);
        const QString& name = table_names[n];
        if (!file.contains(name)) {
            // The wide-band and air/fuel tables are not transferred; nobody misses them.
            if (n <= t_gpo2)
                warnings << QString("Table %1 does not exist in settings file, keeping the "
                                    "current settings.")
                                .arg(name);
            continue;
        }
        const QByteArray record = file.value(name).toByteArray();
        // A record that could later be sent to the unit must be a whole, intact one.
        if (!is_table_record(record)) {
            warnings << QString("Table %1 in settings file is not a valid table record, keeping "
                                "the current settings.")
                            .arg(name);
            continue;
        }
        tables[n] = record;
    }
    file.endArray();
}

void rq7_vars::read_ints_from(QSettings& file, QList<QString>& warnings)
{
    const int size = file.beginReadArray("ints");
    for (int n = 0; n < qMin(size, int(i_last)); ++n) {
        file.setArrayIndex(n);
        const QString& name = int_names[n];
        if (!file.contains(name)) {
            if (n < i_boost_step || n > i_gpi2_state)
                warnings << QString("Parameter %1 does not exist in settings file, keeping the "
                                    "current setting.")
                                .arg(name);
            continue;
        }
        quint32 value = 0;
        if (!to_quint32(file.value(name), &value)) {
            warnings << QString("Parameter %1 in settings file is not a number, keeping the "
                                "current setting.")
                            .arg(name);
            continue;
        }
        ints[n] = value;
    }
    file.endArray();
}

void rq7_vars::read_trims_from(QSettings& file, QList<QString>& warnings)
{
    const int size = file.beginReadArray("trims");
    for (int n = 0; n < qMin(size, int(a_last)); ++n) {
        file.setArrayIndex(n);
        const QString& name = trim_names[n];
        if (!file.contains(name + "/pol")) {
            warnings << QString("ADC trim %1 does not exist in settings file, keeping the current "
                                "setting.")
                            .arg(name);
            continue;
        }
        bool ok = true;
        const QVariant raw_value = file.value(name + "/value", 0);
        const uint value = raw_value.toUInt(&ok);
        if (!ok) {
            warnings << QString("ADC trim %1 in settings file is not a number, keeping the "
                                "current setting.")
                            .arg(name);
            continue;
        }
        trims[n].pol = file.value(name + "/pol", true).toBool();
        trims[n].value = static_cast<quint16>(value & 0xFFFF);
    }
    file.endArray();
}
