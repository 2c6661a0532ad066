// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated RQ7 unit: the protocol engine behind the bridge. Bytes from the host go in,
// the unit's answers come out after the link delay, as a real unit behind the bridge's
// latency timer would send them. The engine knows nothing of handles or D2XX calls, so it
// can sit behind the simulated bridge (sim_backend) or a pseudo-terminal alike.
//
// Thread-safe: the worker thread drives it through the bridge while a test flips its fault
// switches from another thread.
#pragma once

#include <QByteArray>
#include <QList>

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

using sim_clock = std::chrono::steady_clock;

class rq7_sim_unit
{
public:
    rq7_sim_unit();

    // ---- the link ----
    /// Bytes from the host, arriving at `now`.
    void host_to_unit(const QByteArray& bytes, sim_clock::time_point now = sim_clock::now());
    /// The unit's bytes that have reached the host by `now`, in order; they are handed over
    /// once.
    QByteArray unit_to_host(sim_clock::time_point now = sim_clock::now());
    /// When the next pending byte reaches the host, if any is pending.
    std::optional<sim_clock::time_point> next_output_due() const;

    // ---- configuration ----
    void set_firmware_version(quint16 version) { locked_set(fw_version, version); }
    quint16 firmware_version() const { return locked_get(fw_version); }
    /// The answer to parameter 0xC1: 0xAA for an RQ7-NVS, anything else for an RQ7-NV.
    void set_variant_byte(quint8 answer) { locked_set(variant_answer, answer); }
    /// Delay between a request's last byte and its answer reaching the host.
    void set_link_delay(std::chrono::microseconds delay) { locked_set(link_delay, delay); }
    /// A unit in its bootloader ignores application requests (it answers no 0xB6).
    void set_bootloader(bool in_bootloader) { locked_set(bootloader, in_bootloader); }
    bool in_bootloader() const { return locked_get(bootloader); }

    // ---- stored settings ----
    QByteArray table(int n) const; // n = 0..3: AUX, MAIN, GPO1, GPO2; 640-byte record
    void set_table(int n, const QByteArray& record);
    QByteArray mode_block() const { return locked_get(modes); } // 38 bytes, reply to 0xBD
    void set_mode_block(const QByteArray& block) { locked_set(modes, block); }
    QByteArray map_cal_block() const { return locked_get(map_cal); } // 28 bytes, reply to 0xBF
    void set_map_cal_block(const QByteArray& block) { locked_set(map_cal, block); }
    void set_gpi_states(quint8 gpi1, quint8 gpi2);
    quint8 rpm_scaler() const { return locked_get(rpm_scaler_value); }
    void set_rpm_scaler(quint8 value) { locked_set(rpm_scaler_value, value); }
    quint16 pump_prime_delay() const { return locked_get(pump_prime); }
    void set_pump_prime_delay(quint16 value) { locked_set(pump_prime, value); }
    /// The MAP sensor's reading at atmospheric pressure. Reads of 0xA2 wander a count or two
    /// around it, as a real sensor's do; the live stream's MAP moves with it.
    void set_map_sensor(quint16 counts) { locked_set(map_counts, counts); }

    // ---- what the unit received ----
    /// Every complete, well-formed request frame received, oldest first.
    QList<QByteArray> received_frames() const { return locked_get(received); }
    void clear_received_frames();
    /// Number of resets (0xB7) the unit went through.
    int reset_count() const { return locked_get(resets); }
    /// True while the unit streams live frames (between the start and the stop request).
    bool streaming() const { return locked_get(stream_on); }
    /// Live frames sent since power-up.
    quint32 frames_sent() const { return locked_get(frame_count); }
    /// The live frame period, about 76 frames a second.
    static constexpr std::chrono::microseconds frame_period{13130};

    // ---- faults ----
    /// The next `count` requests get no answer at all (-1: the unit stays silent).
    void fault_no_reply(int count) { locked_set(no_reply, count); }
    /// The next `count` acknowledgements are wrong (3C, type, type).
    void fault_wrong_ack(int count) { locked_set(wrong_ack, count); }
    /// The next `count` read replies carry the header 3C 05 FB.
    void fault_wrong_read_header(int count) { locked_set(wrong_read_header, count); }
    /// The next `count` table replies carry a check byte with one bit flipped.
    void fault_bad_table_check(int count) { locked_set(bad_table_check, count); }
    /// The next `count` mode-block replies carry a broken AB BA marker.
    void fault_bad_mode_marker(int count) { locked_set(bad_mode_marker, count); }
    /// The next `count` MAP-cal replies carry a broken AB BA marker.
    void fault_bad_map_cal_marker(int count) { locked_set(bad_map_cal_marker, count); }
    /// The unit never answers read requests for parameter `id` (until clear_faults).
    void fault_ignore_param(quint8 id);
    /// The unit never answers requests of message type `type` (until clear_faults).
    void fault_ignore_type(quint8 type);
    /// The unit acknowledges requests of message type `type` but keeps what it held (until
    /// clear_faults).
    void fault_forget_writes(quint8 type);
    /// The next `count` live frames end AA BA instead of AA BB.
    void fault_bad_stream_marker(int count) { locked_set(bad_stream_marker, count); }
    /// The unit falls behind: the next `count` live frames arrive together with the last of
    /// them, as one burst.
    void fault_stream_burst(int count) { locked_set(stream_burst, count); }
    /// The unit sends `bytes` (after the link delay), whatever they mean: line noise, a
    /// frame cut short.
    void send_raw(const QByteArray& bytes);
    /// Clears every fault switch.
    void clear_faults();

    // ---- the bootloader (rq7_sim_bootloader.cpp) ----
    // Reading parameter C0 restarts the unit into its bootloader, which greets and then takes
    // lines ending in a carriage return: XOFF ACK once it has taken a line, XON when it is
    // ready for the next. After a good end-of-file record it answers ACK XON and restarts
    // into the new firmware.
    /// What the bootloader sends when it starts; empty: it starts silently.
    void set_bootloader_greeting(const QByteArray& text) { locked_set(greeting, text); }
    /// The version the unit reports once an image was flashed completely.
    void set_update_version(quint16 version) { locked_set(update_version, version); }
    /// Time the bootloader takes to program one line, between its XOFF ACK and XON.
    void set_line_program_time(std::chrono::microseconds time) { locked_set(line_time, time); }
    std::chrono::microseconds line_program_time() const { return locked_get(line_time); }
    std::chrono::microseconds current_link_delay() const { return locked_get(link_delay); }
    /// Every line the bootloader took (without its carriage return), oldest first.
    QList<QByteArray> bootloader_lines() const { return locked_get(boot_lines); }
    /// Times the unit restarted into its bootloader on request.
    int bootloader_entries() const { return locked_get(boot_entries); }
    /// The bootloader answers the `number`-th line of a transfer (1: the first after a line
    /// that is no record, such as a lone carriage return) with XOFF NAK, as for a line it
    /// could not program; 0: no such fault.
    void fault_refuse_line(int number) { locked_set(refused_line, number); }

    /// A plausible factory table record for output n (AUX, MAIN, GPO1, GPO2).
    static QByteArray factory_table(int n);
    static QByteArray factory_mode_block();
    static QByteArray factory_map_cal_block();

private:
    template <typename T, typename V>
    void locked_set(T& member, const V& value)
    {
        std::lock_guard<std::mutex> lock(mutex);
        member = value;
    }
    template <typename T>
    T locked_get(const T& member) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return member;
    }

    struct pending_bytes
    {
        sim_clock::time_point due;
        QByteArray bytes;
    };

    // All *_locked functions expect `mutex` to be held.
    void send_locked(const QByteArray& bytes, sim_clock::time_point now);
    void send_at_locked(const QByteArray& bytes, sim_clock::time_point due);
    void start_stream_locked(sim_clock::time_point now);
    void parse_input_locked(sim_clock::time_point now);
    void handle_frame_locked(const QByteArray& frame, sim_clock::time_point now);
    /// What the unit sends on its own (the live stream) up to `now`.
    void produce_locked(sim_clock::time_point now);
    void answer_read_locked(quint8 id, sim_clock::time_point now);
    void store_write_locked(quint8 type, const QByteArray& payload);
    bool consume(int& counter);
    // The bootloader.
    void enter_bootloader_locked(sim_clock::time_point now);
    void bootloader_input_locked(const QByteArray& bytes, sim_clock::time_point now);
    void take_line_locked(const QByteArray& line, sim_clock::time_point now);

    mutable std::mutex mutex;
    QByteArray input;
    std::vector<pending_bytes> output;
    QList<QByteArray> received;

    quint16 fw_version = 0x0201;
    quint8 variant_answer = 0xAA;
    std::chrono::microseconds link_delay{2000};
    bool bootloader = false;
    int resets = 0;

    QByteArray tables[4];
    QByteArray modes;
    QByteArray map_cal;
    quint8 gpi_state[2] = {0, 0};
    quint8 rpm_scaler_value = 1; // 0.5 pulses per revolution
    quint16 pump_prime = 0;
    quint16 map_counts = 223;
    quint32 map_reads = 0; // picks the next wander step of a 0xA2 reading

    int no_reply = 0;
    int wrong_ack = 0;
    int wrong_read_header = 0;
    int bad_table_check = 0;
    int bad_mode_marker = 0;
    int bad_map_cal_marker = 0;
    int bad_stream_marker = 0;
    int stream_burst = 0;
    QList<QByteArray> held_frames;

    const sim_clock::time_point power_up = sim_clock::now();
    bool stream_on = false;
    sim_clock::time_point next_frame;
    quint32 frame_count = 0;
    int overrides[4] = {-1, -1, -1, -1}; // AUX, MAIN, GPO1, GPO2 duty counts
    QByteArray ignored_params;
    QByteArray ignored_types;
    QByteArray forgotten_types;

    QByteArray greeting = "\r\nRQ7 BOOT v3.2\r\n";
    quint16 update_version = 0x0202;
    std::chrono::microseconds line_time{3000};
    QByteArray boot_line; // collected up to the next carriage return
    QList<QByteArray> boot_lines;
    int boot_entries = 0;
    int lines_taken = 0; // since the bootloader started
    int refused_line = 0;
    bool image_broken = false; // a line was refused: the image is not complete
};
