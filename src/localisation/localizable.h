// How a form answers the localiser: its controls in control order, each with its kind, its
// control-array index, and access to caption, tool tip, text, list items and tabs.
//
// Forms only declare their widgets: a form is a QWidget whose objectName is the form's name
// ("frmUser"); a control is any widget or QAction below it with an objectName (names that Qt
// gives its own inner parts, "qt_...", do not count). Control order is the order of the object
// tree, depth first, which is the order in which the form created (or parented) its controls.
// Elements of a control array share one objectName and carry their index in the dynamic
// property "jexIndex" (setArrayIndex()); their key is "name(index)".
//
// The kind follows the widget class:
//   QPushButton, QToolButton, other buttons  -> CommandButton     QRadioButton -> OptionButton
//   QCheckBox -> CheckBox        QGroupBox -> Frame               QLabel -> Label
//   QAction, QMenu (its title)   -> MenuItem ("-" or a separator action is a separator)
//   QComboBox, QListWidget       -> List (items numbered from 0)
//   QTabWidget, QTabBar          -> TabStrip (tabs numbered from 1)
//   QTableView                   -> ListView (its horizontal header is the column header)
//   QTreeView                    -> TreeView, or ListView when the name starts with "lvw"
//   QLineEdit, QPlainTextEdit, QTextEdit -> TextBox (its text); QTextBrowser -> RichTextBox
//   QLabel/QFrame/plain QWidget named "pic..." -> PictureBox;  anything else -> Other
// A form may override the kind of one control with the dynamic property "jexKind" set to one of
// kindNames() ("picture", "richtext", "listview", ...).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace jex::loc {

enum class Kind {
  CommandButton,
  OptionButton,
  CheckBox,
  Frame,
  Label,
  MenuItem,
  List,
  TabStrip,
  TreeView,
  ListView,
  TextBox,
  RichTextBox,
  PictureBox,
  Other
};

// The names accepted by the "jexKind" property, in the order of Kind.
const QStringList& kindNames();

inline constexpr const char* kIndexProperty = "jexIndex";
inline constexpr const char* kKindProperty = "jexKind";
// A form shown inside another form (a dialog in the main window's frame) carries this dynamic
// property set to true: the outer form's walk leaves it and its controls out.
inline constexpr const char* kFormProperty = "jexForm";

// Marks obj as element `index` of the control array named by its objectName.
void setArrayIndex(QObject* obj, int index);

// One control of a form, as the localiser sees it.
class Control {
 public:
  Control(QObject* object, Kind kind, int index);

  QObject* object() const { return object_; }
  QWidget* widget() const;  // null for a menu entry that is a QAction
  Kind kind() const { return kind_; }
  QString name() const;
  int index() const { return index_; }  // -1 when the control is no array element
  // The key in the language file: the name, or name + "(" + index + ")".
  QString key() const;

  // Caption of buttons, frames, labels and menu entries; the text of a text box.
  QString caption() const;
  void setCaption(const QString& text) const;
  QString toolTip() const;
  // Sets the tool tip and, for a widget, its accessible description to the same text.
  void setToolTip(const QString& tip) const;
  bool isSeparator() const;  // a menu separator

  // List items (0-based) or tabs (1-based, as the language file numbers them).
  int itemCount() const;
  QString itemText(int n) const;
  void setItemText(int n, const QString& text) const;

  // The windows whose layout direction follows the language: the control itself and, for a list
  // view, its column header. Empty for controls without a window (menu actions).
  QList<QWidget*> directionWindows() const;

 private:
  QObject* object_;
  Kind kind_;
  int index_;
};

// The kind of a control (the "jexKind" property first, then the class).
Kind kindOf(const QObject* obj);

// The form's controls in control order.
QList<Control> controlsOf(const QWidget* form);

// Lays a widget out again after its text, font or direction changed. Qt re-lays out text and
// direction changes by itself; updateGeometry() only makes sure the enclosing layout hears of
// a new size hint at once.
void nudge(QWidget* w);

}  // namespace jex::loc
