// SPDX-License-Identifier: GPL-3.0-or-later
#include "about_box.h"

#include "guide_index.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <mgl2/config.h>
#include <qwt_global.h>

namespace {

const char* const licence_notice =
    "<p>Copyright 2026 Velkaro and the Quorvane developers.</p>"
    "<p>Quorvane is free software: you can redistribute it and/or modify it under the terms of "
    "the GNU General Public License as published by the Free Software Foundation, either "
    "version 3 of the License, or (at your option) any later version "
    "(GPL-3.0-or-later).</p>"
    "<p>It is distributed in the hope that it will be useful, but WITHOUT ANY WARRANTY; "
    "without even the implied warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR "
    "PURPOSE. See the licence for more details.</p>";

QLabel* text_label(const QString& name, const QString& html)
{
    auto* label = new QLabel(html);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setOpenExternalLinks(true);
    // Wrapped text takes the height it needs at this width (the box keeps its size fixed).
    label->setMinimumWidth(560);
    return label;
}

QString row(const QString& library, const QString& version, const QString& licence)
{
    return QString("<tr><td>%1</td><td>&nbsp;%2&nbsp;</td><td>%3</td></tr>")
        .arg(library, version.toHtmlEscaped(), licence);
}

} // namespace

about_box::about_box(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("about_box");
    setWindowTitle("About Quorvane");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(text_label(
        "about_program", QString("<h2>Quorvane %1</h2><p>Configure, watch and update RQ7 injection "
                                 "controllers.</p>")
                             .arg(version())));
    unit = text_label("about_unit", QString());
    layout->addWidget(unit);
    layout->addWidget(text_label("about_licence", licence_notice));
    layout->addWidget(text_label("about_libraries", libraries_html()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* licence = buttons->addButton("Licence...", QDialogButtonBox::ActionRole);
    licence->setObjectName("about_show_licence");
    connect(licence, &QPushButton::clicked, this, &about_box::show_licence);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    show_no_unit();
}

void about_box::show_unit(const QString& serial_number, quint16 fw_version, rq7_variant variant)
{
    const QString firmware = fw_version == 0
                                 ? QString("none running (the unit is in its bootloader)")
                                 : QString("%1 (0x%2)")
                                       .arg(firmware_text(fw_version))
                                       .arg(fw_version, 4, 16, QChar('0'));
    // The bootloader does not tell the model.
    const QString model = fw_version == 0          ? QString("not known in the bootloader")
                          : variant == variant_nvs ? QString("RQ7-NVS")
                                                   : QString("RQ7-NV");
    unit->setText(QString("<p><b>Connected unit</b><br>Model: %1<br>Serial number: %2<br>"
                          "Firmware: %3</p>")
                      .arg(model, serial_number.toHtmlEscaped(), firmware));
}

void about_box::show_no_unit()
{
    unit->setText("<p><b>Connected unit</b><br>No unit is connected.</p>");
}

QString about_box::version()
{
    return QStringLiteral(QUORVANE_VERSION);
}

QString about_box::firmware_text(quint16 fw_version)
{
    return QString("%1.%2").arg(fw_version >> 8).arg(fw_version & 0xFF, 0, 16);
}

QString about_box::libraries_html()
{
    QString rows = row("Qt", qVersion(), "GNU LGPL 3.0, or GNU GPL 2.0 or later") +
                   row("Qt Script", qVersion(), "GNU LGPL 3.0, or GNU GPL 2.0 or later") +
                   row("Qwt", QWT_VERSION_STR, "Qwt License 1.0 (GNU LGPL 2.1 with exceptions)") +
                   row("MathGL", MGL_VER_STRING,
                       "GNU GPL 2.0 or later as Debian ships it (its library part is GNU "
                       "LGPL 3.0 upstream)");
#ifdef QUORVANE_UDEV_VERSION
    rows += row("libudev", QUORVANE_UDEV_VERSION, "GNU LGPL 2.1 or later");
#endif
    return "<p><b>Libraries</b></p><table>" + rows + "</table>";
}

/// The full text of the GNU GPL 3.0, as the program's COPYING file holds it.
void about_box::show_licence()
{
    guide_index::register_resources();
    QFile copying(":/guide/COPYING");
    QDialog dialog(this);
    dialog.setWindowTitle("Quorvane licence: GNU General Public License 3.0");
    auto* text = new QPlainTextEdit;
    text->setObjectName("licence_text");
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setPlainText(copying.open(QIODevice::ReadOnly) ? QString::fromUtf8(copying.readAll())
                                                         : QString("The licence text is missing."));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(640, 600);
    dialog.exec();
}
