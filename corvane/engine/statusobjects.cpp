#include "corvane/engine/statusobjects.h"

#include <liblouis/liblouis.h>

#include "corvane/engine/automationnames.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/keyecho.h"
#include "corvane/engine/settingsstore.h"

namespace corvane {

namespace {

const QString kKeyEcho = QStringLiteral("KeyEcho");

QString version() {
  return QStringLiteral("%1.%2.%3").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR).arg(JEX_VERSION_REVISION);
}

class AppObject : public Dispatchable {
 public:
  AppObject() : Dispatchable(QStringLiteral("AppObject")) {
    property(QStringLiteral("Major"), [] { return QVariant(JEX_VERSION_MAJOR); });
    property(QStringLiteral("Minor"), [] { return QVariant(JEX_VERSION_MINOR); });
    property(QStringLiteral("Revision"), [] { return QVariant(JEX_VERSION_REVISION); });
    property(QStringLiteral("Name"), [] { return QVariant(QStringLiteral("Corvane")); });
    defaultMember(QStringLiteral("Name"));
  }
};

class Component : public Dispatchable {
 public:
  Component(const QString& name, QString versions) : Dispatchable(name), versions_(std::move(versions)) {
    property(QStringLiteral("ComponentVersions"), [this] { return QVariant(versions_); });
    defaultMember(QStringLiteral("ComponentVersions"));
  }

 private:
  QString versions_;
};

// The core's system services: the version line and the window in front.
class SystemObject : public Component {
 public:
  SystemObject(CoreModel& model, QString versions) : Component(QStringLiteral("System"), std::move(versions)) {
    method(
        QStringLiteral("GetRealForegroundWindow"), 0, 0,
        [&model](jex::automation::Args&) {
          return QVariant(int(model.foregroundWindow()));  // window ids fit 32 bits
        },
        QStringLiteral("the handle of the active top-level window, 0 when there is none"));
  }
};

// The key echo's nine settings, live: a put changes what is echoed now; SaveValues stores
// them in corvane.ini, LoadValues takes the stored ones back. TryKey echoes one key with the
// live settings, as if typed into a field with that text and caret.
class KeyEchoObject : public Dispatchable {
 public:
  explicit KeyEchoObject(CoreModel& model) : Dispatchable(kKeyEcho) {
    for (int i = 0; i < KeyEcho::kMemberCount; ++i)
      property(
          QLatin1String(KeyEcho::members()[size_t(i)].name), [&model, i] { return QVariant(model.keyEcho().value(i)); },
          [&model, i](const QVariant& v) { model.keyEcho().setValue(i, toI32(v)); });
    procedure(
        QStringLiteral("SaveValues"),
        [&model] {
          if (!model.keyEcho().save())
            throw jex::Error(jex::err::FileError, QStringLiteral("KeyEcho: cannot store the values"));
        },
        QStringLiteral("stores the key echo's settings"));
    procedure(
        QStringLiteral("LoadValues"), [&model] { model.keyEcho().load(); },
        QStringLiteral("takes the stored key echo's settings back"));
    method(
        QStringLiteral("TryKey"), 2, 5,
        [&model](Args& a) {
          TypedKey k;
          k.key = a.i32(0);
          k.text = a.str(1);
          k.modifiers = a.i32(2, 0);
          const QString text = a.str(3);
          return QVariant(model.keyEcho().echo(k, text, a.i32(4, int(text.size()))));
        },
        QStringLiteral(
            "TryKey(key, text [, modifiers, field text, caret]): echoes a key (Qt's codes) with the live settings; "
            "returns what was said"));
  }
};

}  // namespace

void addRootStatusMembers(const AddProperty& add, CoreModel& model) {
  const QString v = version();
  const auto app = std::make_shared<AppObject>();
  const auto sed = std::make_shared<Component>(QStringLiteral("SEDObject"),
                                               QStringLiteral("SED ") + v + QStringLiteral(" espeak-ng"));
  const auto mom = std::make_shared<Component>(QStringLiteral("MOMObject"), QStringLiteral("MOM ") + v);
  const auto sys = std::make_shared<SystemObject>(
      model, QStringLiteral("System ") + v + QStringLiteral(" Qt ") + QString::fromLatin1(qVersion()));
  const auto brl = std::make_shared<Component>(
      QStringLiteral("BrailleObject"),
      QStringLiteral("Braille ") + v + QStringLiteral(" liblouis ") + QString::fromLatin1(lou_version()));
  const auto echo = std::make_shared<KeyEchoObject>(model);
  add(QStringLiteral("AppObject"), [app] { return fromObj(Obj(app)); }, {});
  add(QStringLiteral("SEDObject"), [sed] { return fromObj(Obj(sed)); }, {});
  add(QStringLiteral("MOMObject"), [mom] { return fromObj(Obj(mom)); }, {});
  add(QStringLiteral("System"), [sys] { return fromObj(Obj(sys)); }, {});
  add(QStringLiteral("BrailleObject"), [brl] { return fromObj(Obj(brl)); }, {});
  add(QStringLiteral("KeyEcho"), [echo] { return fromObj(Obj(echo)); }, {});
}

void addProcStatusMembers(const AddProperty& add, CoreModel& model) {
  // The speech switch as the core keeps it ([General] UseSpeech); setting it announces the new
  // state (while speech is off the announcement only reaches the log as muted).
  add(
      QStringLiteral("UseSpeechAndSayStat"), [&model] { return QVariant(model.useSpeech()); },
      [&model](const QVariant& v) {
        const bool on = toBool(v);
        model.setUseSpeech(on);
        model.speak(on ? QStringLiteral("Sprache an") : QStringLiteral("Sprache aus"), 1);
      });
  add(
      QStringLiteral("HotkeyState"),
      [&model] {
        const QString v =
            model.settings().value(ini::General, QStringLiteral("HotkeyState"), QStringLiteral("1")).trimmed();
        return QVariant(v == u"1" || v.compare(u"true", Qt::CaseInsensitive) == 0);
      },
      [&model](const QVariant& v) {
        model.settings().setValue(ini::General, QStringLiteral("HotkeyState"),
                                  toBool(v) ? QStringLiteral("1") : QStringLiteral("0"));
      });
}

}  // namespace corvane
