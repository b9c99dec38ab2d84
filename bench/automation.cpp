// Late-bound calls: one property read and one 2,000-entry string list in one call, in-process
// and over D-Bus. For D-Bus the benchmark starts a private bus and runs itself a second time
// as the serving process ("--serve <address>"), so every call really crosses processes.
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <cstdio>

#include "automation/dbustransport.h"
#include "automation/dispatchable.h"

namespace {

using namespace jex::automation;

const QString kName = QStringLiteral("bench.corvane");

class BenchCore : public Dispatchable {
 public:
  BenchCore() : Dispatchable(QStringLiteral("Application")), names_(std::make_shared<Collection>()) {
    for (int i = 1; i <= 2000; ++i) names_->add(QStringLiteral("Entry number %1 of the list").arg(i));
    property(QStringLiteral("AppPath"), [] { return QVariant(QStringLiteral("C:\\Corvane\\")); });
    property(QStringLiteral("Names"), [this] { return fromObj(Obj(names_)); });
  }

 private:
  std::shared_ptr<Collection> names_;
};

Obj g_local;
Obj g_remote;

void BM_PropertyRead_InProcess(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(g_local.str(QStringLiteral("AppPath")));
}

void BM_PropertyRead_DBus(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(g_remote.str(QStringLiteral("AppPath")));
}

// The floor under the late-bound read: bare round trips to the serving process through the bus
// daemon. "Ping" is answered inside Qt D-Bus's own thread; "Empty" by an object in the serving
// process's main thread that replies at once without looking at the call, which is where the
// access layer answers. The caller waits serving incoming calls (Qt's BlockWithGui, the kind
// of wait the access layer does) and, for comparison, blocks plainly.
QDBusConnection* g_conn = nullptr;
QString g_server;

class EmptyReply : public QDBusVirtualObject {
 public:
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    return connection.send(message.createReply());
  }
  QString introspect(const QString&) const override { return {}; }
};

void roundTrip(benchmark::State& state, const QDBusMessage& m, QDBus::CallMode mode) {
  for (auto _ : state) {
    const QDBusMessage reply = g_conn->call(m, mode, 3000);
    if (reply.type() == QDBusMessage::ErrorMessage) state.SkipWithError("the call failed");
  }
}
QDBusMessage ping() {
  return QDBusMessage::createMethodCall(g_server, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
                                        QStringLiteral("Ping"));
}
QDBusMessage empty() {
  return QDBusMessage::createMethodCall(g_server, QStringLiteral("/bench/empty"), QStringLiteral("bench.Empty"),
                                        QStringLiteral("Call"));
}
void BM_Ping_BlockWithGui(benchmark::State& state) { roundTrip(state, ping(), QDBus::BlockWithGui); }
void BM_Ping_Block(benchmark::State& state) { roundTrip(state, ping(), QDBus::Block); }
void BM_Empty_BlockWithGui(benchmark::State& state) { roundTrip(state, empty(), QDBus::BlockWithGui); }
void BM_Empty_Block(benchmark::State& state) { roundTrip(state, empty(), QDBus::Block); }
void BM_StringList2000_InProcess(benchmark::State& state) {
  Obj names = g_local.obj(QStringLiteral("Names"));
  for (auto _ : state) benchmark::DoNotOptimize(names.strings());
}

void BM_StringList2000_DBus(benchmark::State& state) {
  Obj names = g_remote.obj(QStringLiteral("Names"));
  for (auto _ : state) benchmark::DoNotOptimize(names.strings());
}

int serve(const QString& address) {
  QDBusConnection conn = QDBusConnection::connectToBus(address, QStringLiteral("bench-server"));
  if (!dbus::publish(kName, std::make_shared<BenchCore>(), conn)) return 2;
  EmptyReply empty;
  conn.registerVirtualObject(QStringLiteral("/bench/empty"), &empty);
  return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() == 3 && args[1] == QLatin1String("--serve")) return serve(args[2]);

  g_local = Obj(std::make_shared<BenchCore>());
  benchmark::RegisterBenchmark("PropertyRead/InProcess", BM_PropertyRead_InProcess);
  benchmark::RegisterBenchmark("StringList2000/InProcess", BM_StringList2000_InProcess);

  QProcess daemon, server;
  daemon.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
  QString address;
  if (daemon.waitForStarted(5000)) {
    while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) {
    }
    address = QString::fromUtf8(daemon.readLine()).trimmed();
  }
  if (address.isEmpty()) {
    std::fprintf(stderr, "No private bus could be started: the D-Bus benchmarks are left out.\n");
  } else {
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    server.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve"), address});
    QDBusConnection conn = QDBusConnection::connectToBus(address, QStringLiteral("bench-client"));
    for (int i = 0; i < 500 && !dbus::isNameOwned(kName, conn); ++i) QThread::msleep(10);
    try {
      g_remote = dbus::connect(kName, conn);
      g_conn = &conn;
      g_server = conn.interface()->serviceOwner(kName).value();
      benchmark::RegisterBenchmark("RoundTrip/DBus/Ping/BlockWithGui", BM_Ping_BlockWithGui);
      benchmark::RegisterBenchmark("RoundTrip/DBus/Ping/Block", BM_Ping_Block);
      benchmark::RegisterBenchmark("RoundTrip/DBus/Empty/BlockWithGui", BM_Empty_BlockWithGui);
      benchmark::RegisterBenchmark("RoundTrip/DBus/Empty/Block", BM_Empty_Block);
      benchmark::RegisterBenchmark("PropertyRead/DBus", BM_PropertyRead_DBus);
      benchmark::RegisterBenchmark("StringList2000/DBus", BM_StringList2000_DBus);
    } catch (const jex::Error& e) {
      std::fprintf(stderr, "The serving process did not come up (%s).\n", e.what());
    }
  }

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  g_remote = Obj();
  g_local = Obj();
  server.kill();
  server.waitForFinished(2000);
  daemon.kill();
  daemon.waitForFinished(2000);
  return 0;
}
