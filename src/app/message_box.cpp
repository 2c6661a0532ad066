#include "message_box.h"

#include <QCoreApplication>
#include <QPushButton>

namespace {

message_box::answerer& installed_answerer()
{
    static message_box::answerer answer;
    return answer;
}

} // namespace

namespace message_box {

QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                 const QString& informative_text,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton default_button,
                                 const button_texts& texts)
{
    QMessageBox box(icon, QCoreApplication::applicationName(), text, buttons, parent);
    box.setInformativeText(informative_text);
    if (default_button != QMessageBox::NoButton)
        box.setDefaultButton(default_button);
    for (auto it = texts.begin(); it != texts.end(); ++it)
        if (QAbstractButton* button = box.button(it.key()))
            button->setText(it.value());

    if (const answerer& answer = installed_answerer()) {
        contents shown;
        shown.icon = box.icon();
        shown.text = box.text();
        shown.informative_text = box.informativeText();
        shown.buttons = box.standardButtons();
        shown.default_button =
            box.defaultButton() ? box.standardButton(box.defaultButton()) : QMessageBox::NoButton;
        for (QAbstractButton* button : box.buttons())
            shown.texts.insert(box.standardButton(button), button->text());
        return answer(shown);
    }
    return QMessageBox::StandardButton(box.exec());
}

void set_answerer(answerer answer)
{
    installed_answerer() = std::move(answer);
}

} // namespace message_box
