// The keyboard rules of the program's popup menus, as the desktop's menus have them elsewhere:
// "&" in a caption marks the entry's access key ("&&" is a plain "&"); an entry without one is
// reached by the first letter of its caption. A letter that only one entry answers to chooses
// that entry at once (or opens its submenu); a letter that several entries answer to moves to
// the next of them after the current entry, round to the first again. Access keys marked with
// "&" come first: the first letters count only when no entry has the letter as its access key.
#pragma once

#include <QChar>
#include <QString>

class QAction;
class QMenu;

namespace jex::ui {

// The access key a caption marks with "&", upper case; a null QChar when it marks none.
QChar accessKey(const QString& caption);

// The letter the entry answers to: its access key, else the first letter of its caption
// (upper case); null for separators and empty captions.
QChar entryLetter(const QAction* action);

// Applies the rules to one menu for its lifetime (each submenu is a menu of its own); its
// entries are told to readers as menuentries.h says.
void applyMenuKeys(QMenu* menu);

}  // namespace jex::ui
