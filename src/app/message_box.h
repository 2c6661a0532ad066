// SPDX-License-Identifier: GPL-3.0-or-later
// Every message box of the window goes through here: one place builds the box and runs it
// modally, and tests put an answerer in front of it that reads the box and picks a button
// without showing anything.
#pragma once

#include <QMap>
#include <QMessageBox>
#include <QString>

#include <functional>

namespace message_box {

/// Texts of buttons by their standard button, for a button whose own text would not say what
/// it does ("Write" rather than "OK").
using button_texts = QMap<QMessageBox::StandardButton, QString>;

/// What a box says and offers, as read back from the built QMessageBox.
struct contents
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString informative_text;
    QMessageBox::StandardButtons buttons = QMessageBox::NoButton;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    button_texts texts;   // every button's text as shown (the Help button aside)
    QString help_section; // the section of the user guide its Help button opens
};

/// Returns the button to press for a box; installed by tests in place of the user.
using answerer = std::function<QMessageBox::StandardButton(const contents&)>;

/// Builds the box and runs it modally over `parent` (or hands it to the answerer); returns
/// the button pressed. Closing the box with Escape or the title bar gives the escape button
/// Qt picks (Cancel, No or the only button).
QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                 const QString& informative_text,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                 QMessageBox::StandardButton default_button = QMessageBox::NoButton,
                                 const button_texts& texts = {});

/// As show(), with a "Help" button that opens the user guide at `help_section` (a name of
/// guide_sections.h) and leaves the box open: the box still returns the button the user
/// then presses, as show() would. Outside a main window the box has no Help button.
QMessageBox::StandardButton
show_with_help(const QString& help_section, QWidget* parent, QMessageBox::Icon icon,
               const QString& text, const QString& informative_text,
               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
               QMessageBox::StandardButton default_button = QMessageBox::NoButton,
               const button_texts& texts = {});

/// Installs `answer` for every following box (an empty function: boxes are shown again).
void set_answerer(answerer answer);

} // namespace message_box
