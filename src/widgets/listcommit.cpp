#include "widgets/listcommit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>

#include "base/error.h"
#include "widgets/buttonkeys.h"

namespace jex::ui {

ListCommit::ListCommit(QWidget* list, std::function<void()> commit)
    : QObject(list), list_(list), commit_(std::move(commit)) {
  list->installEventFilter(this);
}

ListCommit* ListCommit::attach(QComboBox* list, std::function<void()> commit) {
  return trapped("ListCommit.attach", static_cast<ListCommit*>(nullptr), [&]() -> ListCommit* {
    if (!list) return nullptr;
    auto* c = new ListCommit(list, std::move(commit));
    connect(list, &QComboBox::currentIndexChanged, c, [c] { c->changed(); });
    return c;
  });
}

ListCommit* ListCommit::attach(QAbstractItemView* list, std::function<void()> commit) {
  return trapped("ListCommit.attach", static_cast<ListCommit*>(nullptr), [&]() -> ListCommit* {
    if (!list || !list->selectionModel()) return nullptr;
    auto* c = new ListCommit(list, std::move(commit));
    connect(list->selectionModel(), &QItemSelectionModel::currentChanged, c, [c] { c->changed(); });
    return c;
  });
}

bool ListCommit::dropDownOpen() const {
  auto* combo = qobject_cast<QComboBox*>(list_.data());
  return combo && combo->view() && combo->view()->isVisible();
}

bool ListCommit::beingHidden() const {
  // A window on its way out is marked hidden before its focus goes.
  for (const QWidget* w = list_; w; w = w->parentWidget())
    if (w->testAttribute(Qt::WA_WState_Hidden)) return true;
  return !list_->isVisible();
}

void ListCommit::changed() {
  trap("ListCommit.changed", [&] {
    if (byKey_ && !dropDownOpen()) {
      pending_ = true;  // passed by arrowing: the user has not settled yet
      return;
    }
    pending_ = true;
    commitNow();
  });
}

void ListCommit::commitNow() {
  trap("ListCommit.commit", [&] {
    if (!std::exchange(pending_, false) || !commit_) return;
    // What the commit changes in the list is its own doing, not the user's arrowing.
    const bool byKey = std::exchange(byKey_, false);
    commit_();
    byKey_ = byKey;
  });
}

bool ListCommit::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_) return false;
  return trapped("ListCommit.eventFilter", false, [&] {
    switch (event->type()) {
      case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isEnter(*key) && !dropDownOpen()) {
          commitNow();
          return false;  // then Enter goes on (the default button)
        }
        if (byKey_) return false;  // the press handed on below
        // The list handles the key while it is known to be the user's; its propagation to the
        // parents (a key the list does not take) is done there too.
        byKey_ = true;
        QApplication::sendEvent(list_, event);
        byKey_ = false;
        return true;
      }
      case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason) return false;  // its own drop-down
        if (beingHidden()) pending_ = false;               // hidden with its window (Escape): dropped
        else commitNow();
        return false;
      }
      case QEvent::Hide:
        pending_ = false;
        return false;
      default:
        return false;
    }
  });
}

}  // namespace jex::ui
