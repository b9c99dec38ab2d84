#include "widgets/accessibility.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <algorithm>

#include "base/error.h"
#include "widgets/accessiblecombo.h"

namespace jex::ui {

namespace {

// Every application that shows these forms gives its drop-down lists the interface readers need:
// installed once the application is made, after the toolkit's own factory, which it precedes.
void installFactoriesAtStart() {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { installAccessibleFactories(); }, Qt::QueuedConnection);
}
Q_COREAPP_STARTUP_FUNCTION(installFactoriesAtStart)

// Dynamic properties that remember what these helpers set, so that a refresh can tell a copied
// caption or tool tip from a value a dialog set on purpose.
constexpr const char* nameLabelProperty = "jex_nameFromLabel";         // QPointer<QLabel> as QVariant
constexpr const char* nameTitleProperty = "jex_nameFromTitle";         // bool
constexpr const char* descriptionProperty = "jex_descriptionFromTip";  // bool

QList<QWidget*> selfAndDescendants(QWidget* form) {
  QList<QWidget*> all{form};
  all += form->findChildren<QWidget*>();
  return all;
}

void nameFromLabel(QWidget* control, QLabel* label) {
  control->setAccessibleName(plainCaption(label->text()));
  control->setProperty(nameLabelProperty, QVariant::fromValue(QPointer<QLabel>(label)));
}

}  // namespace

QString plainCaption(const QString& caption) {
  QString out;
  out.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption.at(i) == u'&') {
      if (i + 1 < caption.size() && caption.at(i + 1) == u'&') {
        out.append(u'&');
        ++i;
      }
      continue;
    }
    out.append(caption.at(i));
  }
  return out;
}

void setBuddy(QLabel* label, QWidget* control) {
  trap("ui::setBuddy", [&] {
    if (!label || !control) return;
    label->setBuddy(control);
    // Qt finds the label relation among the control's siblings only.
    if (label->parentWidget() != control->parentWidget()) nameFromLabel(control, label);
  });
}

void setTip(QWidget* control, const QString& tip) {
  trap("ui::setTip", [&] {
    if (!control) return;
    control->setToolTip(tip);
    control->setAccessibleDescription(tip);
    control->setProperty(descriptionProperty, true);
  });
}

void syncDescriptions(QWidget* form) {
  trap("ui::syncDescriptions", [&] {
    if (!form) return;
    for (QWidget* w : selfAndDescendants(form)) {
      const bool ours = w->property(descriptionProperty).toBool();
      if (!ours && !w->accessibleDescription().isEmpty()) continue;  // set on purpose
      if (w->toolTip().isEmpty() && !ours) continue;
      w->setAccessibleDescription(w->toolTip());
      w->setProperty(descriptionProperty, true);
    }
  });
}

void refreshNames(QWidget* form) {
  trap("ui::refreshNames", [&] {
    if (!form) return;
    for (QWidget* w : selfAndDescendants(form)) {
      const QVariant labelRef = w->property(nameLabelProperty);
      if (labelRef.isValid()) {
        if (QLabel* label = labelRef.value<QPointer<QLabel>>()) nameFromLabel(w, label);
        continue;
      }
      auto* box = qobject_cast<QGroupBox*>(w);
      if (!box) continue;
      if (box->accessibleName().isEmpty() || box->property(nameTitleProperty).toBool()) {
        box->setAccessibleName(plainCaption(box->title()));
        box->setProperty(nameTitleProperty, true);
      }
    }
  });
}

void setGroupTitle(QGroupBox* box, const QString& title) {
  trap("ui::setGroupTitle", [&] {
    if (!box) return;
    box->setTitle(title);
    if (box->property(nameTitleProperty).toBool()) box->setAccessibleName(plainCaption(title));
  });
}

void refreshAccessibility(QWidget* form) {
  syncDescriptions(form);
  refreshNames(form);
}

QWidget* tabStopOf(QWidget* w) {
  // An inner widget hands its focus to the outer control (the line edit of a spin box), or the
  // outer control hands its focus to the inner widget (the line edit of an editable combo box).
  while (w) {
    QWidget* proxy = w->focusProxy();
    if (proxy && proxy->isAncestorOf(w)) {
      w = proxy;
    } else if (w->parentWidget() && w->parentWidget()->focusProxy() == w) {
      w = w->parentWidget();
    } else {
      break;
    }
  }
  return w;
}

bool isTabStop(const QWidget* w) {
  if (!w || w->isWindow() || !w->isEnabled() || !w->isVisibleTo(w->window())) return false;
  if (!(w->focusPolicy() & Qt::TabFocus)) return false;
  return tabStopOf(const_cast<QWidget*>(w)) == w;
}

QList<QWidget*> readingOrder(QWidget* form) {
  return trapped("ui::readingOrder", QList<QWidget*>{}, [&] {
    struct Item {
      QWidget* w;
      QRect r;
    };
    std::vector<Item> items;
    if (!form) return QList<QWidget*>{};
    for (QWidget* w : form->findChildren<QWidget*>()) {
      if (w->window() == form->window() && isTabStop(w)) {
        items.push_back({w, QRect(w->mapTo(form->window(), QPoint(0, 0)), w->size())});
      }
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
      return a.r.top() != b.r.top() ? a.r.top() < b.r.top() : a.r.left() < b.r.left();
    });
    const bool rtl = form->layoutDirection() == Qt::RightToLeft;
    QList<QWidget*> order;
    auto row = items.begin();
    while (row != items.end()) {
      int bottom = row->r.bottom();
      auto next = row + 1;
      while (next != items.end() && next->r.center().y() <= bottom) {
        bottom = std::max(bottom, next->r.bottom());
        ++next;
      }
      std::stable_sort(row, next, [rtl](const Item& a, const Item& b) {
        return rtl ? a.r.right() > b.r.right() : a.r.left() < b.r.left();
      });
      for (auto it = row; it != next; ++it) order.append(it->w);
      row = next;
    }
    return order;
  });
}

void setTabOrder(const QList<QWidget*>& widgets) {
  trap("ui::setTabOrder", [&] {
    QWidget* previous = nullptr;
    for (QWidget* w : widgets) {
      if (!w) continue;
      if (previous) QWidget::setTabOrder(previous, w);
      previous = w;
    }
  });
}

void setTabOrderByReading(QWidget* form) { setTabOrder(readingOrder(form)); }

}  // namespace jex::ui
