// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_dialog.h"

#include <QFileDialog>

namespace {

file_dialog::answerer& installed_dialog_answerer()
{
    static file_dialog::answerer answer;
    return answer;
}

QString ask(QWidget* parent, const file_dialog::request& asked)
{
    if (const file_dialog::answerer& answer = installed_dialog_answerer())
        return answer(asked);
    switch (asked.what) {
    case file_dialog::kind::open_file:
        return QFileDialog::getOpenFileName(parent, asked.title, asked.start, asked.filter);
    case file_dialog::kind::save_file:
        return QFileDialog::getSaveFileName(parent, asked.title, asked.start, asked.filter);
    case file_dialog::kind::folder:
        return QFileDialog::getExistingDirectory(parent, asked.title, asked.start);
    }
    return QString();
}

} // namespace

namespace file_dialog {

QString open_file(QWidget* parent, const QString& title, const QString& start,
                  const QString& filter)
{
    return ask(parent, {kind::open_file, title, start, filter});
}

QString save_file(QWidget* parent, const QString& title, const QString& start,
                  const QString& filter)
{
    return ask(parent, {kind::save_file, title, start, filter});
}

QString folder(QWidget* parent, const QString& title, const QString& start)
{
    return ask(parent, {kind::folder, title, start, QString()});
}

void set_answerer(answerer answer)
{
    installed_dialog_answerer() = std::move(answer);
}

} // namespace file_dialog
