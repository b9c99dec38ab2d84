#include "startup_support.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTest>

#include "core/automation/dbustransport.h"

namespace jex::testing {

SessionBus::SessionBus() {
  daemon_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
  if (!daemon_.waitForStarted(5000)) {
    error_ = QStringLiteral("dbus-daemon cannot start: ") + daemon_.errorString();
    return;
  }
  for (int i = 0; i < 50 && !daemon_.canReadLine(); ++i) daemon_.waitForReadyRead(100);
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  if (address_.isEmpty()) error_ = QStringLiteral("dbus-daemon printed no address");
}

SessionBus::~SessionBus() {
  closeConnection();
  daemon_.terminate();
  if (!daemon_.waitForFinished(3000)) daemon_.kill();
  daemon_.waitForFinished(1000);
}

void SessionBus::closeConnection() {
  if (connName_.isEmpty()) return;
  QDBusConnection::disconnectFromBus(connName_);
  connName_.clear();
}

QDBusConnection SessionBus::connection() {
  static int serial = 0;
  if (connName_.isEmpty()) {
    connName_ = QStringLiteral("startup-test-%1").arg(++serial);
    QDBusConnection::connectToBus(address_, connName_);
  }
  return QDBusConnection(connName_);
}

bool SessionBus::waitForName(const QString& name, bool owned, int ms) {
  QDBusConnection c = connection();
  return QTest::qWaitFor([&] { return automation::dbus::isNameOwned(name, c) == owned; }, ms);
}

qint64 SessionBus::ownerPid(const QString& name) {
  QDBusConnection c = connection();
  if (!c.interface()) return 0;
  const QDBusReply<uint> pid = c.interface()->servicePid(name);
  return pid.isValid() ? qint64(pid.value()) : 0;
}

namespace {
using automation::Args;
using automation::Dispatchable;

class Members : public Dispatchable {
 public:
  explicit Members(const QString& name) : Dispatchable(name) {}
  using Dispatchable::method;
  using Dispatchable::property;
};
}  // namespace

FakeCore::FakeCore(QString path) : Dispatchable(QStringLiteral("corvane.application")), appPath(std::move(path)) {
  auto proc = std::make_shared<Members>(QStringLiteral("proc"));
  proc->property(QStringLiteral("AppPath"), [this] { return QVariant(appPath); });
  proc->property(QStringLiteral("DefaultLng"), [this] { return QVariant(defaultLng); });
  proc->property(QStringLiteral("MeridanLoaded"), [this] { return QVariant(meridanLoaded); });
  proc->method(QStringLiteral("AddToCMDQueue"), 1, 1, [this](Args& a) {
    commands << a.str(0);
    return QVariant();
  });
  proc->method(QStringLiteral("SpeechOutVoice"), 2, 2, [](Args&) { return QVariant(); });
  auto script = std::make_shared<Members>(QStringLiteral("iScript"));
  script->method(QStringLiteral("ExposeObject"), 2, 2, [](Args&) { return QVariant(); });
  proc->property(QStringLiteral("iScript"), [script] { return automation::fromObj(Obj(script)); });
  // The current user "DEFAULT", which the main window shows in its status bar.
  auto user = std::make_shared<Members>(QStringLiteral("User"));
  std::weak_ptr<Members> self = user;
  user->property(QStringLiteral("Path"), [this] { return QVariant(appPath + QStringLiteral("user/DEFAULT/")); });
  user->property(QStringLiteral("Name"), [] { return QVariant(QStringLiteral("DEFAULT")); });
  user->property(QStringLiteral("CurrUser"), [self] { return automation::fromObj(Obj(self.lock())); });
  user->method(QStringLiteral("Init"), 0, 2, [](Args&) { return QVariant(); });
  proc->property(QStringLiteral("User"), [user] { return automation::fromObj(Obj(user)); });
  proc->property(QStringLiteral("GetUsers"), [user] { return automation::fromObj(Obj(user)); });
  auto braille = std::make_shared<Members>(QStringLiteral("BrailleInterface"));
  braille->property(QStringLiteral("ActiveBraillePort"), [this] { return QVariant(braillePort); });
  proc_ = proc;
  braille_ = braille;
  property(QStringLiteral("proc"), [this] { return automation::fromObj(Obj(proc_)); });
  property(QStringLiteral("BrailleInterface"), [this] { return automation::fromObj(Obj(braille_)); });
  method(QStringLiteral("Init_JEX_UI_Notification_Sink"), 1, 1, [this](Args&) {
    calls << QStringLiteral("Init_JEX_UI_Notification_Sink");
    return QVariant();
  });
  method(QStringLiteral("Clear_JEX_UI_Notification_Sink"), 0, 0, [this](Args&) {
    calls << QStringLiteral("Clear_JEX_UI_Notification_Sink");
    return QVariant();
  });
  indexed(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), 1,
          [this](Args& index) { return QVariant(enabledEvents.contains(index.str(0))); },
          [this](Args& index, const QVariant& on) {
            if (automation::toBool(on)) enabledEvents.insert(index.str(0));
            else enabledEvents.remove(index.str(0));
          });
  method(QStringLiteral("JexNotifier_Install"), 2, 2, [](Args&) { return QVariant(true); });
  method(QStringLiteral("JexNotifier_Remove"), 1, 1, [](Args&) { return QVariant(true); });
}

World::World() {
  QDir().mkpath(appPath());
  QDir().mkpath(logDir());
}

QStringList World::logLines() const {
  QFile f(logFile());
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void World::writeIni(const QByteArray& text) const {
  QFile f(iniFile());
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(text);
}

QProcessEnvironment World::environment(const SessionBus& bus) const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  env.insert(QStringLiteral("JEXUI_LOGDIR"), logDir());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
  env.remove(QStringLiteral("DISPLAY"));
  return env;
}

QString binDir() {
  const QString fromEnv = qEnvironmentVariable("JEX_BINARY_DIR");
  return fromEnv.isEmpty() ? QStringLiteral(JEX_BIN_DIR) : fromEnv + QStringLiteral("/bin");
}

std::unique_ptr<QProcess> startJexUi(const QProcessEnvironment& env) {
  auto p = std::make_unique<QProcess>();
  p->setProcessEnvironment(env);
  p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p->start(binDir() + QStringLiteral("/jexui"), {});
  p->waitForStarted(5000);
  return p;
}

bool waitEnded(QProcess& p, int ms) {
  return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms);
}

bool inOrder(const QStringList& lines, const QStringList& needles) {
  qsizetype at = 0;
  for (const QString& n : needles) {
    while (at < lines.size() && lines[at] != n) ++at;
    if (at == lines.size()) return false;
    ++at;
  }
  return true;
}

bool waitForLine(const World& w, const QString& line, int ms) {
  return QTest::qWaitFor([&] { return w.logLines().contains(line); }, ms);
}

}  // namespace jex::testing
