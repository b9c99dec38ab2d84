// What only the bus can do: names taken by another instance, vanished peers, time-outs,
// references held by the other side, and introspection.
#include <gtest/gtest.h>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QSignalSpy>

#include "automation/dbustransport.h"
#include "malformed.h"
#include "privatebus.h"
#include "testobjects.h"
#include "tests/support/errorof.h"

namespace {

using namespace jex::automation;
using jex::testing::errorOf;
using jex::testing::PrivateBus;
using jex::testing::TestCore;

const QString kName = "test.corvane";

class DBusTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& bus = PrivateBus::instance();
    if (!bus.ok()) GTEST_SKIP() << "no private session bus: " << bus.error().toStdString();
    server_ = std::make_shared<TestCore>();
    serverConn_ = bus.connect("server");
    clientConn_ = bus.connect("client");
    ASSERT_TRUE(dbus::publish(kName, server_, serverConn_));
  }
  void TearDown() override {
    if (!server_) return;
    dbus::unpublish(kName, serverConn_);
    PrivateBus::disconnect(serverConn_);
    PrivateBus::disconnect(clientConn_);
    dbus::setCallTimeout(dbus::kDefaultCallTimeoutMs);
  }

  // A raw message to an object path of the server.
  QDBusMessage message(const QString& path, const QString& iface = QLatin1String(dbus::kInterface),
                       const QString& member = "Invoke") const {
    return QDBusMessage::createMethodCall(serverConn_.baseService(), path, iface, member);
  }
  int exported() const { return dbus::Bridge::instance().exportedCount(serverConn_); }
  bool exportedBecomes(int n) const {
    return QTest::qWaitFor([&] { return exported() == n; });
  }

  std::shared_ptr<TestCore> server_;
  QDBusConnection serverConn_{QString()};
  QDBusConnection clientConn_{QString()};
};

TEST_F(DBusTransportTest, NamesTellWhetherAnInstanceRuns) {
  EXPECT_TRUE(dbus::isNameOwned(kName, clientConn_));
  // A second instance cannot take the name.
  EXPECT_FALSE(dbus::publish(kName, std::make_shared<TestCore>(), clientConn_));
  EXPECT_EQ(errorOf([&] { dbus::connect("nobody.here", clientConn_); }), jex::err::CannotCreateObject);
  // createObject falls back to the bus for identifiers not registered in this process.
  dbus::unpublish(kName, serverConn_);
  EXPECT_FALSE(dbus::isNameOwned(kName, clientConn_));
  EXPECT_EQ(errorOf([&] { dbus::connect(kName, clientConn_); }), jex::err::CannotCreateObject);
  ASSERT_TRUE(dbus::publish(kName, server_, serverConn_));
  EXPECT_EQ(dbus::connect(kName, clientConn_).str("proc.AppPath"), "C:\\Corvane\\");
}

TEST_F(DBusTransportTest, VanishedPeerGives462AndIsAnnounced) {
  Obj core = dbus::connect(kName, clientConn_);
  Obj proc = core.obj("proc");
  QSignalSpy vanished(&dbus::Bridge::instance(), &dbus::Bridge::peerVanished);
  PrivateBus::disconnect(serverConn_);
  EXPECT_EQ(errorOf([&] { core.str("proc.AppPath"); }), jex::err::ServerUnavailable);
  EXPECT_EQ(errorOf([&] { proc.i32("UseSpeech"); }), jex::err::ServerUnavailable);
  ASSERT_TRUE(QTest::qWaitFor([&] { return vanished.count() > 0; }));
  EXPECT_EQ(vanished.at(0).at(0).toString(), kName);
}

TEST_F(DBusTransportTest, SlowCallTimesOutWithoutBlockingForever) {
  Obj core = dbus::connect(kName, clientConn_);
  dbus::setCallTimeout(100);
  EXPECT_EQ(errorOf([&] { core.call("Slow", {400}); }), jex::err::Timeout);
  dbus::setCallTimeout(dbus::kDefaultCallTimeoutMs);
  EXPECT_TRUE(toBool(core.call("Slow", {1})));
}

TEST_F(DBusTransportTest, ExportedObjectsLiveWhileTheOtherSideHoldsThem) {
  EXPECT_EQ(exported(), 1);  // the root
  Obj core = dbus::connect(kName, clientConn_);
  {
    Obj proc = core.obj("proc");
    EXPECT_EQ(proc, core.obj("proc"));  // same proxy, a second reference
    EXPECT_EQ(exported(), 2);
  }
  EXPECT_TRUE(exportedBecomes(1));
  EXPECT_EQ(core.str("proc.AppPath"), "C:\\Corvane\\") << "a fresh read after the release is served again";
  // A client that leaves the bus loses the references it held.
  Obj held = core.obj("Devices");
  EXPECT_EQ(exported(), 2);
  PrivateBus::disconnect(clientConn_);
  EXPECT_TRUE(exportedBecomes(1));
}

TEST_F(DBusTransportTest, ObjectsAreServedAndIntrospectedUnderTheirPaths) {
  Obj core = dbus::connect(kName, clientConn_);
  Obj proc = core.obj("proc");
  QDBusMessage reply = clientConn_.call(message("/obj/1", "org.freedesktop.DBus.Introspectable", "Introspect"),
                                        QDBus::BlockWithGui, 2000);
  ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  const QString xml = reply.arguments().value(0).toString();
  EXPECT_TRUE(xml.contains(QLatin1String("org.jexui.Automation1"))) << xml.toStdString();
  EXPECT_TRUE(xml.contains(QLatin1String("Member.AppPath\" value=\"The core&#x27;s directory.\"")) ||
              xml.contains(QLatin1String("Member.AppPath\" value=\"The core's directory.\"")))
      << xml.toStdString();
  // A path that is not exported answers as a vanished object.
  QDBusMessage gone = message("/obj/999");
  gone << QString() << 1 << QVariant(QVariantList());
  EXPECT_EQ(clientConn_.call(gone, QDBus::BlockWithGui, 2000).type(), QDBusMessage::ErrorMessage);
}

}  // namespace

// A peer that answers every Invoke with the same body, whatever it is.
class Liar : public QDBusVirtualObject {
 public:
  explicit Liar(QVariantList body) : body_(std::move(body)) {}
  bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override { return c.send(m.createReply(body_)); }
  QString introspect(const QString&) const override { return {}; }

 private:
  QVariantList body_;
};

class MalformedMessages : public DBusTransportTest, public ::testing::WithParamInterface<int> {};

TEST_P(MalformedMessages, AreAnsweredWithAnErrorAndTheReceiverLivesOn) {
  const jex::testing::MalformedBody b = jex::testing::malformedCalls("proc")[GetParam()];
  QDBusMessage call = message("/");
  call.setArguments(b.args);
  const QDBusMessage reply = clientConn_.call(call, QDBus::BlockWithGui, 3000);
  EXPECT_EQ(reply.errorName().toStdString(), dbus::kErrorName) << b.name << ": " << reply.errorMessage().toStdString();
  EXPECT_EQ(dbus::connect(kName, clientConn_).str("proc.AppPath"), "C:\\Corvane\\");
}

// The caller of a peer that replies with what no endpoint sends gets an error, and lives.
TEST_F(DBusTransportTest, MalformedRepliesFailTheCall) {
  for (const jex::testing::MalformedBody& b : jex::testing::malformedCalls("proc")) {
    if (b.args.size() < 3 || b.args[2].toList().isEmpty()) continue;  // nothing to reply with
    Liar liar({jex::testing::inVariant(b.args[2]), b.args[2]});
    QDBusConnection liarConn = PrivateBus::instance().connect("liar");
    ASSERT_TRUE(liarConn.registerVirtualObject("/", &liar, QDBusConnection::SubPath));
    ASSERT_TRUE(liarConn.registerService("test.liar"));
    Obj remote = dbus::connect("test.liar", clientConn_);
    QVariantList args{1};
    EXPECT_NE(errorOf([&] { remote.call("Anything", args); }), 0) << b.name;
    EXPECT_NE(errorOf([&] { remote.str("Anything"); }), 0) << b.name;
    remote = Obj();
    PrivateBus::disconnect(liarConn);
  }
}

INSTANTIATE_TEST_SUITE_P(Bodies, MalformedMessages,
                         ::testing::Range(0, int(jex::testing::malformedCalls(QString()).size())));

// An object handed to one peer does not answer another that guesses its path, but does answer
// a peer it is passed on to.
TEST_F(DBusTransportTest, ObjectsAnswerOnlyThePeersTheyWereHandedTo) {
  Obj proc = dbus::connect(kName, clientConn_).obj("proc");
  QDBusConnection other = PrivateBus::instance().connect("other");
  QDBusMessage guess = message("/obj/1");
  guess << "AppPath" << 1 << QVariant(QVariantList());
  EXPECT_EQ(other.call(guess, QDBus::BlockWithGui, 2000).errorName().toStdString(),
            "org.freedesktop.DBus.Error.UnknownObject");
  EXPECT_EQ(clientConn_.call(guess, QDBus::BlockWithGui, 2000).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(proc.str("AppPath"), "C:\\Corvane\\");
  PrivateBus::disconnect(other);
  // Passed on by its holder, the object answers the third peer too.
  auto third = std::make_shared<TestCore>();
  QDBusConnection thirdConn = PrivateBus::instance().connect("third");
  ASSERT_TRUE(dbus::publish("test.third", third, thirdConn));
  dbus::connect("test.third", clientConn_).call("Init_Sink", {fromObj(proc)});
  EXPECT_EQ(third->sink_.str("AppPath"), "C:\\Corvane\\");
  third->sink_ = Obj();
  dbus::unpublish("test.third", thirdConn);
  PrivateBus::disconnect(thirdConn);
}
