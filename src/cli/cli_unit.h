// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool's link to the unit: the same worker on its own thread as the window
// uses, with each request turned into a call that waits for the worker's answer.
#pragma once

#include "d2xx.h"
#include "rq7_bridge_info.h"
#include "rq7_catalogue.h"
#include "rq7_protocol.h"

#include <QByteArray>
#include <QEventLoop>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class rq7_controller;
class rq7_worker;

/// One complete set of settings as the unit or a settings file holds it.
struct unit_settings
{
    QList<QByteArray> tables;
    QList<quint32> ints;
    QList<adc_trim> trims;
};

class cli_unit : public QObject
{
    Q_OBJECT

public:
    cli_unit();
    ~cli_unit() override;

    rq7_worker* worker() const;

    QString serial_number;
    quint16 fw_version = 0;
    rq7_variant variant = variant_nv;

    /// Opens the link; false with `error` saying what failed and what to try. Returns as
    /// soon as the worker knows: at once when no bridge is attached. A unit that answers
    /// only as its bootloader (firmware version 0) is taken when `bootloader_ok`.
    bool connect_unit(QString& error, bool bootloader_ok = false);
    QList<rq7_bridge_info> list_bridges();
    /// Reads every setting; the worker also keeps a backup of what it read (see
    /// `backup_file` and `backup_error`).
    bool read_all(unit_settings& out, QString& error);
    /// Reads every setting without keeping a backup: after a write, to compare.
    bool read_back(unit_settings& out, QString& error);
    /// Sends the named items of `from` and waits for the unit's acknowledgements.
    bool write_items(const unit_settings& from, const QList<table_index>& tables,
                     const QList<int_index>& ints, QString& error);
    /// Reads the unit into a backup without touching anything else; the backup's path. On
    /// failure `backup_error` is set when the unit was read but the file could not be kept.
    bool backup(QString& path, QString& error);

    /// The backup kept by the last read_all or backup, or why none could be kept (the folder
    /// and the system's reason); both empty when the unit could not be read.
    QString backup_file;
    QString backup_error;

    /// Waits until `signal` of the worker fires (handing its arguments to `handler`) after
    /// `request` was posted, or `timeout_ms` passes. False on time-out.
    template <typename Signal, typename Handler>
    bool call(const std::function<void()>& request, Signal signal, Handler handler, int timeout_ms)
    {
        QEventLoop loop;
        bool answered = false;
        const auto connection = connect(worker(), signal, &loop, [&](auto&&... args) {
            handler(args...);
            answered = true;
            loop.quit();
        });
        QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
        request();
        if (!answered)
            loop.exec();
        disconnect(connection);
        return answered;
    }

private:
    bool read_with(void (rq7_worker::*request)(), unit_settings& out, QString& error);

    rq7_controller* controller;
};
