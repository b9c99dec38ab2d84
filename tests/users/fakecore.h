// The stand-in core's automation objects in-process, over a private application directory
// whose user/DEFAULT is a copy of the shipped default profile.
#pragma once

#include <QTemporaryDir>

#include "core/automation/automation.h"
#include "corvane/core/coremodel.h"
#include "corvane/core/eventhub.h"
#include "corvane/core/settingsstore.h"

namespace usertest {

class FakeCore : public corvane::CoreModel {
 public:
  explicit FakeCore(const QString& dir) : store(dir + QStringLiteral("/corvane.ini")), path(dir + u'/') {}
  QString appPath() const override { return path; }
  corvane::SettingsStore& settings() override { return store; }
  corvane::EventHub& events() override { return hub; }
  QString foregroundApp() const override { return QStringLiteral("winword"); }
  void queueCommand(const QString&) override {}
  void speak(const QString&, int) override {}
  void stopSpeech() override {}
  bool monitorVisible() const override { return visible; }
  void setMonitorVisible(bool v) override { visible = v; }
  bool useSpeech() const override { return true; }
  void setUseSpeech(bool) override {}
  void setLanguage(const QString&) override {}
  void report(const QString& l) override { log << l; }

  corvane::IniFileStore store;
  QString path;
  corvane::EventHub hub;
  bool visible = false;
  QStringList log;
};

// A temporary application directory with the default profile, the core object in Jex() and a
// private log file. Resets the globals when it ends.
class CoreFixture {
 public:
  CoreFixture();
  ~CoreFixture();
  QString appPath() const { return dir.path() + u'/'; }
  QString userDir(const QString& name = QStringLiteral("DEFAULT")) const { return appPath() + QStringLiteral("user/") + name + u'/'; }
  QString logText() const;
  static QString readFile(const QString& path);
  static void writeFile(const QString& path, const QByteArray& data);

  QTemporaryDir dir;
  FakeCore core{dir.path()};
};

}  // namespace usertest
