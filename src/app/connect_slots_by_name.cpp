// SPDX-License-Identifier: GPL-3.0-or-later
#include "connect_slots_by_name.h"

#include <QHash>
#include <QMetaMethod>
#include <QObject>

namespace {

/// The first object of each name under `root`, in the order Qt's own matching meets them.
QHash<QByteArray, QObject*> objects_by_name(QObject* root)
{
    QObjectList objects = root->findChildren<QObject*>();
    objects << root;
    QHash<QByteArray, QObject*> named;
    for (QObject* object : objects) {
        const QByteArray name = object->objectName().toLatin1();
        if (!name.isEmpty() && !named.contains(name))
            named.insert(name, object);
    }
    return named;
}

/// The signal of `sender` that `signature` ("clicked()", "valueChanged(int)") names: the
/// exact one, else the first whose arguments begin with the slot's, as Qt chooses.
QMetaMethod signal_for(const QObject* sender, const QByteArray& signature)
{
    const QMetaObject* meta = sender->metaObject();
    const int exact = meta->indexOfSignal(QMetaObject::normalizedSignature(signature));
    if (exact >= 0)
        return meta->method(exact);
    const QByteArray start = signature.left(signature.size() - 1); // without the ')'
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal &&
            method.methodSignature().startsWith(start))
            return method;
    }
    return QMetaMethod();
}

/// Connects one slot; the object's name may hold underscores, so every split of the slot's
/// name into <object>_<signal> is tried.
bool connect_slot(QObject* panel, const QMetaMethod& slot, const QHash<QByteArray, QObject*>& named)
{
    const QByteArray rest = slot.methodSignature().mid(3); // after "on_"
    const int arguments = rest.indexOf('(');
    for (int split = rest.indexOf('_'); split > 0 && split < arguments;
         split = rest.indexOf('_', split + 1)) {
        QObject* sender = named.value(rest.left(split));
        if (!sender)
            continue;
        const QMetaMethod signal = signal_for(sender, rest.mid(split + 1));
        if (signal.isValid() && QObject::connect(sender, signal, panel, slot))
            return true;
    }
    return false;
}

} // namespace

void connect_slots_by_name(QObject* panel, QObject* form_root)
{
    const QHash<QByteArray, QObject*> named = objects_by_name(form_root);
    const QMetaObject* meta = panel->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod slot = meta->method(i);
        if (slot.methodType() != QMetaMethod::Slot || !slot.methodSignature().startsWith("on_"))
            continue;
        if (!connect_slot(panel, slot, named))
            qWarning("QMetaObject::connectSlotsByName: No matching signal for %s in %s",
                     slot.methodSignature().constData(), meta->className());
    }
}
