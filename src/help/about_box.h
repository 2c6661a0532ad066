// SPDX-License-Identifier: GPL-3.0-or-later
// Help > About Quorvane: the program's version (as --version reports it), the connected
// unit's model, serial number and firmware, the licence, and the libraries the program uses
// with their licences.
#pragma once

#include "rq7_protocol.h"

#include <QDialog>

class QLabel;

class about_box : public QDialog
{
    Q_OBJECT

public:
    explicit about_box(QWidget* parent = nullptr);

    /// The unit the window is connected to; firmware version 0 is the unit's bootloader.
    void show_unit(const QString& serial_number, quint16 fw_version, rq7_variant variant);
    void show_no_unit();

    /// "2.11.0": the version --version prints after the program's name.
    static QString version();
    /// "2.1" for firmware 0x0201, as the status bar shows it (the low byte in hexadecimal).
    static QString firmware_text(quint16 fw_version);
    /// The libraries with their versions and licences, as an HTML table.
    static QString libraries_html();

private slots:
    void show_licence();

private:
    QLabel* unit = nullptr;
};
