// SPDX-License-Identifier: GPL-3.0-or-later
// Every file and folder dialog of the window goes through here, so that tests can stand in
// for the user: an installed answerer gets the dialog's title, start and filter and returns
// the chosen path (empty: cancelled) without showing anything.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace file_dialog {

enum class kind { open_file, save_file, folder };

struct request
{
    kind what = kind::open_file;
    QString title;
    QString start;
    QString filter;
};

using answerer = std::function<QString(const request&)>;

/// The file to open; empty when the user cancelled.
QString open_file(QWidget* parent, const QString& title, const QString& start,
                  const QString& filter);
/// The file to save to; empty when the user cancelled.
QString save_file(QWidget* parent, const QString& title, const QString& start,
                  const QString& filter);
/// An existing folder; empty when the user cancelled.
QString folder(QWidget* parent, const QString& title, const QString& start);

/// Installs `answer` for every following dialog (an empty function: dialogs are shown again).
void set_answerer(answerer answer);

} // namespace file_dialog
