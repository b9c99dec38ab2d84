#include "corvane/engine/keyinput.h"

#include <QRegularExpression>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/coremodel.h"

namespace corvane {

namespace {
const QString kKeypadPrefix = QStringLiteral("KP:");
const QString kDefault = QStringLiteral("DEFAULT");

QString kindWord(BindingKind kind) {
  return kind == BindingKind::Braille ? QStringLiteral("BRLKEY: ") : QStringLiteral("KEY: ");
}
}  // namespace

KeyboardCode keyboardCodeKind(const QString& code) {
  static const QRegularExpression keypad(QStringLiteral("^L[0-9D/*+E-]N[0-9D/*+E-]$"));
  if (!isKeyCode(code)) return KeyboardCode::None;
  if (code.contains(QStringLiteral("CAP_"))) return KeyboardCode::ScreenReader;
  if (keypad.match(code).hasMatch()) return KeyboardCode::Keypad;
  return KeyboardCode::None;
}

QStringList KeyChords::press(const QString& key) {
  if (key == u"CapsLock") caps_ = true;
  else if (key == u"Shift") shift_ = true;
  else if (key == u"Alt") alt_ = true;
  else if (key == u"Ctrl" || key.isEmpty()) return {};
  else if (key.startsWith(kKeypadPrefix)) {
    const QString name = key.mid(kKeypadPrefix.size());
    if (layer_.isEmpty()) {
      layer_ = name;
      layerUsed_ = false;
      return {};
    }
    if (layer_ == name) return {};  // the held key repeating
    layerUsed_ = true;
    return {QStringLiteral("L") + layer_ + QStringLiteral("N") + name};
  } else if (caps_) {
    return {QStringLiteral("CAP_") + key + (alt_ ? QStringLiteral("|A") : QString()) +
            (shift_ ? QStringLiteral("|S") : QString())};
  }
  return {};
}

QStringList KeyChords::release(const QString& key) {
  if (key == u"CapsLock") caps_ = false;
  else if (key == u"Shift") shift_ = false;
  else if (key == u"Alt") alt_ = false;
  else if (key.startsWith(kKeypadPrefix) && key.mid(kKeypadPrefix.size()) == layer_) {
    const QString name = std::exchange(layer_, {});
    if (!std::exchange(layerUsed_, false)) return {QStringLiteral("L0N") + name};
  }
  return {};
}

QString boundCommand(BindingStore& store, const QString& app, const QString& code, BindingKind kind) {
  return jex::trapped("boundCommand", QString(), [&] {
    QString name = kDefault;
    jex::trap("boundCommand.app", [&] {
      if (!app.trimmed().isEmpty()) name = bindingAppName(app);
    });
    const bool ownSet = name != kDefault;
    for (const QString& file :
         {ownSet ? store.userFile(name, kind) : QString(), store.userFile(kDefault, kind),
          ownSet ? store.shippedFile(name, kind) : QString(), store.shippedFile(kDefault, kind)}) {
      if (file.isEmpty()) continue;
      const QString command = store.set(file)->commandOf(code);
      if (!command.isEmpty()) return command;
    }
    return QString();
  });
}

KeyInput::KeyInput(CoreModel& model, std::shared_ptr<BindingStore> store) : model_(model), store_(std::move(store)) {}

void KeyInput::setHandles(BindingKind kind, bool on) {
  if (handles_[index(kind)] == on) return;
  handles_[index(kind)] = on;
  jex::WriteLog(kindWord(kind) + (on ? QStringLiteral("handled") : QStringLiteral("captured for JexUI")),
                jex::kTraffic);
  if (kind == BindingKind::Keyboard && listener_) listener_(!on);
}

void KeyInput::setLast(BindingKind kind, const QString& code) {
  const QString c = code.trimmed();
  if (!c.isEmpty() && !isKeyCode(c))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("not a key code: \"") + c.left(48) + u'"');
  last_[index(kind)] = c;
}

QString KeyInput::pressed(const QString& raw, BindingKind kind) {
  return jex::trapped("KeyInput.pressed", QString(), [&] {
    const QString code = raw.trimmed();
    const bool known = kind == BindingKind::Braille ? isKeyCode(code) : keyboardCodeKind(code) != KeyboardCode::None;
    QString line = kindWord(kind) + code.left(48);
    if (!known) {
      line += kind == BindingKind::Braille ? QStringLiteral(" is no key code") : QStringLiteral(" is no keyboard code");
      jex::WriteLog(line, jex::kTraffic);
    } else if (!handles(kind)) {
      last_[index(kind)] = code;
      line += QStringLiteral(" captured");
    } else {
      const QString app = model_.foregroundApp().toUpper();
      const QString command = boundCommand(*store_, app, code, kind);
      if (command.isEmpty()) {
        line += QStringLiteral(" starts nothing in ") + (app.isEmpty() ? kDefault : app);
      } else {
        line += QStringLiteral(" -> ") + command;
        model_.queueCommand(command);
      }
    }
    model_.report(line);
    return line;
  });
}

bool KeyInput::restore() {
  const bool captured = !handles_[0] || !handles_[1];
  setHandles(BindingKind::Keyboard, true);
  setHandles(BindingKind::Braille, true);
  return captured;
}

}  // namespace corvane
