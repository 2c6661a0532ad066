// SPDX-License-Identifier: GPL-3.0-or-later
#include "help_button.h"

#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>

namespace help_button {

QPushButton* add(QMessageBox& box, std::function<void()> open_help)
{
    // Qt takes a box's only button for Escape and the title bar's close; once Help is a
    // second button it would find none, and the box could be left only through its buttons.
    const QList<QAbstractButton*> buttons = box.buttons();
    if (buttons.size() == 1 && !box.escapeButton())
        box.setEscapeButton(buttons.first());
    QPushButton* help = box.addButton(QMessageBox::Help);
    help->setShortcut(QKeySequence::HelpContents);
    // A box closes on a click of any of its buttons, Help too: this one keeps only its own.
    QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
    QObject::connect(help, &QAbstractButton::clicked, &box,
                     [open = std::move(open_help)] { open(); });
    box.setWindowModality(Qt::WindowModal);
    return help;
}

} // namespace help_button
