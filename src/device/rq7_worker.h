// SPDX-License-Identifier: GPL-3.0-or-later
// The device worker: lives on its own thread and owns every exchange with the unit. The
// window asks by calling the public slots (each re-posts itself to the worker's thread, so
// callers never block) and hears back only through the signals.
#pragma once

#include "d2xx.h"
#include "rq7_bridge_info.h"
#include "rq7_catalogue.h"
#include "rq7_frame.h"
#include "rq7_link.h"
#include "rq7_log.h"
#include "rq7_log_file.h"
#include "rq7_protocol.h"
#include "settings_backup.h"
#include "tsafe_qvector.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QThread>

class QTimer;
class rq7_vars;

class rq7_worker : public QObject, public rq7_link
{
    Q_OBJECT

public:
    explicit rq7_worker(QObject* parent = nullptr);
    ~rq7_worker() override;

signals:
    void opened(QString serial_number, quint16 fw_version, rq7_variant variant);
    void closed();
    void wrote_data(FT_STATUS status);
    void read_data(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints,
                   QList<adc_trim> trims);
    /// What the unit holds, read for a comparison: the window's variables are not touched.
    void read_compare_data(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints);
    void read_file(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints,
                   QList<adc_trim> trims, QList<QString> warnings);
    void fw_programmed(FT_STATUS status, quint16 fw_version, rq7_variant variant);
    void fw_progress(int progress);
    void reset_progress(int progress);
    void log_started();
    /// An operation that needs the link is about to stop the stream (log_stopped follows)
    /// and starts it again when it is done: a live-log file being written stays open.
    void log_paused();
    void log_stopped();
    /// The live-log file could not be opened, or a line could not be written to it; logging
    /// to file is off and the file keeps what reached it. `reason` is the system's.
    void log_file_failed(QString file_name, QString reason);
    void log_data_ready(rq7_frame data);
    void recall_data_ready(rq7_frame data);
    /// A live-log file is shown: its samples and how many damaged lines were skipped, with
    /// the line number of the first (0 when none).
    void parsed_log_file(QString file_name, int samples, int skipped_lines,
                         qint64 first_skipped_line);
    /// A file was not opened as a live log; the log shown before is kept. `reason` is for the
    /// user ("FILE is not a live-log file").
    void log_file_refused(QString file_name, QString reason);
    void map_cal_data_ready(QList<quint16>);
    /// The MAP samples could not be taken: not connected, or the unit did not answer.
    void map_cal_failed(FT_STATUS status);
    /// An override could not be set (`reset` false) or released (`reset` true).
    void override_failed(FT_STATUS status, table_index output, bool reset);
    /// A backup taken on request: the file it went to, or a failure status and no file.
    void backed_up(FT_STATUS status, QString file_name);
    /// Every backup kept after a successful read (by start_read or start_backup): the file
    /// it went to, or no file and why it could not be kept (the folder and the system's
    /// reason).
    void backup_saved(QString file_name, QString error);
    /// A settings file saved by settings_to_file: `error` is empty, or says why nothing (or
    /// not all of it) reached the file.
    void settings_saved(QString file_name, QString error);
    void bridges_listed(QList<rq7_bridge_info> bridges);

public slots:
    void open();
    void close();
    void reset();
    void smart_reconnect(uint event);
    void start_read();
    /// Reads every setting as start_read does but keeps no backup: for reading back what a
    /// write just left, when the state before that write is already kept.
    void start_read_back();
    /// Reads every setting into a store of its own, for read_compare_data; nothing the window
    /// queued changes and no backup is kept.
    void start_compare_read();
    void add_field_to_var(QByteArray f_table, table_index i);
    void add_field_to_var(uint f_int, int_index i);
    void add_field_to_var(adc_trim f_trim, adc_trim_index i);
    void remove_all_sets();
    void vars_to_file(QString filename);
    /// Saves the window's values (tables and integer parameters by index) as a complete
    /// settings file, without touching what waits to be written to the unit; a table given
    /// empty is taken from the variables. Answers with settings_saved.
    void settings_to_file(QString filename, QList<QByteArray> tables, QList<quint32> ints);
    void file_to_vars_to_field(QString filename);
    void start_write();
    void start_fw_program(QString fw_location);
    void set_log_file(QString filename);
    void enable_log_to_file(bool enable);
    /// The values the settings section of the next live-log file shows (tables and integer
    /// parameters by index, the items a saved settings file holds), without touching what
    /// waits to be written to the unit. Until it is given, the section holds the items of
    /// the write sets.
    void set_log_settings(QList<QByteArray> tables, QList<quint32> ints);
    /// Seconds of samples already stored that a new log file starts with (0: none).
    void set_log_pre_trigger(uint seconds);
    void start_live_logging();
    void stop_live_logging(bool immediately);
    void stop_live_logging();
    void clear_live_logs();
    void parse_log_file(QString filename);
    void recall_frame_at(QPointF point);
    void set_rw_debug(bool enable);
    void start_map_cal();
    void set_override(table_index output, uint duty);
    void reset_override(table_index output);
    /// Reads the unit into a store of its own and saves a backup of what it holds, without
    /// touching the settings waiting to be written.
    void start_backup();
    /// Every attached bridge, and whether each answers as a unit.
    void list_bridges();

private slots:
    void check_log_data();
    void check_log_data_for_period(uint loop_for_ms);

public:
    // For the live graph: references to the worker's thread-safe columns, handed over while
    // the window is built and read under each column's read lock.
    const tsafe_qvector<qint64>& log_times() const { return live_log.timestamps(); }
    const tsafe_qvector<unsigned int>& log_column(e_data column) const
    {
        return live_log.const_data(column);
    }
    const tsafe_qvector<unsigned int>& logged_to_file_marks() const { return logged_marks; }

    /// The variable store, for inspection on the worker's own thread (tests).
    const rq7_vars* variable_store() const { return vars; }
    /// Where backups of the units' settings go.
    const settings_backup& backup_store() const { return backups; }

    // ---- parameter exchange (worker thread only) ----
    /// Waits until `expected` bytes have arrived and reads exactly them into `buffer`.
    FT_STATUS wait_then_read(QByteArray& buffer, unsigned long expected);
    /// Sends a complete read request and returns the `expected` data bytes of its reply.
    FT_STATUS get_param(QByteArray& request, QByteArray& reply, unsigned long expected) override;
    /// Sends a typed request built from `payload` and waits for its acknowledgement,
    /// resending it (up to five times in all) while the acknowledgement is wrong.
    FT_STATUS set_param(rq7_msg_type type, QByteArray& payload) override;

private:
    // ---- the link (worker thread only) ----
    FT_STATUS silent_close();
    FT_STATUS ft_write_wrap(FT_HANDLE ft_handle, void* buffer, DWORD length, DWORD* written);
    FT_STATUS ft_read_wrap(FT_HANDLE ft_handle, void* buffer, DWORD length, DWORD* read);
    FT_STATUS identify_unit();
    bool link_open() const { return !serial_number.isEmpty(); }
    bool find_unit();
    FT_STATUS purge_or_disconnect();
    /// Sends the stop request and lets the stream drain; part of stopping live logging.
    void send_stop_request();
    /// Waits while the unit's last live bytes still arrive (`waiting` already there), until
    /// the line is quiet.
    void wait_for_quiet_line(DWORD waiting);
    /// Waits up to `loop_for_ms` for the rest of a live frame; false when it is not there.
    bool live_frame_waiting(uint loop_for_ms);
    /// Reads the rest of a live frame into `live_partial`; true once it holds a whole one.
    bool read_live_frame();
    /// Writes the stored samples of the last pre-trigger seconds to a newly opened log file;
    /// false when one could not be written.
    bool write_pre_trigger_samples();
    /// The settings section a new live-log file starts with; false with `reason` when it
    /// could not be made.
    bool settings_section(QByteArray& section, QString& reason);
    /// Ends logging to a file that failed and tells the window why.
    void give_up_log_file(const QString& reason);
    /// Keeps the connected unit's variant in the variable store, where files and the window
    /// find it.
    void store_variant();

    // ---- bootloader and firmware (rq7_worker_firmware.cpp) ----
    /// Reads a firmware image and refuses one that is not Intel HEX as the bootloader takes it.
    FT_STATUS read_fw_image(const QString& fw_location, QByteArray& image);
    FT_STATUS reset_into_bootloader();
    FT_STATUS read_bootloader_greeting(QByteArray& greeting);
    FT_STATUS recognise_bootloader(const QByteArray& greeting);
    FT_STATUS program_fw(QString fw_location);
    FT_STATUS start_fw_transfer();
    FT_STATUS write_carriage_return();
    FT_STATUS send_fw_lines(const QByteArray& image);
    FT_STATUS finish_fw_transfer();
    /// Sends one line and completes its handshake: XOFF ACK, then XON.
    FT_STATUS write_fw_line(QByteArray line);

    /// Operations that need the link pause live logging first: returns whether it was
    /// running, to be handed to resume_live_logging afterwards.
    bool pause_live_logging();
    void resume_live_logging(bool was_logging);

    /// On a thread other than the worker's, posts the named slot (with the given queued
    /// arguments) to the worker's event queue and returns true: the caller returns at once.
    template <typename... Args>
    bool posted_to_worker(const char* slot, Args... args)
    {
        if (QThread::currentThread() == thread())
            return false;
        if (!QMetaObject::invokeMethod(this, slot, Qt::QueuedConnection, args...))
            qCritical("Could not queue %s on the worker", slot);
        return true;
    }

    /// Keeps what a successful read found as the unit's newest backup.
    void save_backup(FT_STATUS read_status, const rq7_vars& from);
    /// start_read and start_read_back.
    void read_all(bool keep_backup);
    rq7_bridge_info probe_bridge(const FT_DEVICE_LIST_INFO_NODE& node);

    bool rw_debug = false;
    FT_HANDLE handle = nullptr;
    QString serial_number; // non-empty exactly while the link is open
    quint16 fw_version = 0;
    rq7_variant variant = variant_nv;
    rq7_vars* vars;
    QTimer* live_poll_timer;
    rq7_log live_log;
    rq7_log_file live_log_file; // also knows whether the column header is still pending
    bool logging_to_file = false;
    tsafe_qvector<unsigned int> logged_marks;
    settings_backup backups;
    QString last_backup;
    QByteArray live_partial; // the start of a live frame that a short read cut off
    // The settings section of live-log files (set_log_settings); empty: the write sets.
    QList<QByteArray> log_settings_tables;
    QList<quint32> log_settings_ints;
    qint64 pre_trigger_ms = 0;
};
