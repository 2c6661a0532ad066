// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_protocol.h"

namespace rq7_protocol {

quint8 xor_of(const QByteArray& bytes, int from, int to)
{
    quint8 check = 0;
    for (int i = from; i < to; ++i)
        check ^= static_cast<quint8>(bytes.at(i));
    return check;
}

QByteArray build_frame(quint8 type, const QByteArray& payload)
{
    const int length = payload.size();
    QByteArray frame;
    frame.reserve(header_size + length + 1);
    frame.append(static_cast<char>(sync_byte));
    frame.append(static_cast<char>(type));
    frame.append(static_cast<char>((length >> 8) & 0xFF));
    frame.append(static_cast<char>(length & 0xFF));
    frame.append(payload);
    frame.append(static_cast<char>(xor_of(frame, 0, frame.size())));
    return frame;
}

QByteArray fixed_frame(const char* hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray read_request(quint8 id)
{
    return build_frame(msg_read_param, QByteArray(1, static_cast<char>(id)));
}

QByteArray ack_for(quint8 type)
{
    QByteArray ack(3, 0);
    ack[0] = static_cast<char>(reply_byte);
    ack[1] = static_cast<char>(type);
    ack[2] = static_cast<char>(type ^ 0xFF);
    return ack;
}

bool is_ack(const QByteArray& reply, quint8 type)
{
    return reply.size() >= 3 && reply.left(3) == ack_for(type);
}

bool is_read_reply(const QByteArray& reply)
{
    return is_ack(reply, msg_read_param);
}

int reply_data_size(quint8 id)
{
    switch (id) {
    case param_map_sensor:
        return 2;
    case param_aux_table:
    case param_main_table:
    case param_gpo1_table:
    case param_gpo2_table:
        return 640;
    case param_gpi1_state:
    case param_gpi2_state:
    case param_variant:
        return 1;
    case param_fw_version:
    case param_pump_prime_delay:
        return 2;
    case param_reset:
    case param_reset_to_bootloader:
        return 0;
    case param_rpm_scaler:
        return 3;
    case param_mode_block:
        return 38;
    case param_map_cal_block:
        return 28;
    default:
        return -1;
    }
}

QByteArray hex_prefix(const QByteArray& bytes, int max_bytes)
{
    return (max_bytes < 0 ? bytes : bytes.left(max_bytes)).toHex();
}

} // namespace rq7_protocol
