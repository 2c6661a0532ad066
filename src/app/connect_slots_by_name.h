// SPDX-License-Identifier: GPL-3.0-or-later
// Binds a panel's on_<object>_<signal> slots to the widgets of the window's form, as Qt's
// connectSlotsByName does for the widget a form is set up on. A panel is no parent of the
// widgets it serves, so Qt's own matching cannot find them.
#pragma once

class QObject;

/// Connects every slot of `panel` named on_<object>_<signal> to the signal <signal> of the
/// object called <object> under `form_root` (or `form_root` itself). A slot that finds no
/// such signal is reported as Qt reports it, so that a typo never leaves a slot unbound.
void connect_slots_by_name(QObject* panel, QObject* form_root);
