// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's composite operations on the unit's settings: read all, write the changes,
// record single changes, save and load settings files.
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "settings_backup.h"

#include <QDebug>
#include <QTimer>

bool rq7_worker::pause_live_logging()
{
    const bool was_logging = live_poll_timer->isActive();
    if (was_logging) {
        emit log_paused();
        stop_live_logging(false);
    }
    return was_logging;
}

void rq7_worker::resume_live_logging(bool was_logging)
{
    if (was_logging)
        start_live_logging();
}

void rq7_worker::store_variant()
{
    vars->add_field_to_var(static_cast<uint>(variant), i_variant);
}

void rq7_worker::start_read()
{
    if (posted_to_worker("start_read"))
        return;
    read_all(true);
}

void rq7_worker::start_read_back()
{
    if (posted_to_worker("start_read_back"))
        return;
    read_all(false);
}

void rq7_worker::start_compare_read()
{
    if (posted_to_worker("start_compare_read"))
        return;
    qDebug("Start reading the unit for a comparison");
    const bool was_logging = pause_live_logging();
    rq7_vars scratch(this);
    const FT_STATUS status = scratch.rq7_to_vars();
    QList<QByteArray> tables;
    QList<quint32> ints;
    QList<adc_trim> trims;
    if (status == FT_OK)
        scratch.get_all_vars(tables, ints, trims);
    emit read_compare_data(status, tables, ints);
    resume_live_logging(was_logging);
}

void rq7_worker::read_all(bool keep_backup)
{
    qDebug("Start read");
    const bool was_logging = pause_live_logging();
    const FT_STATUS status = vars->rq7_to_vars();
    if (keep_backup)
        save_backup(status, *vars);
    QList<QByteArray> tables;
    QList<quint32> ints;
    QList<adc_trim> trims;
    if (status == FT_OK)
        vars->get_all_vars(tables, ints, trims);
    emit read_data(status, tables, ints, trims);
    resume_live_logging(was_logging);
}

void rq7_worker::start_write()
{
    if (posted_to_worker("start_write"))
        return;
    qDebug("Start write");
    const bool was_logging = pause_live_logging();
    emit wrote_data(vars->vars_to_rq7());
    resume_live_logging(was_logging);
}

void rq7_worker::vars_to_file(QString filename)
{
    if (posted_to_worker("vars_to_file", Q_ARG(QString, filename)))
        return;
    qDebug().noquote() << "Start save to" << filename;
    const bool was_logging = pause_live_logging();
    vars->vars_to_file(filename);
    resume_live_logging(was_logging);
}

void rq7_worker::settings_to_file(QString filename, QList<QByteArray> tables, QList<quint32> ints)
{
    if (posted_to_worker("settings_to_file", Q_ARG(QString, filename),
                         Q_ARG(QList<QByteArray>, tables), Q_ARG(QList<quint32>, ints)))
        return;
    qDebug().noquote() << "Start save to" << filename;
    // What the window does not show (the wide-band tables, trims) comes from the variables.
    for (int t = 0; t < vars->tables.size(); ++t) {
        if (t >= tables.size())
            tables << vars->tables.at(t);
        else if (tables.at(t).isEmpty())
            tables[t] = vars->tables.at(t);
    }
    for (int i = ints.size(); i < vars->ints.size(); ++i)
        ints << vars->ints.at(i);
    QString error;
    if (!settings_files::write_complete(filename, tables, ints, vars->trims, &error))
        qCritical().noquote() << "Could not save" << filename << ":" << error;
    emit settings_saved(filename, error);
}

void rq7_worker::file_to_vars_to_field(QString filename)
{
    if (posted_to_worker("file_to_vars_to_field", Q_ARG(QString, filename)))
        return;
    qDebug().noquote() << "Start open from" << filename;
    const bool was_logging = pause_live_logging();
    QList<QString> warnings;
    if (vars->file_to_vars(filename, warnings)) {
        // The attached unit's variant overrides the file's.
        if (link_open()) {
            // A unit that does not answer now is still the one identified when the link
            // opened: a lost reply must not turn it into another model in the settings.
            const quint16 known_version = fw_version;
            const rq7_variant known_variant = variant;
            if (identify_unit() != FT_OK) {
                fw_version = known_version;
                variant = known_variant;
            }
            store_variant();
        }
        QList<QByteArray> tables;
        QList<quint32> ints;
        QList<adc_trim> trims;
        vars->get_all_vars(tables, ints, trims);
        emit read_file(FT_OK, tables, ints, trims, warnings);
    }
    resume_live_logging(was_logging);
}

void rq7_worker::add_field_to_var(QByteArray f_table, table_index i)
{
    if (posted_to_worker("add_field_to_var", Q_ARG(QByteArray, f_table), Q_ARG(table_index, i)))
        return;
    vars->add_field_to_var(f_table, i);
}

void rq7_worker::add_field_to_var(uint f_int, int_index i)
{
    if (posted_to_worker("add_field_to_var", Q_ARG(quint32, f_int), Q_ARG(int_index, i)))
        return;
    vars->add_field_to_var(f_int, i);
}

void rq7_worker::add_field_to_var(adc_trim f_trim, adc_trim_index i)
{
    if (posted_to_worker("add_field_to_var", Q_ARG(struct adc_trim, f_trim),
                         Q_ARG(adc_trim_index, i)))
        return;
    vars->add_field_to_var(f_trim, i);
}

void rq7_worker::remove_all_sets()
{
    if (posted_to_worker("remove_all_sets"))
        return;
    vars->remove_all_sets();
}

void rq7_worker::set_rw_debug(bool enable)
{
    if (posted_to_worker("set_rw_debug", Q_ARG(bool, enable)))
        return;
    rw_debug = enable;
}
