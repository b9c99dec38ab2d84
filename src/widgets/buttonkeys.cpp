#include "widgets/buttonkeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

#include "base/error.h"

namespace jex::ui {
namespace {

class EnterOnButtons : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    return trapped("ui.EnterOnButtons", false, [&] {
      auto* button = qobject_cast<QAbstractButton*>(watched);
      if (!button || !(qobject_cast<QPushButton*>(button) || qobject_cast<QToolButton*>(button))) return false;
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!isEnter(*key)) return false;
      if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
      if (!button->hasFocus() || !button->isEnabled() || !button->isVisible()) return false;
      if (!key->isAutoRepeat()) button->click();  // a held key presses once
      return true;
    });
  }
};

}  // namespace

void pressFocusedButtonOnEnter() {
  trap("ui.pressFocusedButtonOnEnter", [] {
    static QPointer<EnterOnButtons> filter;
    QCoreApplication* app = QCoreApplication::instance();
    if (filter || !app) return;
    filter = new EnterOnButtons(app);
    app->installEventFilter(filter);
  });
}

}  // namespace jex::ui
