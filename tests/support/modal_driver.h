// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for the user at modal dialogs that the code under test runs with exec(): while it
// exists, each modal dialog of type T that opens is handed to `act`, which reads it and
// closes it (accept, reject or a button click).
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

template <typename T>
class modal_driver
{
public:
    explicit modal_driver(std::function<void(T*)> on_open)
        : act(std::move(on_open))
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start();
    }

    /// How many dialogs were handed to `act`.
    int seen = 0;

private:
    void poll()
    {
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || dialog == last)
            return;
        last = dialog;
        ++seen;
        act(dialog);
    }

    std::function<void(T*)> act;
    QTimer timer;
    QPointer<T> last;
};
