// What the reader says for one accessible object, independent of how the object was read.
//
// One utterance per event: label, role, value, description, in that order, separated by ", "
// (parts that are empty are left out). A menu entry adds its place ("3 von 7") after its value
// and is a "Untermenü" when it opens one; the first entry heard in a submenu is preceded by the
// submenu's name. The label is the accessible name, except for controls
// whose accessible name is their value (drop-down lists, text fields, spin boxes): there it is
// the name of the label the control is labelled by. Roles come from the reader's own German and
// English table; the value is the current item, text, number or check state.
#pragma once

#include <QString>

namespace corvane::reader {

enum class Kind {
  Other,
  Button,
  ToggleButton,
  CheckBox,
  RadioButton,
  ComboBox,
  Edit,
  PasswordEdit,
  SpinBox,
  Slider,
  List,
  ListItem,
  Table,
  TableCell,
  Tree,
  TreeItem,
  PageTab,
  PageTabList,
  Menu,
  MenuItem,
  MenuBar,
  Label,
  StatusBar,
  ProgressBar,
  ScrollBar,
  ToolBar,
  Document,
  Dialog,
  Window,
  Link,
  Group
};

// The roles whose accessible name is their value (the label comes by a relation).
bool nameIsValue(Kind kind);
// "Schalter" / "button"; empty for Other.
QString roleWord(Kind kind, bool german);
// The check state words.
QString checkWord(bool checked, bool german);
// German for a Windows locale number whose primary language is German ("1031", "2055", ...).
bool isGermanLocale(const QString& lcid);

// Names and texts longer than this are cut (a control with a huge name stays speakable).
inline constexpr int kMaxPart = 500;

struct AccessibleInfo {
  Kind kind = Kind::Other;
  QString name;
  QString labelledBy;  // name of the object of the labelled-by relation, if any
  QString value;       // current item, text or number as read; empty when none
  QString description;
  bool checkable = false;
  bool checked = false;
  // A menu entry: its place among the entries of its menu (separators and hidden entries not
  // counted; 0 when unknown), whether it opens a submenu, and the name of the submenu it is
  // in when the focus has just come into that submenu.
  int position = 0;
  int entries = 0;
  bool opensSubmenu = false;
  QString enteredMenu;
  // The user can type into it: a text field that is not read-only, a drop-down list with a
  // field of its own. What it holds may be what the user typed.
  bool editable = false;
};

struct Composed {
  QString text;
  // text as the core's output and its logs give it: the value of a field the user types into
  // (an edit field, an editable drop-down list) by its length, as anything typed.
  QString logged;
  bool unnamed = false;  // no label could be found: an accessibility fault of the application
};

QString label(const AccessibleInfo& info);
QString value(const AccessibleInfo& info, bool german);
Composed compose(const AccessibleInfo& info, bool german, bool withDescription);

// A caret move in a text: by one character (with character echo on) the character now at the
// caret, otherwise the line it is on; nothing for a move by one character with echo off.
struct CaretMove {
  int from = -1;  // previous offset in the same object; -1 when unknown
  int to = 0;
  QString character;  // the character at the new offset
  QString line;       // the line at the new offset
};
QString caretText(const CaretMove& move, int charEcho, bool german);

// Speakable name of a single character: a blank or line end is named, others stay as they are.
QString characterName(const QString& c, bool german);

}  // namespace corvane::reader
