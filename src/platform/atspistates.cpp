#include "platform/atspistates.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QPointer>
#include <QTimer>

#include "base/error.h"
#include "base/log.h"

namespace jex::platform::atspi {

namespace {

// The toolkit's bridge: its connection to the accessibility bus and the path below which it
// serves every accessible object ("/org/a11y/atspi/accessible/<id>").
const QString kConnection = QStringLiteral("a11y");
const QString kObjects = QStringLiteral("/org/a11y/atspi/accessible");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");

// AT-SPI's state numbers (AtspiStateType).
enum Bit : int {
  kActive = 1,
  kChecked = 4,
  kEnabled = 8,
  kExpandable = 9,
  kExpanded = 10,
  kFocusable = 11,
  kFocused = 12,
  kHasPopup = 40,
  kCheckable = 41,
  kPressed = 20,
  kSelectable = 22,
  kSelected = 23,
  kSensitive = 24,
  kShowing = 25,
  kVisible = 30,
  kIndeterminate = 32,
  kReadOnly = 42,
};

StateHook& hook() {
  static StateHook h;
  return h;
}

// Between the bus and the bridge: the state question about an object the hook knows is answered
// here, everything else by the bridge.
class StateAnswer : public QDBusVirtualObject {
 public:
  explicit StateAnswer(QDBusVirtualObject* bridge)
      : QDBusVirtualObject(QCoreApplication::instance()), bridge_(bridge) {}

  QString introspect(const QString& path) const override { return bridge_ ? bridge_->introspect(path) : QString(); }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() == kAccessible && message.member() == QLatin1String("GetState")) {
      const std::optional<quint64> bits =
          trapped("platform.atspi.GetState", std::optional<quint64>(), [&] { return answer(message.path()); });
      if (bits) {
        QDBusArgument words;
        words.beginArray(QMetaType::fromType<uint>());
        words << uint(*bits & 0xffffffffu) << uint(*bits >> 32);
        words.endArray();
        return connection.send(message.createReply(QVariant::fromValue(words)));
      }
    }
    return bridge_ && bridge_->handleMessage(message, connection);
  }

 private:
  static std::optional<quint64> answer(const QString& path) {
    if (!hook() || !path.startsWith(kObjects + u'/')) return std::nullopt;
    bool ok = false;
    const auto id = QAccessible::Id(QStringView(path).mid(kObjects.size() + 1).toUInt(&ok));
    QAccessibleInterface* object = ok ? QAccessible::accessibleInterface(id) : nullptr;
    if (!object || !object->isValid()) return std::nullopt;
    const std::optional<QAccessible::State> state = hook()(object);
    if (!state) return std::nullopt;
    return stateBits(*state);
  }

  QPointer<QDBusVirtualObject> bridge_;
};

bool& installed() {
  static bool done = false;
  return done;
}

// Puts the answer between the bus and the bridge once the bridge serves its objects; true when
// it stands there.
bool install() {
  if (installed()) return true;
  return trapped("platform.atspi.install", false, [] {
    QDBusConnection bus(kConnection);
    if (!bus.isConnected()) return false;
    auto* bridge = qobject_cast<QDBusVirtualObject*>(bus.objectRegisteredAt(kObjects));
    if (!bridge) return false;
    auto* answer = new StateAnswer(bridge);
    bus.unregisterObject(kObjects);
    if (!bus.registerVirtualObject(kObjects, answer, QDBusConnection::SubPath)) {
      // Put back as it was.
      bus.registerVirtualObject(kObjects, bridge, QDBusConnection::SubPath);
      delete answer;
      WriteErrorLog(QStringLiteral("platform.atspi: the states cannot be answered"));
      return false;
    }
    installed() = true;
    WriteLog(QStringLiteral("platform.atspi: states answered for the toolkit's bridge"), kDetail);
    return true;
  });
}

// Waits for the bridge: it comes up when readers are found on the accessibility bus.
class BridgeWatch : public QAccessible::ActivationObserver {
 public:
  void accessibilityActiveChanged(bool active) override {
    // The bridge registers its objects after it told the observers.
    if (active) QTimer::singleShot(0, QCoreApplication::instance(), [] { install(); });
  }
};

}  // namespace

quint64 stateBits(const QAccessible::State& s) {
  quint64 bits = 0;
  const auto set = [&bits](Bit b, bool on) {
    if (on) bits |= quint64(1) << b;
  };
  set(kActive, s.active);
  set(kEnabled, !s.disabled);
  set(kSensitive, !s.disabled);
  set(kSelected, s.selected);
  set(kFocused, s.focused);
  set(kPressed, s.pressed);
  set(kChecked, s.checked);
  set(kCheckable, s.checkable);
  set(kIndeterminate, s.checkStateMixed);
  set(kReadOnly, s.readOnly);
  set(kExpandable, s.expandable);
  set(kExpanded, s.expanded);
  set(kVisible, !s.invisible);
  set(kShowing, !s.offscreen);  // as the bridge has it
  set(kFocusable, s.focusable);
  set(kSelectable, s.selectable);
  set(kHasPopup, s.hasPopup);
  return bits;
}

void answerStates(StateHook h) {
  trap("platform.atspi.answerStates", [&] {
    hook() = std::move(h);
    static BridgeWatch* watch = nullptr;
    if (!watch && QCoreApplication::instance()) {
      watch = new BridgeWatch;
      QAccessible::installActivationObserver(watch);
    }
    if (QAccessible::isActive()) install();
  });
}

bool answering() { return installed(); }

}  // namespace jex::platform::atspi
