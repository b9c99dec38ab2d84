#include "widgets/menukeys.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

#include "base/error.h"
#include "widgets/menuentries.h"

namespace jex::ui {

QChar accessKey(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption.at(i) != u'&') continue;
    if (caption.at(i + 1) == u'&') {  // "&&" is a plain "&"
      ++i;
      continue;
    }
    return caption.at(i + 1).toUpper();
  }
  return {};
}

QChar entryLetter(const QAction* action) {
  if (!action || action->isSeparator()) return {};
  const QString text = action->text();
  const QChar key = accessKey(text);
  if (!key.isNull()) return key;
  for (const QChar c : text)
    if (!c.isSpace() && c != u'&') return c.toUpper();
  return {};
}

namespace {

// Sends one key press to the menu, as the keyboard would.
void press(QMenu* menu, Qt::Key key) {
  QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(menu, &event);
}

// Moves the menu's highlight to target with the arrow key, so that the move is announced as any
// other move by the keyboard is (and a submenu entry is not opened by being reached).
void moveTo(QMenu* menu, QAction* target) {
  const qsizetype guard = menu->actions().size() + 1;
  for (qsizetype i = 0; i < guard && menu->activeAction() != target; ++i) press(menu, Qt::Key_Down);
  if (menu->activeAction() != target) menu->setActiveAction(target);
}

class MenuKeyFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!menu) return false;
    return trapped("ui.MenuKeys", false, [&] { return letter(menu, *static_cast<QKeyEvent*>(event)); });
  }

 private:
  static bool letter(QMenu* menu, const QKeyEvent& key) {
    const Qt::KeyboardModifiers others = key.modifiers() & ~(Qt::ShiftModifier | Qt::AltModifier | Qt::KeypadModifier);
    if (others != Qt::NoModifier || key.text().size() != 1) return false;
    const QChar c = key.text().at(0).toUpper();
    if (!c.isPrint() || c.isSpace()) return false;
    QList<QAction*> marked, first;
    const QList<QAction*> actions = menu->actions();
    for (QAction* a : actions) {
      if (a->isSeparator() || !a->isVisible() || !a->isEnabled()) continue;
      const QChar mark = accessKey(a->text());
      if (!mark.isNull()) {
        if (mark == c) marked << a;
      } else if (entryLetter(a) == c) {
        first << a;
      }
    }
    const QList<QAction*>& hits = marked.isEmpty() ? first : marked;
    if (hits.isEmpty()) return true;  // no entry answers: the key does nothing
    if (hits.size() == 1) {
      moveTo(menu, hits.first());
      press(menu, Qt::Key_Return);
      return true;
    }
    // Several entries answer: the next one below the current entry, else the first.
    const qsizetype current = actions.indexOf(menu->activeAction());
    QAction* next = hits.first();
    for (QAction* a : hits) {
      if (actions.indexOf(a) > current) {
        next = a;
        break;
      }
    }
    moveTo(menu, next);
    return true;
  }
};

}  // namespace

void applyMenuKeys(QMenu* menu) {
  trap("ui.applyMenuKeys", [&] {
    if (!menu || menu->property("jexMenuKeys").toBool()) return;
    menu->setProperty("jexMenuKeys", true);
    menu->installEventFilter(new MenuKeyFilter(menu));
    // Its entries are read with their check states, and readers hear of entries added later.
    tellMenuEntryStates();
    watchMenuEntries(menu);
  });
}

}  // namespace jex::ui
