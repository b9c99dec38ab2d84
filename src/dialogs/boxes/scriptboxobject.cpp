#include "dialogs/boxes/scriptboxobject.h"

#include "base/log.h"
#include "context/appcontext.h"

namespace jex {

using automation::toStr;

ScriptBoxObject::ScriptBoxObject(const QString& formName) : Dispatchable(formName) {
  auto text = [this](const QString& name, QString ScriptBoxObject::*field) {
    property(
        name, [this, field] { return QVariant(this->*field); },
        [this, field](const QVariant& v) { this->*field = toStr(v); });
  };
  text(QStringLiteral("Result"), &ScriptBoxObject::Result);
  text(QStringLiteral("Cookie"), &ScriptBoxObject::Cookie);
  text(QStringLiteral("Buttons"), &ScriptBoxObject::Buttons);
  text(QStringLiteral("application"), &ScriptBoxObject::application);
}

void ScriptBoxObject::CallBack(const QString& event) {
  trap("ScriptBox.CallBack", [&] {
    // A message box's result is its button; what was typed into an input box stays out of the
    // log, only its length is written.
    const bool button = event.compare(QLatin1String("OnMsgBoxClick"), Qt::CaseInsensitive) == 0;
    WriteLog(className() + QStringLiteral(" ") + event + QStringLiteral(": ") +
                 (button ? Result : QStringLiteral("<%1 characters>").arg(Result.size())),
             kDetail);
    QVariantList args{application, automation::fromObj(Obj(shared_from_this())), event, 0};
    appContext().core().call(QStringLiteral("proc.CallBack"), args);
    application = toStr(args.value(0));
  });
}

QString coreForeGroundApp() {
  return trapped("ScriptBox.ForeGroundApp", QString(), [] {
    Obj& core = appContext().core();
    return core.isNothing() ? QString() : core.str(QStringLiteral("proc.ForeGroundApp"));
  });
}

}  // namespace jex
