// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for the user at the window's message boxes: records every box and presses the
// chosen button, without showing anything. One at a time, for the lifetime of the object.
#pragma once

#include "message_box.h"

#include <QList>

struct box_answerer
{
    QList<message_box::contents> boxes;
    QMessageBox::StandardButton press = QMessageBox::Ok;

    box_answerer()
    {
        message_box::set_answerer([this](const message_box::contents& box) {
            boxes.append(box);
            return press;
        });
    }
    ~box_answerer() { message_box::set_answerer({}); }
};
