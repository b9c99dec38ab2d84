// Helpers that make forms speak well with a screen reader, used by every dialog instead of
// per-dialog fixes.
//
// A control is announced with its label through the label relation Qt builds from a label's
// buddy, so a caption that is localised later reaches the announcement by itself. Where Qt
// cannot see the relation (the label is not a sibling of the control, or the control is a group
// box), the caption is copied into the accessible name and refreshNames() brings those copies
// up to date after the captions changed (the localiser calls it after each language change).
// Tool tips are also the controls' accessible descriptions.
#pragma once

#include <QList>
#include <QString>

class QGroupBox;
class QLabel;
class QWidget;

namespace jex::ui {

// A caption as it is spoken: "&Name" gives "Name", "A && B" gives "A & B".
QString plainCaption(const QString& caption);

// Makes label the buddy of control (its accelerator moves the focus there) and the label the
// control is announced with.
void setBuddy(QLabel* label, QWidget* control);

// Sets the control's tool tip and its accessible description together.
void setTip(QWidget* control, const QString& tip);

// For form and every descendant: the accessible description follows the tool tip, unless a
// description was set explicitly (with setAccessibleDescription, not through these helpers).
void syncDescriptions(QWidget* form);

// Refreshes every accessible name these helpers copied from a caption (labels that are not
// siblings of their buddies, group box titles), and names group boxes by their titles.
void refreshNames(QWidget* form);

// Sets a group box's title; its accessible name follows when it was taken from the title, so
// that readers entering the group hear the title it has now.
void setGroupTitle(QGroupBox* box, const QString& title);

// syncDescriptions and refreshNames: call after a form was built or localised.
void refreshAccessibility(QWidget* form);

// True for a control that Tab can reach: enabled, not hidden in its window, with tab focus, and not the
// inner part of another control (the line edit inside a spin box).
bool isTabStop(const QWidget* w);

// The control that stands for w in the tab chain (the spin box for its inner line edit).
QWidget* tabStopOf(QWidget* w);

// The tab stops of form in reading order: top to bottom, and within a row left to right, or
// right to left when the form's layout direction is right to left. Widgets whose vertical
// middles lie within the same row's extent share a row.
QList<QWidget*> readingOrder(QWidget* form);

// Chains the widgets' tab order in the given sequence (null entries are left out).
void setTabOrder(const QList<QWidget*>& widgets);

// Sets the tab order of form's tab stops to their reading order.
void setTabOrderByReading(QWidget* form);

// A container with this dynamic property set to true keeps Tab inside it: Tab on its last tab
// stop goes back to its first (Shift+Tab still leaves it).
inline constexpr const char* kTabWrapProperty = "jexTabWrap";

}  // namespace jex::ui
