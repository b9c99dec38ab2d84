// Enter on a button, as on the Windows desktop: Enter (and the keypad's Enter) presses the
// focused push or tool button in every window of the program (the main window's menu buttons
// open their menus, a dialog's buttons run). Where no button has the focus, Enter is left to
// the window: a dialog's default button takes it.
#pragma once

#include <QKeyEvent>

namespace jex::ui {

// Enter or the keypad's Enter.
inline bool isEnter(const QKeyEvent& key) { return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter; }

// Installs the behaviour once for the whole application (later calls do nothing). The form
// bases call it, so every form has it without code of its own.
void pressFocusedButtonOnEnter();

}  // namespace jex::ui
