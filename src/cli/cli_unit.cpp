#include "cli_unit.h"

#include "rq7_controller.h"
#include "rq7_worker.h"

namespace {

constexpr int open_timeout_ms = 15000;
constexpr int exchange_timeout_ms = 60000;

QString status_advice(FT_STATUS status)
{
    switch (status) {
    case FT_DEVICE_NOT_OPENED:
        return "the link to the unit is not open (was it unplugged?)";
    case FT_IO_ERROR:
        return "the unit's answer was damaged (check the cable, then try again)";
    case FT_OTHER_ERROR:
        return "the unit did not answer in time (is it powered, and not in its bootloader?)";
    default:
        return QString("the bridge reported error %1 (unplug it, plug it in again, and retry)")
            .arg(status);
    }
}

} // namespace

cli_unit::cli_unit()
    : controller(new rq7_controller(this))
{}

cli_unit::~cli_unit() = default;

rq7_worker* cli_unit::worker() const
{
    return controller->worker();
}

bool cli_unit::connect_unit(QString& error, bool bootloader_ok)
{
    bool opened = false;
    const bool answered = call([this] { worker()->open(); }, &rq7_worker::opened,
                               [&](const QString& serial, quint16 fw, rq7_variant model) {
                                   serial_number = serial;
                                   fw_version = fw;
                                   variant = model;
                                   opened = true;
                               },
                               open_timeout_ms);
    // `closed` instead of `opened`: nothing was found or the bridge would not open.
    if (!answered || !opened) {
        error = "no unit found: is the USB cable plugged in and the unit powered? (try "
                "'quorvane-cli list', or --port DEVICE, or --simulate)";
        return false;
    }
    if (fw_version == 0 && !bootloader_ok) {
        error = "the unit does not answer: it may be in its bootloader (flash a firmware "
                "image) or not powered";
        return false;
    }
    return true;
}

QList<rq7_bridge_info> cli_unit::list_bridges()
{
    QList<rq7_bridge_info> found;
    call([this] { worker()->list_bridges(); }, &rq7_worker::bridges_listed,
         [&](const QList<rq7_bridge_info>& bridges) { found = bridges; }, exchange_timeout_ms);
    return found;
}

bool cli_unit::read_all(unit_settings& out, QString& error)
{
    FT_STATUS status = FT_OTHER_ERROR;
    const bool answered = call([this] { worker()->start_read(); }, &rq7_worker::read_data,
                               [&](FT_STATUS s, const QList<QByteArray>& tables,
                                   const QList<quint32>& ints, const QList<adc_trim>& trims) {
                                   status = s;
                                   out = {tables, ints, trims};
                               },
                               exchange_timeout_ms);
    if (!answered || status != FT_OK) {
        error = "could not read the unit's settings: " + status_advice(status);
        return false;
    }
    return true;
}

bool cli_unit::write_items(const unit_settings& from, const QList<table_index>& tables,
                           const QList<int_index>& ints, QString& error)
{
    rq7_worker* w = worker();
    w->remove_all_sets();
    for (table_index t : tables)
        w->add_field_to_var(from.tables.value(t), t);
    for (int_index i : ints)
        w->add_field_to_var(uint(from.ints.value(i)), i);
    FT_STATUS status = FT_OTHER_ERROR;
    const bool answered = call([w] { w->start_write(); }, &rq7_worker::wrote_data,
                               [&](FT_STATUS s) { status = s; }, exchange_timeout_ms);
    if (!answered || status != FT_OK) {
        error = "the unit did not take every setting: " + status_advice(status);
        return false;
    }
    return true;
}

bool cli_unit::backup(QString& path, QString& error)
{
    FT_STATUS status = FT_OTHER_ERROR;
    const bool answered = call([this] { worker()->start_backup(); }, &rq7_worker::backed_up,
                               [&](FT_STATUS s, const QString& file) {
                                   status = s;
                                   path = file;
                               },
                               exchange_timeout_ms);
    if (!answered || status != FT_OK) {
        error = "could not back up the unit's settings: " + status_advice(status);
        return false;
    }
    return true;
}
