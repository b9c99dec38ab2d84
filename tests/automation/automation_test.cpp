// One suite, two transports: every case runs against the object directly (in-process) and
// against the same object published on a private session bus and reached through
// dbus::connect from a second connection.
#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "automation/dbustransport.h"
#include "base/log.h"
#include "privatebus.h"
#include "testobjects.h"
#include "tests/support/errorof.h"

namespace {

using namespace jex::automation;
using jex::testing::errorOf;
using jex::testing::PrivateBus;
using jex::testing::TestCore;
using jex::testing::TestSink;

const QString kAppPath = "C:\\Corvane\\";

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
    serverConn_ = bus.connect("server");
    clientConn_ = bus.connect("client");
    ASSERT_TRUE(serverConn_.isConnected() && clientConn_.isConnected());
    ASSERT_TRUE(dbus::publish("test.corvane", server_, serverConn_));
    core_ = dbus::connect("test.corvane", clientConn_);
  }

  void TearDown() override {
    core_ = Obj();
    if (server_) server_->sink_ = Obj();
    server_.reset();
    if (GetParam() == Transport::DBus && serverConn_.isConnected()) {
      dbus::unpublish("test.corvane", serverConn_);
      PrivateBus::disconnect(serverConn_);
      PrivateBus::disconnect(clientConn_);
    }
  }

  std::shared_ptr<TestCore> server_;
  Obj core_;
  QDBusConnection serverConn_{QString()};
  QDBusConnection clientConn_{QString()};
};

TEST_P(AutomationTest, PropertiesAndIndexedPropertiesReadAndWriteAlongMemberPaths) {
  EXPECT_EQ(core_.str("proc.AppPath"), kAppPath);
  EXPECT_EQ(core_.str("PROC.apppath"), kAppPath);
  core_.set("proc.UseSpeech", true);  // True is -1 as a number
  EXPECT_EQ(core_.i32("proc.UseSpeech"), -1);
  core_.set("proc.UseSpeech", " 3 ");
  EXPECT_EQ(server_->proc_.lock()->useSpeech_, 3);
  EXPECT_TRUE(core_.boolean("proc.UseSpeech"));
  EXPECT_EQ(core_.str("proc.UseSpeech"), "3");
  core_.set("Event_Enable", {"HandleCmd"}, true);
  core_.set("Event_Enable", {"AudioStart"}, false);
  EXPECT_TRUE(server_->events_.value("handlecmd"));
  EXPECT_TRUE(toBool(core_.get("Event_Enable", {"HANDLECMD"})));
  EXPECT_FALSE(toBool(core_.get("Event_Enable", {"AudioStart"})));
  EXPECT_EQ(errorOf([&] { core_.get("Event_Enable"); }), jex::err::WrongArguments);
}

TEST_P(AutomationTest, SeveralPathsAreReadAtOnceInOrderAndTheFirstFailureIsRaised) {
  core_.set(QStringLiteral("proc.UseSpeech"), 7);
  const QVariantList v = core_.getEach(
      {QStringLiteral("proc.UseSpeech"), QStringLiteral("proc.AppPath"), QStringLiteral("proc.UseSpeech")});
  ASSERT_EQ(v.size(), 3);
  EXPECT_EQ(toI32(v[0]), 7);
  EXPECT_EQ(toStr(v[1]), QStringLiteral("C:\\Corvane\\"));
  EXPECT_EQ(toI32(v[2]), 7);
  EXPECT_EQ(errorOf([&] {
              core_.getEach({QStringLiteral("proc.AppPath"), QStringLiteral("proc.Nope")});
            }),
            jex::err::UnknownMember);
  // A path through a value that is no object fails on the side that walks it, with the same error.
  EXPECT_EQ(errorOf([&] { core_.get(QStringLiteral("proc.AppPath.Length")); }), jex::err::ObjectRequired);
  EXPECT_EQ(errorOf([&] { Obj().getEach({QStringLiteral("proc")}); }), jex::err::ObjectRequired);
}

TEST_P(AutomationTest, ByReferenceArgumentsComeBackChangedAndMissingOnesAsOmitted) {
  QVariantList ranges{0, 0};
  core_.call("proc.PitchRanges", ranges);
  EXPECT_EQ(ranges, (QVariantList{10, 90}));
  QVariantList value{"Rate", QVariant(), "anna"};
  EXPECT_TRUE(toBool(core_.call("GetValue", value)));
  EXPECT_EQ(value[1].toString(), "Rate=anna");
  QVariantList cb{0, "OnInitAppSettings", QVariant(), "winword"};
  core_.call("proc.CallBack", cb);
  EXPECT_EQ(cb[2].toString(), "OnInitAppSettings:winword");
  EXPECT_EQ(cb[3].toString(), "winword");
  // Missing arguments are seen as omitted, also when they come back.
  EXPECT_EQ(core_.call("Which", {1, missing(), 3}).toString(), "1-3");
  EXPECT_EQ(core_.call("Which").toString(), QString());
  QVariantList pitch{"Pitch", QVariant(), missing()};
  core_.call("GetValue", pitch);
  EXPECT_EQ(pitch[1].toString(), "Pitch=default");
  EXPECT_TRUE(isMissing(pitch[2]));
}

TEST_P(AutomationTest, CollectionsByPositionKeyAndAllAtOnce) {
  Obj devices = core_.obj("Devices");
  EXPECT_EQ(devices.count(), 2);
  EXPECT_EQ(devices.itemObj("pm").str("DeviceName"), "Papenmeier");
  EXPECT_EQ(toStr(devices.call("item", {2})), "Papenmeier");
  EXPECT_EQ(toStr(devices.call("ItemByIndex", {1})), "Alva");
  // Arguments after an object-valued property go to its default member, Item.
  EXPECT_EQ(toStr(core_.get("Devices", {"Alva"})), "Alva");
  EXPECT_EQ(devices.strings(), (QStringList{"Alva", "Papenmeier"}));
  for (const QVariant& outside : {QVariant(3), QVariant(0), QVariant("nobody")})
    EXPECT_EQ(errorOf([&] { devices.item(outside); }), jex::err::InvalidCall) << outside.toString().toStdString();
  for (int i = 0; i < 500; ++i) server_->names_->add(QStringLiteral("entry %1").arg(i));
  QStringList all = core_.obj("Names").strings();
  ASSERT_EQ(all.size(), 500);
  EXPECT_EQ(all.last(), "entry 499");
}

TEST_P(AutomationTest, ObjectsKeepIdentityAndDefaultValuesAndEndlessDefaultsRaiseAnError) {
  EXPECT_EQ(core_.obj("proc"), core_.obj("Proc"));
  EXPECT_FALSE(core_.obj("proc") == core_.obj("Devices"));
  Obj alva = core_.obj("Devices").itemObj(1);
  EXPECT_EQ(alva.toString(), "Alva");
  EXPECT_EQ(toStr(fromObj(alva)), "Alva");
  EXPECT_EQ(alva.i32("Cells"), 40);
  EXPECT_EQ(errorOf([&] { core_.obj("proc").toString(); }), jex::err::UnknownMember);
  EXPECT_EQ(errorOf([&] { core_.obj("proc.AppPath"); }), jex::err::ObjectRequired);
  EXPECT_EQ(errorOf([&] { Obj().get("x"); }), jex::err::ObjectRequired);
  // Default members that give objects without end; arguments after the property go to its
  // default member, which gives the object again.
  Obj mirror = core_.obj("Mirror");
  EXPECT_EQ(errorOf([&] { mirror.toString(); }), jex::err::OutOfStack);
  EXPECT_EQ(errorOf([&] { toI32(fromObj(mirror)); }), jex::err::OutOfStack);
  EXPECT_EQ(errorOf([&] { toBool(fromObj(mirror)); }), jex::err::OutOfStack);
  EXPECT_EQ(errorOf([&] { core_.get("Mirror", {1}); }), jex::err::OutOfStack);
}

// Lists of strings keep empty entries, their order and text beyond Latin-1.
TEST_P(AutomationTest, ValuesKeepTheirTypes) {
  const QVariantList mixed{1, true, 2.5, "x", QVariant(), QStringList{"a", "b"}, QVariantList{7, "y"}};
  const QVariantList list = core_.call("Echo", {QVariant(mixed)}).toList();
  ASSERT_EQ(list.size(), mixed.size());
  for (qsizetype i = 0; i < list.size(); ++i) {
    EXPECT_STREQ(list[i].metaType().name(), mixed[i].metaType().name()) << i;
    EXPECT_EQ(list[i], mixed[i]) << i;
  }
  EXPECT_TRUE(core_.call("Echo", {fromObj(Obj())}).value<Obj>().isNothing());
  for (const QStringList& strings : {QStringList{}, QStringList{QString()}, QStringList{QString(), QString()},
                                     QStringList{"Größe", QString(), "€ ✓ 日本"}}) {
    QVariant echoed = core_.call("Echo", {QVariant(strings)});
    EXPECT_EQ(echoed.metaType().id(), QMetaType::QStringList);
    EXPECT_EQ(echoed.toStringList(), strings);
  }
}

TEST_P(AutomationTest, SinkHandedToTheServerIsCalledBackWithByReferenceText) {
  auto sink = std::make_shared<TestSink>();
  core_.call("Init_Sink", {fromObj(Obj(sink))});
  EXPECT_EQ(core_.call("Fire", {"DLGSPEECH"}).toString(), "handled:DLGSPEECH");
  sink->core = core_;  // the sink calls the core back while the core is inside Fire
  EXPECT_EQ(core_.call("Fire", {"QUIT"}).toString(), "handled:QUIT:" + kAppPath);
  sink->core = Obj();
  EXPECT_EQ(sink->received, (QStringList{"DLGSPEECH", "QUIT"}));
  // An object that comes home is the original local object again.
  EXPECT_EQ(toObj(core_.call("Echo", {fromObj(Obj(sink))})).target().get(), sink.get());
  core_.call("Clear_Sink");
  // The server keeps no reference: its proxy dies as the call ends, while the reply still
  // hands the object back through the by-reference argument.
  for (int i = 0; i < 20; ++i) {
    QVariantList a{fromObj(Obj(sink))};
    core_.call("Echo", a);
    ASSERT_EQ(toObj(a[0]).target().get(), sink.get()) << "round " << i;
  }
}

TEST_P(AutomationTest, FailingCallsRaiseNumberedErrorsThatTheTrapLogs) {
  EXPECT_EQ(errorOf([&] { core_.get("NoSuchMember"); }), jex::err::UnknownMember);
  EXPECT_EQ(errorOf([&] { core_.call("Twice", {1, 2}); }), jex::err::WrongArguments);
  EXPECT_EQ(errorOf([&] { core_.call("proc.PitchRanges", {1}); }), jex::err::WrongArguments);
  EXPECT_EQ(errorOf([&] { core_.call("Twice", {"abc"}); }), jex::err::TypeMismatch);
  EXPECT_EQ(core_.call("Twice", {"21"}).toInt(), 42);
  EXPECT_EQ(errorOf([&] { core_.set("proc.AppPath", "x"); }), jex::err::WrongArguments);
  EXPECT_EQ(errorOf([&] { core_.call("Fail"); }), jex::err::FileError);
  // The number and the text of the failure reach the caller's log.
  QTemporaryDir dir;
  jex::logfile::setPath(dir.filePath("jexui.log"));
  EXPECT_FALSE(jex::trap("frmVoices.Form_Load", [&] { core_.str("proc.Nope"); }));
  EXPECT_FALSE(jex::trap("frmVoices.cmdOK_Click", [&] { core_.call("Fail"); }));
  jex::logfile::setPath({});
  QFile log(dir.filePath("jexui.log"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll(),
            QByteArray("!!! ERROR frmVoices.Form_Load: 438 Object doesn't support this property or method: Nope\r\n"
                       "!!! ERROR frmVoices.cmdOK_Click: 75 disk gone\r\n"));
}

TEST_P(AutomationTest, MemberTableDescribesTheObject) {
  const QList<MemberInfo> members = core_.obj("proc").target()->members();
  ASSERT_EQ(members.size(), 4);
  EXPECT_EQ(members[0].help, "The core's directory.");
  EXPECT_TRUE(members[0].readable && !members[0].writable && members[1].writable);
  EXPECT_EQ(members[2].kind, CallKind::Method);
  EXPECT_EQ(members[2].minArgs, 2);
}

INSTANTIATE_TEST_SUITE_P(Transports, AutomationTest, ::testing::Values(Transport::InProcess, Transport::DBus),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                           return info.param == Transport::InProcess ? "InProcess" : "DBus";
                         });

TEST(AutomationClasses, RegisteredClassesAreCreatedInProcess) {
  registerClass("Test.Core", [] { return std::make_shared<TestCore>(); });
  Obj a = createObject("test.core");
  EXPECT_EQ(a.str("proc.AppPath"), kAppPath);
  EXPECT_FALSE(a == createObject("TEST.CORE"));  // a new object each time
  unregisterClass("Test.Core");
}

TEST(AutomationConversions, ScriptLikeConversions) {
  EXPECT_EQ(toStr(QVariant()), QString());
  EXPECT_EQ(toStr(false), "False");
  EXPECT_EQ(toStr(2.5), "2.5");
  EXPECT_EQ(toI32(2.5), 2);  // half to even
  EXPECT_EQ(toI32(3.5), 4);
  EXPECT_EQ(errorOf([] { toI32(QVariant(qint64(1) << 40)); }), jex::err::TypeMismatch);  // no silent wrap
  EXPECT_TRUE(toBool("true") && toBool("-1") && !toBool("0"));
  EXPECT_EQ(errorOf([] { toBool("yes"); }), jex::err::TypeMismatch);
  EXPECT_EQ(errorOf([] { toI32(QStringList{}); }), jex::err::TypeMismatch);
  EXPECT_EQ(errorOf([] { toObj("x"); }), jex::err::ObjectRequired);
}

}  // namespace
