// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_sim_unit.h"

#include "rq7_engine_model.h"
#include "rq7_protocol.h"

#include <algorithm>
#include <cmath>

using namespace rq7_protocol;

namespace {

constexpr int table_size = 640;
constexpr int max_payload = 1024; // longer claimed lengths are line noise, not a frame

void put16(QByteArray& out, int value)
{
    out.append(static_cast<char>((value >> 8) & 0xFF));
    out.append(static_cast<char>(value & 0xFF));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, static_cast<int>(value >> 16));
    put16(out, static_cast<int>(value & 0xFFFF));
}

int duty_counts(int percent)
{
    return static_cast<int>(std::lround(std::min(percent, 100) * 1023.0 / 100.0));
}

int boost_counts(double psi)
{
    // The factory MAP calibration: 16.122 counts per PSI, 222.312 counts at 0 PSI.
    return std::clamp(static_cast<int>(std::lround(psi * 16.122 + 222.312)), 0, 1023);
}

int factory_duty(int output, int row_from_bottom, int column)
{
    switch (output) {
    case 1: // MAIN: more duty with speed and boost
        return std::min(100, column * 4 + row_from_bottom * 3);
    case 0: // AUX: comes in above mid boost
        return row_from_bottom < 6 ? 0 : std::min(100, (row_from_bottom - 5) * 8 + column * 2);
    default:
        return 0;
    }
}

} // namespace

rq7_sim_unit::rq7_sim_unit()
{
    for (int n = 0; n < 4; ++n)
        tables[n] = factory_table(n);
    modes = factory_mode_block();
    map_cal = factory_map_cal_block();
}

QByteArray rq7_sim_unit::factory_table(int n)
{
    QByteArray record;
    record.reserve(table_size);
    for (int row = 0; row < 16; ++row) // bottom row first
        for (int column = 0; column < 16; ++column)
            put16(record, duty_counts(factory_duty(n, row, column)));
    // Boost axis 0..36 PSI: 0, 1, then steps of 2.5 up to 36.
    for (int row = 0; row < 16; ++row) {
        const double psi = row == 0 ? 0.0 : 1.0 + (row - 1) * 2.5;
        put16(record, boost_counts(psi));
    }
    // Engine speed axis for 8000 RPM: 0, 1000, then steps of 500.
    for (int column = 0; column < 16; ++column)
        put16(record, column == 0 ? 0 : 1000 + (column - 1) * 500);
    record.append(32, '\0');
    record.append(static_cast<char>(0xCC));
    if (n < 2) {
        put16(record, duty_counts(15)); // minimum duty before activation
        put16(record, 0);
        put16(record, 41);  // undercurrent 2.0 A
        put16(record, 410); // overcurrent 20.0 A
        put32(record, 500); // time delay, loops
    } else {
        put16(record, 0); // activation delay
        put16(record, 0); // deactivation delay
        record.append(8, '\0');
    }
    record.append(9, '\0');
    put16(record, boost_counts(4.0)); // vertical threshold
    put16(record, 1500);              // horizontal threshold
    record.append(4, '\0');
    record.append(static_cast<char>(0xA1)); // vertical source: MAP sensor
    record.append(static_cast<char>(xor_of(record, 0, record.size())));
    return record;
}

QByteArray rq7_sim_unit::factory_mode_block()
{
    QByteArray block(18, '\0');
    block.append("\xAB\xBA", 2);
    block.append("\xA1\xB1\xD0\xE0\x50", 5); // MAIN and AUX on their tables, GPOs off
    put16(block, 0);                         // GPI1 request
    block.append('\x50');
    put16(block, 0);         // GPI2 request
    block.append(8, '\xFF'); // four delays never set: read as 0
    return block;
}

QByteArray rq7_sim_unit::factory_map_cal_block()
{
    QByteArray block;
    put32(block, 16122);  // base slope x 1000
    put32(block, 222312); // base intercept x 1000
    put16(block, 223);    // base atmospheric
    put32(block, 16122);  // active slope
    put32(block, 222312); // active intercept
    put16(block, 223);    // active atmospheric
    put16(block, 48);     // active deadband, counts
    block.append("\xAB\xBA", 2);
    block.append(4, '\0');
    return block;
}

// ---- the link ----

void rq7_sim_unit::host_to_unit(const QByteArray& bytes, sim_clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex);
    produce_locked(now);
    if (bootloader)
        bootloader_input_locked(bytes, now);
    input.append(bytes); // frames are still recorded, though the bootloader ignores them
    parse_input_locked(now);
}

QByteArray rq7_sim_unit::unit_to_host(sim_clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex);
    produce_locked(now);
    QByteArray arrived;
    auto first_pending = output.begin();
    while (first_pending != output.end() && first_pending->due <= now) {
        arrived.append(first_pending->bytes);
        ++first_pending;
    }
    output.erase(output.begin(), first_pending);
    return arrived;
}

std::optional<sim_clock::time_point> rq7_sim_unit::next_output_due() const
{
    std::lock_guard<std::mutex> lock(mutex);
    if (output.empty())
        return std::nullopt;
    return output.front().due;
}

void rq7_sim_unit::send_locked(const QByteArray& bytes, sim_clock::time_point now)
{
    send_at_locked(bytes, now + link_delay);
}

void rq7_sim_unit::send_at_locked(const QByteArray& bytes, sim_clock::time_point due)
{
    // Bytes leave in order: nothing overtakes what is already on its way.
    if (!output.empty())
        due = std::max(due, output.back().due);
    output.push_back({due, bytes});
}

void rq7_sim_unit::start_stream_locked(sim_clock::time_point now)
{
    stream_on = true;
    next_frame = now + link_delay + frame_period;
}

void rq7_sim_unit::produce_locked(sim_clock::time_point now)
{
    while (stream_on && next_frame <= now) {
        const double seconds = std::chrono::duration<double>(next_frame - power_up).count();
        QByteArray frame = rq7_engine_model::frame(
            rq7_engine_model::state_at(seconds, tables, overrides, map_counts), frame_count++);
        if (consume(bad_stream_marker))
            frame[69] = static_cast<char>(0xBA);
        if (stream_burst > 0) {
            held_frames.append(frame);
            if (--stream_burst == 0) {
                send_at_locked(held_frames.join(), next_frame);
                held_frames.clear();
            }
        } else {
            send_at_locked(frame, next_frame);
        }
        next_frame += frame_period;
    }
}

void rq7_sim_unit::parse_input_locked(sim_clock::time_point now)
{
    for (;;) {
        // Resynchronise on the sync byte: anything before it is line noise to the unit.
        const int sync = input.indexOf(static_cast<char>(sync_byte));
        if (sync < 0) {
            input.clear();
            return;
        }
        input.remove(0, sync);
        if (input.size() < header_size)
            return;
        const int length =
            (static_cast<quint8>(input.at(2)) << 8) | static_cast<quint8>(input.at(3));
        if (length > max_payload) {
            input.remove(0, 1);
            continue;
        }
        const int frame_size = header_size + length + 1;
        if (input.size() < frame_size)
            return;
        const QByteArray frame = input.left(frame_size);
        if (xor_of(frame, 0, frame_size - 1) != static_cast<quint8>(frame.at(frame_size - 1))) {
            input.remove(0, 1); // a corrupted frame is ignored; look for the next sync byte
            continue;
        }
        input.remove(0, frame_size);
        received.append(frame);
        handle_frame_locked(frame, now);
    }
}

bool rq7_sim_unit::consume(int& counter)
{
    if (counter == 0)
        return false;
    if (counter > 0)
        --counter;
    return true;
}

void rq7_sim_unit::handle_frame_locked(const QByteArray& frame, sim_clock::time_point now)
{
    if (bootloader)
        return;
    const quint8 type = static_cast<quint8>(frame.at(1));
    const QByteArray payload = frame.mid(header_size, frame.size() - header_size - 1);

    if (type == msg_read_param) {
        if (payload.size() == 1)
            answer_read_locked(static_cast<quint8>(payload.at(0)), now);
        return;
    }

    switch (type) {
    case msg_set_override_aux:
    case msg_set_override_main:
    case msg_set_override_gpo1:
    case msg_set_override_gpo2:
    case msg_write_int1:
    case msg_reset_override:
    case msg_write_aux_table:
    case msg_write_main_table:
    case msg_write_gpo1_table:
    case msg_write_gpo2_table:
    case msg_write_int0:
    case msg_write_io_modes:
    case msg_write_base_map_cal:
    case msg_write_active_map_cal:
        break;
    case msg_live_data:
        if (payload != QByteArray(1, '\x55')) {
            stream_on = false; // the stop request is not acknowledged
            return;
        }
        break;
    default:
        return; // unknown requests are ignored
    }
    if (ignored_types.contains(static_cast<char>(type)) || consume(no_reply))
        return;
    if (!forgotten_types.contains(static_cast<char>(type)))
        store_write_locked(type, payload);
    QByteArray ack = ack_for(type);
    if (consume(wrong_ack))
        ack[2] = static_cast<char>(type);
    send_locked(ack, now);
    if (type == msg_live_data)
        start_stream_locked(now);
}

void rq7_sim_unit::store_write_locked(quint8 type, const QByteArray& payload)
{
    auto u8 = [&payload](int i) { return static_cast<quint8>(payload.at(i)); };
    switch (type) {
    case msg_write_aux_table:
    case msg_write_main_table:
    case msg_write_gpo1_table:
    case msg_write_gpo2_table:
        if (payload.size() == table_size)
            tables[type - msg_write_aux_table] = payload;
        break;
    case msg_write_int0: // AA, value, value XOR AA, 00, 00
        if (payload.size() == 5 && u8(0) == 0xAA && (u8(1) ^ 0xAA) == u8(2))
            rpm_scaler_value = u8(1);
        break;
    case msg_write_int1: // hi, lo, hi XOR lo
        if (payload.size() == 3 && (u8(0) ^ u8(1)) == u8(2))
            pump_prime = static_cast<quint16>((u8(0) << 8) | u8(1));
        break;
    case msg_write_io_modes: // mode-block bytes 20..37
        if (payload.size() == 18)
            modes.replace(20, 18, payload);
        break;
    case msg_write_base_map_cal:
        if (payload.size() == 10)
            map_cal.replace(0, 10, payload);
        break;
    case msg_write_active_map_cal:
        if (payload.size() == 12)
            map_cal.replace(10, 12, payload);
        break;
    case msg_set_override_aux:
    case msg_set_override_main:
    case msg_set_override_gpo1:
    case msg_set_override_gpo2:
        if (payload.size() == 2) {
            const int which = type == msg_set_override_aux    ? 0
                              : type == msg_set_override_main ? 1
                              : type == msg_set_override_gpo1 ? 2
                                                              : 3;
            overrides[which] = std::min((u8(0) << 8) | u8(1), 1023);
        }
        break;
    case msg_reset_override: { // MAIN 1, AUX 2, GPO1 3, GPO2 4
        static const int output_of[] = {-1, 1, 0, 2, 3};
        if (payload.size() == 1 && u8(0) >= 1 && u8(0) <= 4)
            overrides[output_of[u8(0)]] = -1;
        break;
    }
    default:
        break;
    }
}

void rq7_sim_unit::answer_read_locked(quint8 id, sim_clock::time_point now)
{
    if (ignored_params.contains(static_cast<char>(id)))
        return;
    QByteArray data;
    switch (id) {
    case param_map_sensor: {
        static const int wander[] = {0, 1, -1, 2, 0, -2, 1, -1};
        const int step = wander[map_reads++ % (sizeof wander / sizeof wander[0])];
        put16(data, std::clamp(map_counts + step, 0, 1023));
        break;
    }
    case param_aux_table:
    case param_main_table:
    case param_gpo1_table:
    case param_gpo2_table:
        data = tables[id - param_aux_table];
        if (consume(bad_table_check))
            data[table_size - 1] = static_cast<char>(data.at(table_size - 1) ^ 0x01);
        break;
    case param_gpi1_state:
    case param_gpi2_state:
        data.append(static_cast<char>(gpi_state[id - param_gpi1_state]));
        break;
    case param_fw_version:
        put16(data, fw_version);
        break;
    case param_reset:
        ++resets;
        stream_on = false;
        break;
    case param_rpm_scaler:
        data.append(static_cast<char>(rpm_scaler_value));
        data.append(2, '\0');
        break;
    case param_pump_prime_delay:
        put16(data, pump_prime);
        break;
    case param_mode_block:
        data = modes;
        if (consume(bad_mode_marker))
            data[19] = '\0';
        break;
    case param_map_cal_block:
        data = map_cal;
        if (consume(bad_map_cal_marker))
            data[22] = '\0';
        break;
    case param_reset_to_bootloader:
        break;
    case param_variant:
        data.append(static_cast<char>(variant_answer));
        break;
    default:
        return; // the unit does not answer an unknown parameter
    }
    if (consume(no_reply))
        return;
    QByteArray reply = ack_for(msg_read_param);
    if (consume(wrong_read_header))
        reply[2] = static_cast<char>(0xFB);
    send_locked(reply + data, now);
    if (id == param_reset_to_bootloader)
        enter_bootloader_locked(now);
}

// ---- configuration and state ----

QByteArray rq7_sim_unit::table(int n) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return n >= 0 && n < 4 ? tables[n] : QByteArray();
}

void rq7_sim_unit::set_table(int n, const QByteArray& record)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (n >= 0 && n < 4)
        tables[n] = record;
}

void rq7_sim_unit::set_gpi_states(quint8 gpi1, quint8 gpi2)
{
    std::lock_guard<std::mutex> lock(mutex);
    gpi_state[0] = gpi1;
    gpi_state[1] = gpi2;
}

void rq7_sim_unit::clear_received_frames()
{
    std::lock_guard<std::mutex> lock(mutex);
    received.clear();
}

// ---- faults ----

void rq7_sim_unit::fault_ignore_param(quint8 id)
{
    std::lock_guard<std::mutex> lock(mutex);
    ignored_params.append(static_cast<char>(id));
}

void rq7_sim_unit::fault_ignore_type(quint8 type)
{
    std::lock_guard<std::mutex> lock(mutex);
    ignored_types.append(static_cast<char>(type));
}

void rq7_sim_unit::send_raw(const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    send_locked(bytes, sim_clock::now());
}

void rq7_sim_unit::fault_forget_writes(quint8 type)
{
    std::lock_guard<std::mutex> lock(mutex);
    forgotten_types.append(static_cast<char>(type));
}

void rq7_sim_unit::clear_faults()
{
    std::lock_guard<std::mutex> lock(mutex);
    refused_line = 0;
    bad_stream_marker = stream_burst = 0;
    ignored_params.clear();
    ignored_types.clear();
    forgotten_types.clear();
    no_reply = wrong_ack = wrong_read_header = bad_table_check = 0;
    bad_mode_marker = bad_map_cal_marker = 0;
}
