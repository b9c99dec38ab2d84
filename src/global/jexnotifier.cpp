#include "global/jexnotifier.h"

#include <QPointer>

#include "automation/dispatchable.h"
#include "base/error.h"

namespace jex {
namespace {

// The object the core calls; it forwards to the notifier while that exists.
class Receiver : public automation::Dispatchable {
 public:
  explicit Receiver(JexNotifier* owner) : Dispatchable(QStringLiteral("JexNotifier")), owner_(owner) {
    using automation::Args;
    event("TaskSwitch", &JexNotifier::TaskSwitchEvent);
    event("UIGotFocus", &JexNotifier::UIGotFocusEvent);
    event("UILostFocus", &JexNotifier::UILostFocusEvent);
    event("AudioStart", &JexNotifier::AudioStartEvent);
    event("AudioStop", &JexNotifier::AudioStopEvent);
    method(QStringLiteral("HandleCmd"), 1, 1, [this](Args& a) {
      QString s = a.str(0);
      if (owner_) emit owner_->HandleCmdEvent(s);
      a.set(0, s);
      return QVariant();
    });
  }

 private:
  void event(const char* name, void (JexNotifier::*signal)()) {
    procedure(QString::fromLatin1(name), [this, signal] {
      if (owner_) emit(owner_.data()->*signal)();
    });
  }
  QPointer<JexNotifier> owner_;
};

}  // namespace

JexNotifier::JexNotifier(automation::Obj core, QObject* parent)
    : QObject(parent), core_(std::move(core)), receiver_(std::make_shared<Receiver>(this)) {}

JexNotifier::~JexNotifier() = default;

bool JexNotifier::InstallHook(qint64 windowHandle, bool install) {
  return trapped("JexNotifier.InstallHook", false, [&] {
    if (core_.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("no core"));
    const auto handle = qint32(windowHandle);
    const QVariant answer =
        install ? core_.call(QStringLiteral("JexNotifier_Install"), {automation::fromObj(receiver_), handle})
                : core_.call(QStringLiteral("JexNotifier_Remove"), {handle});
    return automation::toBool(answer);
  });
}

}  // namespace jex
