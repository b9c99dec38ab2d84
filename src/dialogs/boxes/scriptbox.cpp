#include "dialogs/boxes/scriptbox.h"

namespace jex {

ScriptBox::ScriptBox(const QString& name, QString event)
    : BoxForm(name), fields_(std::make_shared<ScriptBoxObject>(name)), event_(std::move(event)) {
  setAttribute(Qt::WA_DeleteOnClose);
}

void ScriptBox::answer(const QString& result) {
  fields_->Result = result;
  fields_->CallBack(event_);
  hide();
  deleteLater();
}

}  // namespace jex
