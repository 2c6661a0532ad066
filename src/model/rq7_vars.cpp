// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_vars.h"

#include "rq7_protocol.h"

rq7_vars::rq7_vars(rq7_link* link)
    : worker(link)
{
    for (int i = 0; i < t_last; ++i)
        tables.append(QByteArray());
    for (int i = 0; i < i_last; ++i)
        ints.append(0);
    for (int i = 0; i < a_last; ++i)
        trims.append(adc_trim());
}

void rq7_vars::add_field_to_var(QByteArray f_table, table_index i)
{
    if (i < 0 || i >= t_last)
        return;
    tables[i] = f_table;
    changed_tables.insert(i);
    initialized = true;
}

void rq7_vars::add_field_to_var(uint f_int, int_index i)
{
    if (i < 0 || i >= i_last)
        return;
    ints[i] = f_int;
    changed_ints.insert(i);
    initialized = true;
}

void rq7_vars::add_field_to_var(adc_trim f_trim, adc_trim_index i)
{
    if (i < 0 || i >= a_last)
        return;
    trims[i] = f_trim;
    changed_trims.insert(i);
    initialized = true;
}

void rq7_vars::remove_all_sets()
{
    changed_tables.clear();
    changed_ints.clear();
    changed_trims.clear();
}

void rq7_vars::get_all_vars(QList<QByteArray>& all_tables, QList<quint32>& all_ints,
                            QList<adc_trim>& all_trims) const
{
    all_tables = tables;
    all_ints = ints;
    all_trims = trims;
}

bool rq7_vars::is_table_record(const QByteArray& record)
{
    return record.size() == 640 &&
           rq7_protocol::xor_of(record, 0, 639) == static_cast<quint8>(record.at(639));
}
