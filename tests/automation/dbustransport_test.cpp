// What only the bus can do: names taken by another instance, vanished peers, time-outs,
// references held by the other side, and introspection.
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "core/automation/dbustransport.h"
#include "malformed.h"
#include "privatebus.h"
#include "tests/support/errorof.h"
#include "testobjects.h"

namespace {

using namespace jex::automation;
using jex::testing::PrivateBus;
using jex::testing::errorOf;
using jex::testing::TestCore;

const QString kName = QStringLiteral("test.corvane");

class DBusTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& bus = PrivateBus::instance();
    if (!bus.ok()) GTEST_SKIP() << "no private session bus: " << bus.error().toStdString();
    server_ = std::make_shared<TestCore>();
    serverConn_ = bus.connect(QStringLiteral("server"));
    clientConn_ = bus.connect(QStringLiteral("client"));
    ASSERT_TRUE(dbus::publish(kName, server_, serverConn_));
  }
  void TearDown() override {
    if (!server_) return;
    dbus::unpublish(kName, serverConn_);
    PrivateBus::disconnect(serverConn_);
    PrivateBus::disconnect(clientConn_);
    dbus::setCallTimeout(dbus::kDefaultCallTimeoutMs);
  }

  std::shared_ptr<TestCore> server_;
  QDBusConnection serverConn_{QString()};
  QDBusConnection clientConn_{QString()};
};

TEST_F(DBusTransportTest, NamesTellWhetherAnInstanceRuns) {
  EXPECT_TRUE(dbus::isNameOwned(kName, clientConn_));
  // A second instance cannot take the name.
  EXPECT_FALSE(dbus::publish(kName, std::make_shared<TestCore>(), clientConn_));
  EXPECT_EQ(errorOf([&] { dbus::connect(QStringLiteral("nobody.here"), clientConn_); }), jex::err::CannotCreateObject);
  // createObject falls back to the bus for identifiers not registered in this process.
  dbus::unpublish(kName, serverConn_);
  EXPECT_FALSE(dbus::isNameOwned(kName, clientConn_));
  EXPECT_EQ(errorOf([&] { dbus::connect(kName, clientConn_); }), jex::err::CannotCreateObject);
  ASSERT_TRUE(dbus::publish(kName, server_, serverConn_));
  EXPECT_EQ(dbus::connect(kName, clientConn_).str(QStringLiteral("proc.AppPath")), QStringLiteral("C:\\Corvane\\"));
}

TEST_F(DBusTransportTest, VanishedPeerGives462AndIsAnnounced) {
  Obj core = dbus::connect(kName, clientConn_);
  Obj proc = core.obj(QStringLiteral("proc"));
  QSignalSpy vanished(&dbus::Bridge::instance(), &dbus::Bridge::peerVanished);
  PrivateBus::disconnect(serverConn_);
  EXPECT_EQ(errorOf([&] { core.str(QStringLiteral("proc.AppPath")); }), jex::err::ServerUnavailable);
  EXPECT_EQ(errorOf([&] { proc.i32(QStringLiteral("UseSpeech")); }), jex::err::ServerUnavailable);
  ASSERT_TRUE(QTest::qWaitFor([&] { return vanished.count() > 0; }));
  EXPECT_EQ(vanished.at(0).at(0).toString(), kName);
}

TEST_F(DBusTransportTest, SlowCallTimesOutWithoutBlockingForever) {
  Obj core = dbus::connect(kName, clientConn_);
  dbus::setCallTimeout(100);
  EXPECT_EQ(errorOf([&] { core.call(QStringLiteral("Slow"), {400}); }), jex::err::Timeout);
  dbus::setCallTimeout(dbus::kDefaultCallTimeoutMs);
  EXPECT_TRUE(toBool(core.call(QStringLiteral("Slow"), {1})));
}

TEST_F(DBusTransportTest, ExportedObjectsLiveWhileTheOtherSideHoldsThem) {
  EXPECT_EQ(dbus::Bridge::instance().exportedCount(serverConn_), 1);  // the root
  Obj core = dbus::connect(kName, clientConn_);
  {
    Obj proc = core.obj(QStringLiteral("proc"));
    Obj again = core.obj(QStringLiteral("proc"));  // same proxy, a second reference
    EXPECT_EQ(dbus::Bridge::instance().exportedCount(serverConn_), 2);
    EXPECT_EQ(proc, again);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return dbus::Bridge::instance().exportedCount(serverConn_) == 1; }));
  // A fresh read after the release is served again.
  EXPECT_EQ(core.str(QStringLiteral("proc.AppPath")), QStringLiteral("C:\\Corvane\\"));

  // A client that leaves the bus loses the references it held.
  Obj held = core.obj(QStringLiteral("Devices"));
  EXPECT_EQ(dbus::Bridge::instance().exportedCount(serverConn_), 2);
  PrivateBus::disconnect(clientConn_);
  EXPECT_TRUE(QTest::qWaitFor([&] { return dbus::Bridge::instance().exportedCount(serverConn_) == 1; }));
}

TEST_F(DBusTransportTest, ObjectsAreServedAndIntrospectedUnderTheirPaths) {
  Obj core = dbus::connect(kName, clientConn_);
  Obj proc = core.obj(QStringLiteral("proc"));
  QDBusMessage m = QDBusMessage::createMethodCall(serverConn_.baseService(), QStringLiteral("/obj/1"),
                                                  QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                                  QStringLiteral("Introspect"));
  QDBusMessage reply = clientConn_.call(m, QDBus::BlockWithGui, 2000);
  ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  const QString xml = reply.arguments().value(0).toString();
  EXPECT_TRUE(xml.contains(QLatin1String("org.jexui.Automation1"))) << xml.toStdString();
  EXPECT_TRUE(xml.contains(QLatin1String("Member.AppPath\" value=\"The core&#x27;s directory.\"")) ||
              xml.contains(QLatin1String("Member.AppPath\" value=\"The core's directory.\"")))
      << xml.toStdString();
  // A path that is not exported answers as a vanished object.
  QDBusMessage gone = QDBusMessage::createMethodCall(serverConn_.baseService(), QStringLiteral("/obj/999"),
                                                     QLatin1String(dbus::kInterface), QStringLiteral("Invoke"));
  gone << QString() << 1 << QVariant(QVariantList());
  EXPECT_EQ(clientConn_.call(gone, QDBus::BlockWithGui, 2000).type(), QDBusMessage::ErrorMessage);
}

}  // namespace

// A peer that answers every Invoke with the same body, whatever it is.
class Liar : public QDBusVirtualObject {
 public:
  explicit Liar(QVariantList body) : body_(std::move(body)) {}
  bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override {
    return c.send(m.createReply(body_));
  }
  QString introspect(const QString&) const override { return {}; }

 private:
  QVariantList body_;
};

class MalformedMessages : public DBusTransportTest, public ::testing::WithParamInterface<int> {
 protected:
  jex::testing::MalformedBody body() const { return jex::testing::malformedCalls(QStringLiteral("proc"))[GetParam()]; }
};

TEST_P(MalformedMessages, AreAnsweredWithAnErrorAndTheReceiverLivesOn) {
  const jex::testing::MalformedBody b = body();
  QDBusMessage call = QDBusMessage::createMethodCall(serverConn_.baseService(), QStringLiteral("/"),
                                                     QLatin1String(dbus::kInterface), QStringLiteral("Invoke"));
  call.setArguments(b.args);
  const QDBusMessage reply = clientConn_.call(call, QDBus::BlockWithGui, 3000);
  EXPECT_EQ(reply.errorName().toStdString(), dbus::kErrorName) << b.name << ": " << reply.errorMessage().toStdString();
  EXPECT_EQ(dbus::connect(kName, clientConn_).str(QStringLiteral("proc.AppPath")), QStringLiteral("C:\\Corvane\\"));
}

// The caller of a peer that replies with what no endpoint sends gets an error, and lives.
TEST_F(DBusTransportTest, MalformedRepliesFailTheCall) {
  for (const jex::testing::MalformedBody& b : jex::testing::malformedCalls(QStringLiteral("proc"))) {
    if (b.args.size() < 3 || b.args[2].toList().isEmpty()) continue;  // nothing to reply with
    Liar liar({jex::testing::inVariant(b.args[2]), b.args[2]});
    QDBusConnection liarConn = PrivateBus::instance().connect(QStringLiteral("liar"));
    ASSERT_TRUE(liarConn.registerVirtualObject(QStringLiteral("/"), &liar, QDBusConnection::SubPath));
    ASSERT_TRUE(liarConn.registerService(QStringLiteral("test.liar")));
    Obj remote = dbus::connect(QStringLiteral("test.liar"), clientConn_);
    QVariantList args{1};
    EXPECT_NE(errorOf([&] { remote.call(QStringLiteral("Anything"), args); }), 0) << b.name;
    EXPECT_NE(errorOf([&] { remote.str(QStringLiteral("Anything")); }), 0) << b.name;
    remote = Obj();
    PrivateBus::disconnect(liarConn);
  }
}

INSTANTIATE_TEST_SUITE_P(Bodies, MalformedMessages,
                         ::testing::Range(0, int(jex::testing::malformedCalls(QString()).size())));

// An object handed to one peer does not answer another that guesses its path, but does answer
// a peer it is passed on to.
TEST_F(DBusTransportTest, ObjectsAnswerOnlyThePeersTheyWereHandedTo) {
  Obj proc = dbus::connect(kName, clientConn_).obj(QStringLiteral("proc"));
  QDBusConnection other = PrivateBus::instance().connect(QStringLiteral("other"));
  QDBusMessage guess = QDBusMessage::createMethodCall(serverConn_.baseService(), QStringLiteral("/obj/1"),
                                                      QLatin1String(dbus::kInterface), QStringLiteral("Invoke"));
  guess << QStringLiteral("AppPath") << 1 << QVariant(QVariantList());
  EXPECT_EQ(other.call(guess, QDBus::BlockWithGui, 2000).errorName().toStdString(), "org.freedesktop.DBus.Error.UnknownObject");
  EXPECT_EQ(clientConn_.call(guess, QDBus::BlockWithGui, 2000).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(proc.str(QStringLiteral("AppPath")), QStringLiteral("C:\\Corvane\\"));
  PrivateBus::disconnect(other);
  // Passed on by its holder, the object answers the third peer too.
  auto third = std::make_shared<TestCore>();
  QDBusConnection thirdConn = PrivateBus::instance().connect(QStringLiteral("third"));
  ASSERT_TRUE(dbus::publish(QStringLiteral("test.third"), third, thirdConn));
  dbus::connect(QStringLiteral("test.third"), clientConn_).call(QStringLiteral("Init_Sink"), {fromObj(proc)});
  EXPECT_EQ(third->sink_.str(QStringLiteral("AppPath")), QStringLiteral("C:\\Corvane\\"));
  third->sink_ = Obj();
  dbus::unpublish(QStringLiteral("test.third"), thirdConn);
  PrivateBus::disconnect(thirdConn);
}
