// SPDX-License-Identifier: GPL-3.0-or-later
// Reaching the main window's widgets by object name in tests, as the form names them.
#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

/// The child of `parent` called `name`; a missing widget ends the test run at once, since
/// every later check would only repeat that.
template <typename T>
T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s called %s", T::staticMetaObject.className(), name);
    return found;
}
