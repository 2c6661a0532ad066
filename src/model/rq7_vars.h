// SPDX-License-Identifier: GPL-3.0-or-later
// The worker-side store of the unit's settings: tables, integer parameters and ADC trims,
// with the change sets that name what the next write (to the unit or to a file) transfers.
// Used on the worker thread only.
#pragma once

#include "d2xx.h"
#include "rq7_catalogue.h"
#include "rq7_protocol.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <initializer_list>

class QSettings;
class rq7_link;

class rq7_vars
{
public:
    explicit rq7_vars(rq7_link* worker);

    /// Store a value and mark it changed.
    void add_field_to_var(QByteArray f_table, table_index i);
    void add_field_to_var(uint f_int, int_index i);
    void add_field_to_var(adc_trim f_trim, adc_trim_index i);
    void remove_all_sets();
    void get_all_vars(QList<QByteArray>& all_tables, QList<quint32>& all_ints,
                      QList<adc_trim>& all_trims) const;

    /// Reads everything the unit reports, validating each block and table.
    FT_STATUS rq7_to_vars();
    /// Sends what the change sets name and empties them.
    FT_STATUS vars_to_rq7();

    /// Writes the items of the change sets into a settings file.
    bool vars_to_file(QString path);
    /// Reads every item found in a settings file; `warnings` names what was missing or bad.
    bool file_to_vars(QString path, QList<QString>& warnings);

    QList<QByteArray> tables;
    QList<quint32> ints;
    QList<adc_trim> trims;
    bool initialized = false;
    QSet<table_index> changed_tables;
    QSet<int_index> changed_ints;
    QSet<adc_trim_index> changed_trims;

    /// True when `record` is a 640-byte table record whose last byte is the XOR of the others.
    static bool is_table_record(const QByteArray& record);

private:
    /// Reads a block whose bytes at `marker_at` must be AB BA.
    FT_STATUS read_marked_block(const char* frame, int length, int marker_at, const char* complaint,
                                QByteArray& block);
    FT_STATUS read_mode_block();
    FT_STATUS read_map_cal_block();
    FT_STATUS read_tables();
    FT_STATUS write_tables();
    FT_STATUS write_ints();
    void write_trims();
    FT_STATUS send(rq7_msg_type type, QByteArray payload, const QString& name, int index);
    bool has_all_ints(std::initializer_list<int_index> needed) const;
    QByteArray io_mode_payload() const;
    QByteArray base_map_cal_payload() const;
    QByteArray active_map_cal_payload() const;

    void read_tables_from(QSettings& file, QList<QString>& warnings);
    void read_ints_from(QSettings& file, QList<QString>& warnings);
    void read_trims_from(QSettings& file, QList<QString>& warnings);

    rq7_link* worker;
};
