// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's MAP sensor samples for the atmospheric calibration, and the temporary duty
// overrides of the four outputs.
#include "rq7_worker.h"

#include <QDebug>
#include <QThread>

using namespace rq7_protocol;

namespace {

constexpr int map_samples = 5;
constexpr unsigned long sample_gap_ms = 100;

/// The override request's message type for an output; false for an output the unit lacks.
bool override_type(table_index output, rq7_msg_type& type)
{
    switch (output) {
    case t_aux:
        type = msg_set_override_aux;
        return true;
    case t_main:
        type = msg_set_override_main;
        return true;
    case t_gpo1:
        type = msg_set_override_gpo1;
        return true;
    case t_gpo2:
        type = msg_set_override_gpo2;
        return true;
    default:
        return false;
    }
}

/// The reset request names the output by its own numbering: MAIN 1, AUX 2, GPO1 3, GPO2 4.
bool reset_code(table_index output, char& code)
{
    switch (output) {
    case t_main:
        code = 1;
        return true;
    case t_aux:
        code = 2;
        return true;
    case t_gpo1:
        code = 3;
        return true;
    case t_gpo2:
        code = 4;
        return true;
    default:
        return false;
    }
}

QString output_name(table_index output)
{
    return table_names.value(int(output), QString::number(int(output)));
}

} // namespace

void rq7_worker::start_map_cal()
{
    if (posted_to_worker("start_map_cal"))
        return;
    const bool was_logging = pause_live_logging();
    if (!link_open()) {
        qCritical("Device not open...");
        emit map_cal_failed(FT_DEVICE_NOT_OPENED);
        return;
    }
    QList<quint16> samples;
    for (int n = 0; n < map_samples; ++n) {
        QByteArray request = fixed_frame(frame_read_map_sensor);
        QByteArray reply;
        const FT_STATUS status = get_param(request, reply, 2);
        if (status != FT_OK) {
            qCritical("Cannot read from device...");
            emit map_cal_failed(status);
            resume_live_logging(was_logging);
            return;
        }
        samples.append(quint16((quint8(reply.at(0)) << 8) | quint8(reply.at(1))));
        QThread::msleep(sample_gap_ms);
    }
    emit map_cal_data_ready(samples);
    resume_live_logging(was_logging);
}

void rq7_worker::set_override(table_index output, uint duty)
{
    if (posted_to_worker("set_override", Q_ARG(table_index, output), Q_ARG(uint, duty)))
        return;
    const bool was_logging = pause_live_logging();
    qWarning().noquote() << "Override " + output_name(output) + " to " + QString::number(duty);
    rq7_msg_type type;
    FT_STATUS status = FT_OTHER_ERROR;
    if (!override_type(output, type)) {
        qCritical() << "Case" << int(output) << "Not handled";
    } else {
        QByteArray payload;
        payload.append(char((duty >> 8) & 0xFF));
        payload.append(char(duty & 0xFF));
        status = set_param(type, payload);
        if (status != FT_OK)
            qCritical().noquote() << "Cannot set override for" << output_name(output);
    }
    if (status != FT_OK)
        emit override_failed(status, output, false);
    resume_live_logging(was_logging);
}

void rq7_worker::reset_override(table_index output)
{
    if (posted_to_worker("reset_override", Q_ARG(table_index, output)))
        return;
    const bool was_logging = pause_live_logging();
    qWarning().noquote() << "Reset override on " + output_name(output);
    char code = 0;
    FT_STATUS status = FT_OTHER_ERROR;
    if (!reset_code(output, code)) {
        qCritical() << "Case" << int(output) << "Not handled";
    } else {
        QByteArray payload(1, code);
        status = set_param(msg_reset_override, payload);
        if (status != FT_OK)
            qCritical().noquote() << "Cannot reset override for" << output_name(output);
    }
    if (status != FT_OK)
        emit override_failed(status, output, true);
    resume_live_logging(was_logging);
}
