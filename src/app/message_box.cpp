// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_box.h"

#include "help_button.h"
#include "help_panel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>

namespace {

message_box::answerer& installed_box_answerer()
{
    static message_box::answerer answer;
    return answer;
}

message_box::contents contents_of(const QMessageBox& box)
{
    message_box::contents shown;
    shown.icon = box.icon();
    shown.text = box.text();
    shown.informative_text = box.informativeText();
    shown.buttons = box.standardButtons();
    shown.default_button =
        box.defaultButton() ? box.standardButton(box.defaultButton()) : QMessageBox::NoButton;
    for (QAbstractButton* button : box.buttons())
        shown.texts.insert(box.standardButton(button), button->text());
    return shown;
}

QMessageBox::StandardButton run(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                const QString& informative_text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton default_button,
                                const message_box::button_texts& texts, const QString& help_section)
{
    QMessageBox box(icon, QCoreApplication::applicationName(), text, buttons, parent);
    box.setInformativeText(informative_text);
    if (default_button != QMessageBox::NoButton)
        box.setDefaultButton(default_button);
    for (auto it = texts.begin(); it != texts.end(); ++it)
        if (QAbstractButton* button = box.button(it.key()))
            button->setText(it.value());

    if (const message_box::answerer& answer = installed_box_answerer()) {
        message_box::contents shown = contents_of(box);
        shown.help_section = help_section;
        return answer(shown);
    }
    QPointer<help_panel> help = help_section.isEmpty() ? nullptr : help_panel::of(parent);
    if (help)
        help_button::add(box, [help, help_section] {
            if (help)
                help->show_section(help_section);
        });
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

namespace message_box {

QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                 const QString& informative_text,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton default_button,
                                 const button_texts& texts)
{
    return run(parent, icon, text, informative_text, buttons, default_button, texts, QString());
}

QMessageBox::StandardButton show_with_help(const QString& help_section, QWidget* parent,
                                           QMessageBox::Icon icon, const QString& text,
                                           const QString& informative_text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton default_button,
                                           const button_texts& texts)
{
    return run(parent, icon, text, informative_text, buttons, default_button, texts, help_section);
}

void set_answerer(answerer answer)
{
    installed_box_answerer() = std::move(answer);
}

} // namespace message_box
