// SPDX-License-Identifier: GPL-3.0-or-later
// A "Help" button for a message box: it opens help and leaves the box open, so the box still
// returns the answer the user then gives with its other buttons, and closing it with Escape
// or the title bar gives what it gave before.
#pragma once

#include <functional>

class QMessageBox;
class QPushButton;

namespace help_button {

/// Adds the button (before the box runs); `open_help` runs at each click and at F1. The box
/// becomes modal to its own window only, so that help shown in a window of its own can be
/// read and scrolled while the box waits.
QPushButton* add(QMessageBox& box, std::function<void()> open_help);

} // namespace help_button
