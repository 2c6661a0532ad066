// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for the user at the window's file dialogs: records every dialog and answers with
// the next queued path (empty: cancel).
#pragma once

#include "file_dialog.h"

#include <QList>
#include <QStringList>

struct dialog_answerer
{
    QList<file_dialog::request> asked;
    QStringList answers;

    dialog_answerer()
    {
        file_dialog::set_answerer([this](const file_dialog::request& r) {
            asked.append(r);
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
    }
    ~dialog_answerer() { file_dialog::set_answerer({}); }
};
