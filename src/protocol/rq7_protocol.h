// SPDX-License-Identifier: GPL-3.0-or-later
// Byte formats of the unit's application-mode protocol: request frames, read replies and
// acknowledgements. All multi-byte numbers on the link are big-endian.
#pragma once

#include <QByteArray>
#include <QMetaType>

/// Message types of a request frame; the values are the unit's.
enum rq7_msg_type : quint8 {
    msg_set_override_aux = 0x01,
    msg_set_override_main = 0x02,
    msg_set_override_gpo1 = 0x04,
    msg_read_param = 0x05,
    msg_set_override_gpo2 = 0x06,
    msg_write_int1 = 0x07,
    msg_reset_override = 0x08,
    msg_write_aux_table = 0x0A,
    msg_write_main_table = 0x0B,
    msg_write_gpo1_table = 0x0C,
    msg_write_gpo2_table = 0x0D,
    msg_write_int0 = 0x0E,
    msg_live_data = 0x13,
    msg_write_io_modes = 0x15,
    msg_write_base_map_cal = 0x16,
    msg_write_active_map_cal = 0x17,
};

/// Hardware model, from the unit's answer to parameter 0xC1 (0xAA: RQ7-NVS, else RQ7-NV).
enum rq7_variant { variant_nvs = 0, variant_nv = 1 };
Q_DECLARE_METATYPE(rq7_variant)

namespace rq7_protocol {

constexpr quint8 sync_byte = 0xC3;
constexpr quint8 reply_byte = 0x3C; // '<' opens every reply and acknowledgement
constexpr int header_size = 4;      // sync, type, two length bytes
constexpr int reply_header_size = 3;
constexpr quint8 variant_nvs_answer = 0xAA;

// Parameter identifiers of msg_read_param.
enum param_id : quint8 {
    param_map_sensor = 0xA2,
    param_aux_table = 0xA8,
    param_main_table = 0xA9,
    param_gpo1_table = 0xAA,
    param_gpo2_table = 0xAB,
    param_gpi1_state = 0xB3,
    param_gpi2_state = 0xB4,
    param_fw_version = 0xB6,
    param_reset = 0xB7,
    param_rpm_scaler = 0xB8,
    param_pump_prime_delay = 0xBB,
    param_mode_block = 0xBD,
    param_map_cal_block = 0xBF,
    param_reset_to_bootloader = 0xC0,
    param_variant = 0xC1,
};

// Fixed request frames, kept as the hex text that goes over the wire.
constexpr const char* frame_read_fw_version = "C3050001B671";
constexpr const char* frame_read_variant = "C3050001C106";
constexpr const char* frame_reset = "C3050001B770";
constexpr const char* frame_reset_to_bootloader = "C3050001C007";
constexpr const char* frame_read_map_sensor = "C3050001A265";
constexpr const char* frame_stop_live_data = "C313000100D1";
constexpr const char* frame_read_gpi1_state = "C3050001B374";
constexpr const char* frame_read_gpi2_state = "C3050001B473";
constexpr const char* frame_read_rpm_scaler = "C3050001B87F";
constexpr const char* frame_read_pump_prime_delay = "C3050001BB7C";
constexpr const char* frame_read_mode_block = "C3050001BD7A";
constexpr const char* frame_read_map_cal_block = "C3050001BF78";
constexpr const char* frame_read_aux_table = "C3050001A86F";

/// XOR of bytes [from, to) of `bytes`.
quint8 xor_of(const QByteArray& bytes, int from, int to);

/// A complete request frame: sync, type, big-endian payload length, payload, XOR check.
QByteArray build_frame(quint8 type, const QByteArray& payload);

/// The bytes of a fixed frame kept as hex text.
QByteArray fixed_frame(const char* hex);

/// The read request for parameter `id`.
QByteArray read_request(quint8 id);

/// The three bytes that acknowledge a request of `type`: 3C, type, type XOR FF.
QByteArray ack_for(quint8 type);

/// True when the first three bytes of `reply` acknowledge a request of `type`.
bool is_ack(const QByteArray& reply, quint8 type);

/// True when `reply` starts with the read-reply header 3C 05 FA.
bool is_read_reply(const QByteArray& reply);

/// Number of data bytes the unit returns for parameter `id`, or -1 for an unknown one.
int reply_data_size(quint8 id);

/// Lower-case hex of at most the first `max_bytes` bytes (all when negative).
QByteArray hex_prefix(const QByteArray& bytes, int max_bytes = -1);

} // namespace rq7_protocol
