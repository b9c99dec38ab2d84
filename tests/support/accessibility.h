// The accessibility check every form of the program must pass, as a blind user meets it:
//
// - every control Tab can reach is announced with its label: its accessible name is not empty,
//   or, for controls whose accessible name is their value (line edits, combo boxes, spin boxes,
//   text boxes), it has a label relation to a label with a caption (or an explicit name);
// - every tool tip is also the widget's accessible description;
// - Tab, pressed on the focused control, visits every tab stop in reading order (top to bottom,
//   then along the row in the form's writing direction) and comes back round to the first;
//   Shift+Tab walks the same chain backwards. In a container that keeps Tab inside it
//   (ui::kTabWrapProperty) Tab on its last stop goes back to its first.
//
// Each function returns readable messages, empty when the form passes. The form is shown (and
// hidden again afterwards when it was hidden); the checks drive it with QTest key events.
#pragma once

#include <QAccessible>
#include <QStringList>

class QWidget;

namespace jex::test {

QStringList labelProblems(QWidget* form);
QStringList descriptionProblems(QWidget* form);
QStringList tabOrderProblems(QWidget* form);

// All of the above.
QStringList accessibilityProblems(QWidget* form);

// A readable name of a widget for messages: "objectName (QLineEdit)".
QString describe(const QWidget* w);

// The label a control is announced with over AT-SPI: its accessible name, or, for a control
// whose name is its value, the label it is labelled by (or an explicit name); empty when none.
QString announcedLabel(QWidget* w);
// True for a role a screen reader names as a control (button, check box, list, edit, ...);
// false for the roles of containers and of nothing in particular (client, pane, grouping).
bool isControlRole(QAccessible::Role role);

}  // namespace jex::test

// For tests: EXPECT_ACCESSIBLE(form) reports each problem as its own failure.
#define EXPECT_ACCESSIBLE(form)                                                        \
  do {                                                                                 \
    const QStringList jex_problems_ = ::jex::test::accessibilityProblems(form);        \
    for (const QString& jex_p_ : jex_problems_) ADD_FAILURE() << jex_p_.toStdString(); \
  } while (false)
