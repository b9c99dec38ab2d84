// The one stand-in core of the tests: the stand-in core's own automation objects (corvane::Root
// with proc, BrailleInterface, users and the notification members) over a model without speech,
// window or bus, in a temporary application directory. What the core is asked to do is recorded.
// Header-only: an area that includes it links corvane_engine.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "automation/automation.h"
#include "automation/dispatchable.h"
#include "base/log.h"
#include "corvane/engine/appdir.h"
#include "corvane/engine/commandrouter.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/eventhub.h"
#include "corvane/engine/objects.h"
#include "corvane/engine/settingsstore.h"
#include "global/cglobal.h"

namespace fake {

class Core : public corvane::CoreModel {
 public:
  // dir: the application directory (created when missing).
  explicit Core(const QString& dir) : store(dir + QStringLiteral("/corvane.ini")), path(dir + u'/') {
    QDir().mkpath(dir);
    // The shipped speech defaults and character tables, as the running core has them.
    corvane::copyTreeKeepExisting(QStringLiteral(JEX_SOURCE_DIR "/data/speech"), path + QStringLiteral("speech"));
    QObject::connect(&router, &corvane::CommandRouter::routed, [this](const QString& l) { reports << l; });
    // A few of the core's own commands, with the outcomes the stand-in core reports.
    const auto speech = [this](int on) {
      return [this, on] {
        setUseSpeech(on < 0 ? !useSpeech() : on == 1);
        return QStringLiteral("UseSpeech=%1").arg(useSpeech() ? 1 : 0);
      };
    };
    router.addCommand(QStringLiteral("SETSPON"), speech(1));
    router.addCommand(QStringLiteral("SETSPOFF"), speech(0));
    router.addCommand(QStringLiteral("SETSPTOGGLE"), speech(-1));
    router.addCommand(QStringLiteral("HELP"), [this] { return speakNow(QStringLiteral("Hilfe für ") + foreground); });
    router.addCommand(QStringLiteral("READEDITCUR"),
                      [this] { return speakNow(foreground + QStringLiteral(" Eingabefeld")); });
    router.addCommand(QStringLiteral("SAYTIME"), [] { return QString(); });
    router.addCommand(QStringLiteral("DELAYPROCESSING"), [] { return QString(); });
  }

  QString appPath() const override { return path; }
  corvane::SettingsStore& settings() override { return store; }
  corvane::EventHub& events() override { return hub; }
  QString foregroundApp() const override { return foreground; }
  qint64 foregroundWindow() const override { return foregroundWnd; }
  void queueCommand(const QString& c) override {
    queued << c;
    if (routeQueued) router.queue(c);
  }
  void speak(const QString& text, int source) override {
    spoken << text << source;
    reports << (useSpeech() ? QStringLiteral("SPEAK: ") : QStringLiteral("MUTED: ")) + text;
  }
  void stopSpeech() override { reports << QStringLiteral("STOP"); }
  bool monitorVisible() const override { return visible; }
  void setMonitorVisible(bool v) override { visible = v; }
  bool useSpeech() const override {
    return store.value(corvane::ini::General, corvane::ini::UseSpeech, QStringLiteral("1")) == u"1";
  }
  void setUseSpeech(bool on) override {
    store.setValue(corvane::ini::General, corvane::ini::UseSpeech, on ? QStringLiteral("1") : QStringLiteral("0"));
  }
  void setLanguage(const QString& l) override { reports << QStringLiteral("LANGUAGE: ") + l; }
  void report(const QString& l) override { reports << l; }
  // What was said aloud, in order, without the "SPEAK: " of the report lines.
  QStringList said() const {
    QStringList out;
    for (const QString& l : reports)
      if (l.startsWith(u"SPEAK: ")) out << l.mid(7);
    return out;
  }

  // The foreground application changes: the core tells JexUI.
  void switchTask(const QString& from, const QString& to) {
    foreground = to.toUpper();
    reports << QStringLiteral("SWITCH: ") + from.toUpper() + u'/' + foreground;
    hub.processSwitch(from, to);
  }

  corvane::IniFileStore store;
  QString path;
  corvane::EventHub hub;
  corvane::CommandRouter router{hub};
  QString foreground = QStringLiteral("WINWORD");
  qint64 foregroundWnd = 4711;
  bool visible = false;
  bool routeQueued = false;  // AddToCMDQueue also routes the command, as the running core does
  QStringList queued;        // AddToCMDQueue
  QVariantList spoken;       // text, source
  QStringList reports;       // the core's report lines ("CMD: ...", "SPEAK: ...", "CALLBACK: ...")

 private:
  QString speakNow(const QString& text) {
    speak(text, 1);
    return QString();
  }
};

// An object of the stand-in core with members of a test's own in front of it (a member that
// fails, records or answers by reference); every other member goes to the object behind.
class Front : public jex::automation::Dispatchable {
 public:
  explicit Front(jex::Obj behind) : Dispatchable(behind.target()->className()), behind_(std::move(behind)) {}
  using Dispatchable::method;
  using Dispatchable::property;
  QVariant invoke(const QString& member, jex::automation::CallKind kind, QVariantList& args) override {
    for (const auto& m : members())
      if (m.name.compare(member, Qt::CaseInsensitive) == 0) return Dispatchable::invoke(member, kind, args);
    return behind_.target()->invoke(member, kind, args);
  }

 private:
  jex::Obj behind_;
};

// The shipped default user profile as user/DEFAULT below appPath (which ends with "/").
inline void copyDefaultUser(const QString& appPath) {
  corvane::copyTreeKeepExisting(QStringLiteral(JEX_SOURCE_DIR "/data/user/DEFAULT"),
                                appPath + QStringLiteral("user/DEFAULT"));
}

// A temporary application directory with the shipped default profile, the core, its root object
// as Jex() and cGlobal.AppPath, and jexui.log in the directory. Resets the globals when it ends.
class CoreFixture {
 public:
  CoreFixture() {
    copyDefaultUser(appPath());
    jex::Jex() = root;
    jex::gGlobal().AppPath = appPath();
    jex::logfile::setPath(appPath() + QStringLiteral("jexui.log"));
    jex::logfile::setThreshold(5);
  }
  ~CoreFixture() {
    jex::logfile::setPath({});
    jex::logfile::setThreshold(0);
    jex::resetGlobals();
  }
  QString appPath() const { return dir.path() + u'/'; }
  QString userDir(const QString& name = QStringLiteral("DEFAULT")) const {
    return appPath() + QStringLiteral("user/") + name + u'/';
  }
  QString logText() const { return readFile(appPath() + QStringLiteral("jexui.log")); }
  QStringList logLines() const { return logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts); }
  static QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  static void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
  }

  QTemporaryDir dir;
  Core core{dir.path()};
  jex::Obj root{std::make_shared<corvane::Root>(core)};
};

}  // namespace fake
