// One suite, two transports: every case runs against the object directly (in-process) and
// against the same object published on a private session bus and reached through
// dbus::connect from a second connection.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/automation/dbustransport.h"
#include "core/base/log.h"
#include "privatebus.h"
#include "tests/support/errorof.h"
#include "testobjects.h"

namespace {

using namespace jex::automation;
using jex::testing::PrivateBus;
using jex::testing::errorOf;
using jex::testing::TestCore;
using jex::testing::TestSink;

enum class Transport { InProcess, DBus };

class AutomationTest : public ::testing::TestWithParam<Transport> {
 protected:
  void SetUp() override {
    server_ = std::make_shared<TestCore>();
    if (GetParam() == Transport::InProcess) {
      core_ = Obj(server_);
      return;
    }
    auto& bus = PrivateBus::instance();
    if (!bus.ok()) GTEST_SKIP() << "no private session bus: " << bus.error().toStdString();
    serverConn_ = bus.connect(QStringLiteral("server"));
    clientConn_ = bus.connect(QStringLiteral("client"));
    ASSERT_TRUE(serverConn_.isConnected() && clientConn_.isConnected());
    ASSERT_TRUE(dbus::publish(QStringLiteral("test.corvane"), server_, serverConn_));
    core_ = dbus::connect(QStringLiteral("test.corvane"), clientConn_);
  }

  void TearDown() override {
    core_ = Obj();
    if (server_) server_->sink_ = Obj();
    server_.reset();
    if (GetParam() == Transport::DBus && serverConn_.isConnected()) {
      dbus::unpublish(QStringLiteral("test.corvane"), serverConn_);
      PrivateBus::disconnect(serverConn_);
      PrivateBus::disconnect(clientConn_);
    }
    dbus::setCallTimeout(dbus::kDefaultCallTimeoutMs);
  }

  bool viaBus() const { return GetParam() == Transport::DBus; }

  std::shared_ptr<TestCore> server_;
  Obj core_;
  QDBusConnection serverConn_{QString()};
  QDBusConnection clientConn_{QString()};
};

TEST_P(AutomationTest, PropertiesAndIndexedPropertiesReadAndWriteAlongMemberPaths) {
  EXPECT_EQ(core_.str(QStringLiteral("proc.AppPath")), QStringLiteral("C:\\Corvane\\"));
  EXPECT_EQ(core_.str(QStringLiteral("PROC.apppath")), QStringLiteral("C:\\Corvane\\"));
  core_.set(QStringLiteral("proc.UseSpeech"), true);  // True is -1 as a number
  EXPECT_EQ(core_.i32(QStringLiteral("proc.UseSpeech")), -1);
  core_.set(QStringLiteral("proc.UseSpeech"), QStringLiteral(" 3 "));
  EXPECT_EQ(server_->proc_.lock()->useSpeech_, 3);
  EXPECT_TRUE(core_.boolean(QStringLiteral("proc.UseSpeech")));
  EXPECT_EQ(core_.str(QStringLiteral("proc.UseSpeech")), QStringLiteral("3"));
  // An indexed property.
  core_.set(QStringLiteral("Event_Enable"), {QStringLiteral("HandleCmd")}, true);
  core_.set(QStringLiteral("Event_Enable"), {QStringLiteral("AudioStart")}, false);
  EXPECT_TRUE(server_->events_.value(QStringLiteral("handlecmd")));
  EXPECT_TRUE(toBool(core_.get(QStringLiteral("Event_Enable"), {QStringLiteral("HANDLECMD")})));
  EXPECT_FALSE(toBool(core_.get(QStringLiteral("Event_Enable"), {QStringLiteral("AudioStart")})));
  EXPECT_EQ(errorOf([&] { core_.get(QStringLiteral("Event_Enable")); }), jex::err::WrongArguments);
}

TEST_P(AutomationTest, SeveralPathsAreReadAtOnceInOrderAndTheFirstFailureIsRaised) {
  core_.set(QStringLiteral("proc.UseSpeech"), 7);
  const QVariantList v = core_.getEach({QStringLiteral("proc.UseSpeech"), QStringLiteral("proc.AppPath"), QStringLiteral("proc.UseSpeech")});
  ASSERT_EQ(v.size(), 3);
  EXPECT_EQ(toI32(v[0]), 7);
  EXPECT_EQ(toStr(v[1]), QStringLiteral("C:\\Corvane\\"));
  EXPECT_EQ(toI32(v[2]), 7);
  EXPECT_EQ(errorOf([&] { core_.getEach({QStringLiteral("proc.AppPath"), QStringLiteral("proc.Nope")}); }), jex::err::UnknownMember);
  // A path through a value that is no object fails on the side that walks it, with the same error.
  EXPECT_EQ(errorOf([&] { core_.get(QStringLiteral("proc.AppPath.Length")); }), jex::err::ObjectRequired);
  EXPECT_EQ(errorOf([&] { Obj().getEach({QStringLiteral("proc")}); }), jex::err::ObjectRequired);
}

TEST_P(AutomationTest, ByReferenceArgumentsComeBackChangedAndMissingOnesAsOmitted) {
  QVariantList ranges{0, 0};
  core_.call(QStringLiteral("proc.PitchRanges"), ranges);
  EXPECT_EQ(ranges, (QVariantList{10, 90}));

  QVariantList value{QStringLiteral("Rate"), QVariant(), QStringLiteral("anna")};
  EXPECT_TRUE(toBool(core_.call(QStringLiteral("GetValue"), value)));
  EXPECT_EQ(value[1].toString(), QStringLiteral("Rate=anna"));

  QVariantList cb{0, QStringLiteral("OnInitAppSettings"), QVariant(), QStringLiteral("winword")};
  core_.call(QStringLiteral("proc.CallBack"), cb);
  EXPECT_EQ(cb[2].toString(), QStringLiteral("OnInitAppSettings:winword"));
  EXPECT_EQ(cb[3].toString(), QStringLiteral("winword"));

  // Missing arguments are seen as omitted, also when they come back.
  EXPECT_EQ(core_.call(QStringLiteral("Which"), {1, missing(), 3}).toString(), QStringLiteral("1-3"));
  EXPECT_EQ(core_.call(QStringLiteral("Which")).toString(), QString());
  QVariantList pitch{QStringLiteral("Pitch"), QVariant(), missing()};
  core_.call(QStringLiteral("GetValue"), pitch);
  EXPECT_EQ(pitch[1].toString(), QStringLiteral("Pitch=default"));
  EXPECT_TRUE(isMissing(pitch[2]));
}

TEST_P(AutomationTest, CollectionsByPositionKeyAndAllAtOnce) {
  Obj devices = core_.obj(QStringLiteral("Devices"));
  EXPECT_EQ(devices.count(), 2);
  EXPECT_EQ(devices.itemObj(1).toString(), QStringLiteral("Alva"));
  EXPECT_EQ(devices.itemObj(QStringLiteral("pm")).str(QStringLiteral("DeviceName")), QStringLiteral("Papenmeier"));
  EXPECT_EQ(toStr(devices.call(QStringLiteral("item"), {2})), QStringLiteral("Papenmeier"));
  EXPECT_EQ(toStr(devices.call(QStringLiteral("ItemByIndex"), {1})), QStringLiteral("Alva"));
  // Arguments after an object-valued property go to its default member, Item.
  EXPECT_EQ(toStr(core_.get(QStringLiteral("Devices"), {QStringLiteral("Alva")})), QStringLiteral("Alva"));
  EXPECT_EQ(devices.strings(), (QStringList{QStringLiteral("Alva"), QStringLiteral("Papenmeier")}));
  EXPECT_EQ(errorOf([&] { devices.item(3); }), jex::err::InvalidCall);
  EXPECT_EQ(errorOf([&] { devices.item(0); }), jex::err::InvalidCall);
  EXPECT_EQ(errorOf([&] { devices.item(QStringLiteral("nobody")); }), jex::err::InvalidCall);

  for (int i = 0; i < 500; ++i) server_->names_->add(QStringLiteral("entry %1").arg(i));
  QStringList all = core_.obj(QStringLiteral("Names")).strings();
  ASSERT_EQ(all.size(), 500);
  EXPECT_EQ(all.last(), QStringLiteral("entry 499"));
}

TEST_P(AutomationTest, ObjectsKeepIdentityAndDefaultValuesAndEndlessDefaultsRaiseAnError) {
  EXPECT_EQ(core_.obj(QStringLiteral("proc")), core_.obj(QStringLiteral("Proc")));
  EXPECT_FALSE(core_.obj(QStringLiteral("proc")) == core_.obj(QStringLiteral("Devices")));
  Obj alva = core_.obj(QStringLiteral("Devices")).itemObj(1);
  EXPECT_EQ(alva.toString(), QStringLiteral("Alva"));
  EXPECT_EQ(toStr(fromObj(alva)), QStringLiteral("Alva"));
  EXPECT_EQ(alva.i32(QStringLiteral("Cells")), 40);
  EXPECT_EQ(errorOf([&] { core_.obj(QStringLiteral("proc")).toString(); }), jex::err::UnknownMember);
  EXPECT_EQ(errorOf([&] { core_.obj(QStringLiteral("proc.AppPath")); }), jex::err::ObjectRequired);
  EXPECT_EQ(errorOf([&] { Obj().get(QStringLiteral("x")); }), jex::err::ObjectRequired);
  // Default members that give objects without end.
  Obj mirror = core_.obj(QStringLiteral("Mirror"));
  EXPECT_EQ(errorOf([&] { mirror.toString(); }), jex::err::OutOfStack);
  EXPECT_EQ(errorOf([&] { toI32(fromObj(mirror)); }), jex::err::OutOfStack);
  EXPECT_EQ(errorOf([&] { toBool(fromObj(mirror)); }), jex::err::OutOfStack);
  // Arguments after the property go to its default member, which gives the object again.
  EXPECT_EQ(errorOf([&] { core_.get(QStringLiteral("Mirror"), {1}); }), jex::err::OutOfStack);
}

TEST_P(AutomationTest, ValuesKeepTheirTypes) {
  QVariantList mixed{1, true, 2.5, QStringLiteral("x"), QVariant(),
                     QStringList{QStringLiteral("a"), QStringLiteral("b")}, QVariantList{7, QStringLiteral("y")}};
  QVariant back = core_.call(QStringLiteral("Echo"), {QVariant(mixed)});
  ASSERT_EQ(back.metaType().id(), QMetaType::QVariantList);
  QVariantList list = back.toList();
  ASSERT_EQ(list.size(), mixed.size());
  EXPECT_EQ(list[0].metaType().id(), QMetaType::Int);
  EXPECT_EQ(list[1].metaType().id(), QMetaType::Bool);
  EXPECT_EQ(list[2].toDouble(), 2.5);
  EXPECT_EQ(list[3].toString(), QStringLiteral("x"));
  EXPECT_FALSE(list[4].isValid());
  EXPECT_EQ(list[5].toStringList(), mixed[5].toStringList());
  EXPECT_EQ(list[6].toList(), mixed[6].toList());
  EXPECT_TRUE(core_.call(QStringLiteral("Echo"), {fromObj(Obj())}).value<Obj>().isNothing());

  // Lists of strings keep empty entries, their order and text beyond Latin-1.
  for (const QStringList& strings : {QStringList{}, QStringList{QString()}, QStringList{QString(), QString()},
                                     QStringList{QStringLiteral("Größe"), QString(), QStringLiteral("€ ✓ 日本")}}) {
    QVariant echoed = core_.call(QStringLiteral("Echo"), {QVariant(strings)});
    EXPECT_EQ(echoed.metaType().id(), QMetaType::QStringList);
    EXPECT_EQ(echoed.toStringList(), strings);
  }
}

TEST_P(AutomationTest, SinkHandedToTheServerIsCalledBackWithByReferenceText) {
  auto sink = std::make_shared<TestSink>();
  core_.call(QStringLiteral("Init_Sink"), {fromObj(Obj(sink))});
  EXPECT_EQ(core_.call(QStringLiteral("Fire"), {QStringLiteral("DLGSPEECH")}).toString(),
            QStringLiteral("handled:DLGSPEECH"));
  // The sink calls the core back while the core is inside Fire (ping-pong).
  sink->core = core_;
  EXPECT_EQ(core_.call(QStringLiteral("Fire"), {QStringLiteral("QUIT")}).toString(),
            QStringLiteral("handled:QUIT:C:\\Corvane\\"));
  sink->core = Obj();
  EXPECT_EQ(sink->received, (QStringList{QStringLiteral("DLGSPEECH"), QStringLiteral("QUIT")}));
  // An object that comes home is the original local object again.
  Obj back = toObj(core_.call(QStringLiteral("Echo"), {fromObj(Obj(sink))}));
  EXPECT_EQ(back.target().get(), sink.get());
  core_.call(QStringLiteral("Clear_Sink"));
  // The server keeps no reference: its proxy dies as the call ends, while the reply still
  // hands the object back through the by-reference argument.
  for (int i = 0; i < 20; ++i) {
    QVariantList a{fromObj(Obj(sink))};
    core_.call(QStringLiteral("Echo"), a);
    ASSERT_EQ(toObj(a[0]).target().get(), sink.get()) << "round " << i;
  }
}

TEST_P(AutomationTest, FailingCallsRaiseNumberedErrorsThatTheTrapLogs) {
  EXPECT_EQ(errorOf([&] { core_.get(QStringLiteral("NoSuchMember")); }), jex::err::UnknownMember);
  EXPECT_EQ(errorOf([&] { core_.call(QStringLiteral("Twice"), {1, 2}); }), jex::err::WrongArguments);
  EXPECT_EQ(errorOf([&] { core_.call(QStringLiteral("proc.PitchRanges"), {1}); }), jex::err::WrongArguments);
  EXPECT_EQ(errorOf([&] { core_.call(QStringLiteral("Twice"), {QStringLiteral("abc")}); }), jex::err::TypeMismatch);
  EXPECT_EQ(core_.call(QStringLiteral("Twice"), {QStringLiteral("21")}).toInt(), 42);
  EXPECT_EQ(errorOf([&] { core_.set(QStringLiteral("proc.AppPath"), QStringLiteral("x")); }), jex::err::WrongArguments);
  EXPECT_EQ(errorOf([&] { core_.call(QStringLiteral("Fail")); }), jex::err::FileError);

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  jex::logfile::setPath(dir.filePath(QStringLiteral("jexui.log")));
  EXPECT_FALSE(jex::trap("frmVoices.Form_Load", [&] { core_.str(QStringLiteral("proc.Nope")); }));
  EXPECT_FALSE(jex::trap("frmVoices.cmdOK_Click", [&] { core_.call(QStringLiteral("Fail")); }));
  jex::logfile::setPath({});
  QFile log(dir.filePath(QStringLiteral("jexui.log")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll(),
            QByteArray("!!! ERROR frmVoices.Form_Load: 438 Object doesn't support this property or method: Nope\r\n"
                       "!!! ERROR frmVoices.cmdOK_Click: 75 disk gone\r\n"));
}

TEST_P(AutomationTest, MemberTableDescribesTheObject) {
  const QList<MemberInfo> members = core_.obj(QStringLiteral("proc")).target()->members();
  ASSERT_EQ(members.size(), 4);
  EXPECT_EQ(members[0].help, QStringLiteral("The core's directory."));
  EXPECT_TRUE(members[0].readable && !members[0].writable && members[1].writable);
  EXPECT_EQ(members[2].kind, CallKind::Method);
  EXPECT_EQ(members[2].minArgs, 2);
}

INSTANTIATE_TEST_SUITE_P(Transports, AutomationTest, ::testing::Values(Transport::InProcess, Transport::DBus),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                           return info.param == Transport::InProcess ? "InProcess" : "DBus";
                         });

TEST(AutomationClasses, RegisteredClassesAreCreatedInProcess) {
  registerClass(QStringLiteral("Test.Core"), [] { return std::make_shared<TestCore>(); });
  Obj a = createObject(QStringLiteral("test.core"));
  Obj b = createObject(QStringLiteral("TEST.CORE"));
  EXPECT_EQ(a.str(QStringLiteral("proc.AppPath")), QStringLiteral("C:\\Corvane\\"));
  EXPECT_FALSE(a == b);  // a new object each time
  unregisterClass(QStringLiteral("Test.Core"));
}

TEST(AutomationConversions, ScriptLikeConversions) {
  EXPECT_EQ(toStr(QVariant()), QString());
  EXPECT_EQ(toStr(false), QStringLiteral("False"));
  EXPECT_EQ(toStr(2.5), QStringLiteral("2.5"));
  EXPECT_EQ(toI32(2.5), 2);  // half to even
  EXPECT_EQ(toI32(3.5), 4);
  EXPECT_EQ(errorOf([] { toI32(QVariant(qint64(1) << 40)); }), jex::err::TypeMismatch);  // no silent wrap
  EXPECT_TRUE(toBool(QStringLiteral("true")));
  EXPECT_TRUE(toBool(QStringLiteral("-1")));
  EXPECT_FALSE(toBool(QStringLiteral("0")));
  EXPECT_EQ(errorOf([] { toBool(QStringLiteral("yes")); }), jex::err::TypeMismatch);
  EXPECT_EQ(errorOf([] { toI32(QStringList{}); }), jex::err::TypeMismatch);
  EXPECT_EQ(errorOf([] { toObj(QStringLiteral("x")); }), jex::err::ObjectRequired);
}

}  // namespace
