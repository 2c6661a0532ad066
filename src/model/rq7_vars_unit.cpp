// SPDX-License-Identifier: GPL-3.0-or-later
// Reading all settings from the unit and writing the changed ones back.
#include "rq7_link.h"
#include "rq7_vars.h"

#include <QDebug>

using namespace rq7_protocol;

namespace {

constexpr int table_size = 640;
constexpr quint16 delay_never_set = 0xFFFF;

quint32 be16(const QByteArray& b, int at)
{
    return (quint32(quint8(b.at(at))) << 8) | quint8(b.at(at + 1));
}

quint32 be32(const QByteArray& b, int at)
{
    return (be16(b, at) << 16) | be16(b, at + 2);
}

bool has_marker(const QByteArray& block, int at)
{
    return quint8(block.at(at)) == 0xAB && quint8(block.at(at + 1)) == 0xBA;
}

void put8(QByteArray& out, quint32 value)
{
    out.append(static_cast<char>(value & 0xFF));
}

void put16(QByteArray& out, quint32 value)
{
    put8(out, value >> 8);
    put8(out, value);
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, value >> 16);
    put16(out, value);
}

} // namespace

// ---- reading ----

FT_STATUS rq7_vars::rq7_to_vars()
{
    struct single_read
    {
        const char* frame;
        unsigned long length;
        int_index index;
    };
    const single_read singles[] = {
        {frame_read_gpi1_state, 1, i_gpi1_state},
        {frame_read_gpi2_state, 1, i_gpi2_state},
        {frame_read_rpm_scaler, 3, i_rpm_scaler},
        {frame_read_pump_prime_delay, 2, i_pump_prime_delay},
    };
    for (const single_read& item : singles) {
        QByteArray request = fixed_frame(item.frame);
        QByteArray reply;
        const FT_STATUS status = worker->get_param(request, reply, item.length);
        if (status != FT_OK)
            return status;
        switch (item.index) {
        case i_gpi1_state:
        case i_gpi2_state: // the unit reports a signed byte
            ints[item.index] =
                static_cast<quint32>(static_cast<qint32>(static_cast<qint8>(reply.at(0))));
            break;
        case i_rpm_scaler:
            ints[item.index] = quint8(reply.at(0));
            break;
        default:
            ints[item.index] = be16(reply, 0);
            break;
        }
    }
    for (FT_STATUS (rq7_vars::*step)() :
         {&rq7_vars::read_mode_block, &rq7_vars::read_map_cal_block, &rq7_vars::read_tables}) {
        const FT_STATUS status = (this->*step)();
        if (status != FT_OK)
            return status;
    }
    initialized = true;
    return FT_OK;
}

FT_STATUS rq7_vars::read_marked_block(const char* frame, int length, int marker_at,
                                      const char* complaint, QByteArray& block)
{
    QByteArray request = fixed_frame(frame);
    const FT_STATUS status = worker->get_param(request, block, static_cast<unsigned long>(length));
    if (status != FT_OK)
        return status;
    if (!has_marker(block, marker_at)) {
        qCritical("%s", complaint);
        qCritical("%s", block.toHex().constData());
        return FT_IO_ERROR;
    }
    return FT_OK;
}

FT_STATUS rq7_vars::read_mode_block()
{
    QByteArray block;
    const FT_STATUS status =
        read_marked_block(frame_read_mode_block, 38, 18,
                          "Mode data from RQ7-NVS incorrect, try reading again!", block);
    if (status != FT_OK)
        return status;
    ints[i_main_mode] = quint8(block.at(20));
    ints[i_aux_mode] = quint8(block.at(21));
    ints[i_gpo1_mode] = quint8(block.at(22));
    ints[i_gpo2_mode] = quint8(block.at(23));
    ints[i_gpi1_mode] = quint8(block.at(24));
    ints[i_gpi1_request] = be16(block, 25);
    ints[i_gpi2_mode] = quint8(block.at(27));
    ints[i_gpi2_request] = be16(block, 28);
    const int_index delays[] = {i_gpi1_act_delay, i_gpi1_deact_delay, i_gpi2_act_delay,
                                i_gpi2_deact_delay};
    for (int n = 0; n < 4; ++n) {
        const quint32 delay = be16(block, 30 + 2 * n);
        ints[delays[n]] = delay == delay_never_set ? 0 : delay;
    }
    return FT_OK;
}

FT_STATUS rq7_vars::read_map_cal_block()
{
    QByteArray block;
    const FT_STATUS status =
        read_marked_block(frame_read_map_cal_block, 28, 22,
                          "MAP cal data from RQ7-NVS incorrect, try reading again!", block);
    if (status != FT_OK)
        return status;
    ints[i_base_slope] = be32(block, 0);
    ints[i_base_intercept] = be32(block, 4);
    ints[i_base_atmospheric] = be16(block, 8);
    ints[i_active_slope] = be32(block, 10);
    ints[i_active_intercept] = be32(block, 14);
    ints[i_active_atmospheric] = be16(block, 18);
    ints[i_active_deadband] = be16(block, 20);
    return FT_OK;
}

FT_STATUS rq7_vars::read_tables()
{
    for (int n = t_aux; n <= t_gpo2; ++n) {
        QByteArray request = read_request(static_cast<quint8>(param_aux_table + n));
        QByteArray record;
        const FT_STATUS status = worker->get_param(request, record, table_size);
        if (status != FT_OK)
            return status;
        const quint8 calculated = xor_of(record, 0, table_size - 1);
        const quint8 received = quint8(record.at(table_size - 1));
        if (calculated != received) {
            qWarning("%s table read error from RQ7-NVS, try to read again! calc checksum=%x  "
                     "read checksum=%x",
                     qPrintable(table_names[n]), calculated, received);
            return FT_IO_ERROR;
        }
        tables[n] = record;
    }
    return FT_OK;
}

// ---- writing ----

FT_STATUS rq7_vars::vars_to_rq7()
{
    if (!initialized) {
        qCritical("Internal error: vars were not initialized prior to trying to write to the "
                  "device");
        return FT_OTHER_ERROR;
    }
    FT_STATUS status = write_tables();
    status |= write_ints();
    write_trims();
    return status;
}

FT_STATUS rq7_vars::send(rq7_msg_type type, QByteArray payload, const QString& name, int index)
{
    const FT_STATUS status = worker->set_param(type, payload);
    if (status != FT_OK)
        qWarning("Could not set %s %d", qPrintable(name), index);
    return status;
}

FT_STATUS rq7_vars::write_tables()
{
    FT_STATUS status = FT_OK;
    for (table_index n : changed_tables) {
        qDebug("Set %s", qPrintable(table_names[n]));
        if (n > t_gpo2) {
            qWarning("Tables set not implemented for %s %d", qPrintable(table_names[n]), int(n));
            continue;
        }
        const auto type = static_cast<rq7_msg_type>(msg_write_aux_table + n);
        status |= send(type, tables[n], table_names[n], n);
    }
    changed_tables.clear();
    return status;
}

bool rq7_vars::has_all_ints(std::initializer_list<int_index> needed) const
{
    for (int_index i : needed)
        if (!changed_ints.contains(i))
            return false;
    return true;
}

FT_STATUS rq7_vars::write_ints()
{
    FT_STATUS status = FT_OK;
    for (int_index n : changed_ints) {
        qDebug("Set %s", qPrintable(int_names[n]));
        const quint32 value = ints[n];
        switch (n) {
        case i_rpm_scaler: {
            const quint8 lo = value & 0xFF;
            QByteArray payload;
            put8(payload, 0xAA);
            put8(payload, lo);
            put8(payload, lo ^ 0xAA);
            put16(payload, 0);
            status |= send(msg_write_int0, payload, int_names[n], n);
            break;
        }
        case i_pump_prime_delay: {
            const quint8 hi = (value >> 8) & 0xFF, lo = value & 0xFF;
            QByteArray payload;
            put8(payload, hi);
            put8(payload, lo);
            put8(payload, hi ^ lo);
            status |= send(msg_write_int1, payload, int_names[n], n);
            break;
        }
        case i_main_mode:
            if (!has_all_ints({i_aux_mode, i_gpo1_mode, i_gpo2_mode, i_gpi1_mode, i_gpi1_request,
                               i_gpi1_act_delay, i_gpi1_deact_delay, i_gpi2_mode, i_gpi2_request,
                               i_gpi2_act_delay, i_gpi2_deact_delay}))
                qCritical("Do not have all the values needed when setting the IO modes");
            else
                status |= send(msg_write_io_modes, io_mode_payload(), int_names[n], n);
            break;
        case i_base_atmospheric:
            if (!has_all_ints({i_base_slope, i_base_intercept}))
                qCritical("Do not have all the values needed when setting the base MAP cal");
            else
                status |= send(msg_write_base_map_cal, base_map_cal_payload(), int_names[n], n);
            break;
        case i_active_deadband:
            if (!has_all_ints({i_active_slope, i_active_intercept, i_active_atmospheric}))
                qCritical("Do not have all the values needed when setting the active MAP cal");
            else
                status |= send(msg_write_active_map_cal, active_map_cal_payload(), int_names[n], n);
            break;
        default:
            if (n >= i_boost_step && n <= i_gpi2_state)
                qWarning("Ints set not implemented for %s %d", qPrintable(int_names[n]), int(n));
            // Everything else travels inside a group message or never goes to the unit.
            break;
        }
    }
    changed_ints.clear();
    return status;
}

void rq7_vars::write_trims()
{
    for (adc_trim_index n : changed_trims) {
        qDebug("Set %s", qPrintable(trim_names[n]));
        qWarning("ADC trims set not implemented for %s %d", qPrintable(trim_names[n]), int(n));
    }
    changed_trims.clear();
}

QByteArray rq7_vars::io_mode_payload() const
{
    // Byte for byte the layout of mode-block bytes 20..37.
    QByteArray payload;
    put8(payload, ints[i_main_mode]);
    put8(payload, ints[i_aux_mode]);
    put8(payload, ints[i_gpo1_mode]);
    put8(payload, ints[i_gpo2_mode]);
    put8(payload, ints[i_gpi1_mode]);
    put16(payload, ints[i_gpi1_request]);
    put8(payload, ints[i_gpi2_mode]);
    put16(payload, ints[i_gpi2_request]);
    put16(payload, ints[i_gpi1_act_delay]);
    put16(payload, ints[i_gpi1_deact_delay]);
    put16(payload, ints[i_gpi2_act_delay]);
    put16(payload, ints[i_gpi2_deact_delay]);
    return payload;
}

QByteArray rq7_vars::base_map_cal_payload() const
{
    QByteArray payload;
    put32(payload, ints[i_base_slope]);
    put32(payload, ints[i_base_intercept]);
    put16(payload, ints[i_base_atmospheric]);
    return payload;
}

QByteArray rq7_vars::active_map_cal_payload() const
{
    QByteArray payload;
    put32(payload, ints[i_active_slope]);
    put32(payload, ints[i_active_intercept]);
    put16(payload, ints[i_active_atmospheric]);
    put16(payload, ints[i_active_deadband]);
    return payload;
}
