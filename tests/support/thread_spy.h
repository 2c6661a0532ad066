// SPDX-License-Identifier: GPL-3.0-or-later
// A signal spy for signals emitted on another thread (the worker's): QSignalSpy records them
// on the emitting thread while the test reads the list on its own, a data race. This one takes
// each emission from another thread as a queued call, so the list only ever changes on the
// test's thread, inside its waits; emissions on the test's own thread are recorded at once,
// as QSignalSpy does.
#pragma once

#include <QMetaMethod>
#include <QSignalSpy>

class thread_spy : public QSignalSpy
{
public:
    template <typename Func>
    thread_spy(const typename QtPrivate::FunctionPointer<Func>::Object* sender, Func spied)
        : QSignalSpy(sender, spied)
    {
        if (!isValid())
            return;
        const int index = QMetaMethod::fromSignal(spied).methodIndex();
        const int member = QObject::staticMetaObject.methodCount(); // the spy's own slot
        QMetaObject::disconnect(sender, index, this, member);
        QMetaObject::connect(sender, index, this, member, Qt::AutoConnection);
    }
};
