#include "widgets/fieldfocus.h"

#include <QApplication>
#include <QComboBox>
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
    if (event->type() == QEvent::FocusOut && !replaying_)
      return trapped("ui::FieldFocus.out", false, [&] {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        return leave(edit ? edit : fieldOf(watched), watched, static_cast<QFocusEvent*>(event)->reason());
      });
    if (event->type() != QEvent::FocusIn || replaying_) return false;
    return trapped("ui::FieldFocus", false, [&] {
      // A field inside a spin box has the focus as part of its owner and keeps the toolkit's
      // handling; an editable drop-down list has the focus itself and hands it on to its field,
      // which it selects in the same way as a field of its own.
      QLineEdit* edit = qobject_cast<QLineEdit*>(watched);
      if (!edit) edit = fieldOf(watched);
      if (!edit || QApplication::focusWidget() != watched || !edit->inputMask().isEmpty()) return false;
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason && reason != Qt::ShortcutFocusReason)
        return false;
      QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason);  // handled without selecting the text
      replaying_ = true;
      QCoreApplication::sendEvent(watched, &plain);
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
  // The field of an editable drop-down list (the list itself has the focus), none for others.
  static QLineEdit* fieldOf(QObject* watched) {
    auto* combo = qobject_cast<QComboBox*>(watched);
    return combo && combo->isEditable() ? combo->lineEdit() : nullptr;
  }

  // A field left with its text selected keeps the selection (out of sight until it is entered
  // again, when it is selected anyway): taking it away would be said after the next control.
  // watched is the field or the drop-down list that holds it.
  bool leave(QLineEdit* edit, QObject* watched, Qt::FocusReason reason) {
    if (!edit || !edit->hasSelectedText() || !edit->inputMask().isEmpty() || reason == Qt::ActiveWindowFocusReason ||
        reason == Qt::PopupFocusReason || reason == Qt::MouseFocusReason)
      return false;
    QFocusEvent keep(QEvent::FocusOut, Qt::ActiveWindowFocusReason);  // handled without deselecting
    replaying_ = true;
    QCoreApplication::sendEvent(watched, &keep);
    replaying_ = false;
    return true;
  }

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
