#include "widgets/fieldfocus.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPointer>

#include "base/error.h"

namespace jex::ui {

namespace {

class FieldFocus : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::FocusIn || replaying_) return false;
    return trapped("ui::FieldFocus", false, [&] {
      auto* edit = qobject_cast<QLineEdit*>(watched);
      // A field inside a spin box or a drop-down list has the focus as part of its owner.
      if (!edit || QApplication::focusWidget() != edit || !edit->inputMask().isEmpty()) return false;
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason && reason != Qt::ShortcutFocusReason)
        return false;
      QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason);  // handled without selecting the text
      replaying_ = true;
      QCoreApplication::sendEvent(edit, &plain);
      replaying_ = false;
      if (!edit->isReadOnly() && !edit->text().isEmpty()) {
        QMetaObject::invokeMethod(
            edit,
            [field = QPointer<QLineEdit>(edit)] {
              trap("ui::FieldFocus.select", [&] {
                if (field && field->hasFocus() && !field->hasSelectedText()) field->selectAll();
              });
            },
            Qt::QueuedConnection);
      }
      return true;
    });
  }

 private:
  bool replaying_ = false;
};

}  // namespace

void installFieldFocus() {
  trap("ui::installFieldFocus", [] {
    static FieldFocus* filter = nullptr;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (filter || !app) return;
    filter = new FieldFocus(app);
    app->installEventFilter(filter);
  });
}

}  // namespace jex::ui
