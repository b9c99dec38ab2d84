#include "tests/support/accessibility.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <QWidget>

#include "widgets/accessibility.h"

namespace jex::test {

namespace {

// Controls whose accessible name on this platform is their current value, so the label has to
// come through the label relation (or an explicit name).
bool nameIsValue(const QWidget* w) {
  return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QTextEdit*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w);
}

// The caption of the first label the control is labelled by ("is the label of" relations).
QString labelRelation(QAccessibleInterface* iface) {
  for (const auto& r : iface->relations(QAccessible::Label)) {
    // A titled group box is reported as a label of everything inside it; that is no field label.
    if (!r.first || !qobject_cast<QLabel*>(r.first->object())) continue;
    if (const QString text = r.first->text(QAccessible::Name).trimmed(); !text.isEmpty()) return text;
  }
  return {};
}

QList<QWidget*> tabStops(QWidget* form) {
  QList<QWidget*> stops;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    // A drop-down list's popup is a window of its own, not a stop of the form.
    if (w->window() == form->window() && ui::isTabStop(w)) stops.append(w);
  }
  return stops;
}

// Shows the form's window and makes it active for the time of a check.
class Shown {
 public:
  explicit Shown(QWidget* form) : window_(form->window()), wasHidden_(!window_->isVisible()) {
    window_->show();
    window_->activateWindow();
    active_ = QTest::qWaitForWindowActive(window_, 2000);
  }
  ~Shown() {
    if (wasHidden_) window_->hide();
  }
  bool active() const { return active_; }

 private:
  QWidget* window_;
  bool wasHidden_;
  bool active_ = false;
};

QWidget* focused() { return ui::tabStopOf(QApplication::focusWidget()); }

// Walks the chain one way: from each stop the key must reach the next one in `order`.
QStringList walk(const QList<QWidget*>& order, bool forward) {
  QStringList problems;
  const QString keyName = forward ? QStringLiteral("Tab") : QStringLiteral("Shift+Tab");
  const auto n = order.size();
  for (qsizetype i = 0; i < n; ++i) {
    QWidget* from = order.at(i);
    QWidget* expected = order.at(forward ? (i + 1) % n : (i + n - 1) % n);
    // The last stop of a container that keeps Tab inside it leads back to its first stop.
    for (QWidget* c = from->parentWidget(); forward && c; c = c->parentWidget())
      if (c->property(ui::kTabWrapProperty).toBool()) {
        const auto inside = [c](QWidget* w) { return c->isAncestorOf(w); };
        const auto last = std::find_if(order.rbegin(), order.rend(), inside);
        if (*last == from) expected = *std::find_if(order.begin(), order.end(), inside);
        break;
      }
    from->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    if (focused() != from) {
      problems << describe(from) + QStringLiteral(" cannot take the focus");
      continue;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
    QWidget* got = focused();
    if (got != expected) {
      problems << keyName + QStringLiteral(" from ") + describe(from) + QStringLiteral(" goes to ") +
                      (got ? describe(got) : QStringLiteral("nothing")) + QStringLiteral(", expected ") +
                      describe(expected) + QStringLiteral(" (reading order)");
    }
  }
  return problems;
}

}  // namespace

QString describe(const QWidget* w) {
  if (!w) return QStringLiteral("(none)");
  const QString cls = QString::fromLatin1(w->metaObject()->className());
  if (!w->objectName().isEmpty()) return w->objectName() + QStringLiteral(" (") + cls + u')';
  const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
  return cls + QStringLiteral(" at %1,%2").arg(at.x()).arg(at.y());
}

QString announcedLabel(QWidget* w) {
  QAccessibleInterface* iface = w ? QAccessible::queryAccessibleInterface(w) : nullptr;
  if (!iface) return {};
  if (!nameIsValue(w)) return iface->text(QAccessible::Name).trimmed();
  if (const QString own = w->accessibleName().trimmed(); !own.isEmpty()) return own;
  return labelRelation(iface);
}

bool isControlRole(QAccessible::Role role) {
  static const QList<QAccessible::Role> generic{
      QAccessible::NoRole, QAccessible::Client, QAccessible::Pane,    QAccessible::Grouping,   QAccessible::Window,
      QAccessible::Dialog, QAccessible::Form,   QAccessible::Section, QAccessible::Whitespace, QAccessible::Separator};
  return !generic.contains(role);
}

QStringList labelProblems(QWidget* form) {
  QStringList problems;
  Shown shown(form);
  for (QWidget* w : tabStops(form)) {
    if (!QAccessible::queryAccessibleInterface(w)) {
      problems << describe(w) + QStringLiteral(" has no accessible interface");
    } else if (announcedLabel(w).isEmpty()) {
      problems << describe(w) + (nameIsValue(w) ? QStringLiteral(" is not announced with a label (no buddy label "
                                                                 "relation, no accessible name)")
                                                : QStringLiteral(" has no accessible name"));
    }
  }
  return problems;
}

QStringList descriptionProblems(QWidget* form) {
  QStringList problems;
  QList<QWidget*> all{form};
  all += form->findChildren<QWidget*>();
  for (QWidget* w : all) {
    if (w->toolTip().isEmpty() || !w->isVisibleTo(form->window())) continue;
    if (w->accessibleDescription() != w->toolTip()) {
      problems << describe(w) + QStringLiteral(": tool tip \"") + w->toolTip() +
                      QStringLiteral("\" is not its accessible description \"") + w->accessibleDescription() + u'"';
    }
  }
  return problems;
}

QStringList tabOrderProblems(QWidget* form) {
  Shown shown(form);
  if (!shown.active()) return {describe(form) + QStringLiteral(": the window did not become active")};
  const QList<QWidget*> order = ui::readingOrder(form);
  if (order.isEmpty()) return {};
  QStringList problems = walk(order, true);
  problems += walk(order, false);
  return problems;
}

QStringList accessibilityProblems(QWidget* form) {
  if (!form) return {QStringLiteral("no form")};
  return labelProblems(form) + descriptionProblems(form) + tabOrderProblems(form);
}

}  // namespace jex::test
