// The accessibility bus's ScreenReaderEnabled as the built core leaves it: on while its reader
// listens, and at the end as it was found, so that a screen reader of the desktop that was
// already on (and switched itself on by that setting) stays on. Run against at-spi2-core's bus
// launcher on the tests' private session bus.
#include <gtest/gtest.h>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QTemporaryDir>

#include "tests/support/processes.h"

namespace jex::testing {
namespace {

const QString kLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");

class ScreenReaderEnabled : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!bus_.ok()) GTEST_SKIP() << bus_.error().toStdString();
    if (!BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
    if (!QFileInfo(kLauncher).isExecutable()) GTEST_SKIP() << "no at-spi-bus-launcher (at-spi2-core)";
    QProcessEnvironment env = busEnvironment(bus_.address());
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));  // nothing kept between runs
    // The launcher puts its bus's socket into the runtime folder; one of its own keeps tests that
    // run side by side off each other's bus.
    ASSERT_TRUE(runtime_.isValid());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    launcher_.setProcessEnvironment(env);
    launcher_.start(kLauncher, {QStringLiteral("--launch-immediately")});
    ASSERT_TRUE(launcher_.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return value().has_value(); }, 10000)) << "the accessibility bus did not start";
    ASSERT_TRUE(registryAnswers()) << "the accessibility registry did not start";
  }
  void TearDown() override {
    launcher_.kill();
    launcher_.waitForFinished(3000);
  }

  std::optional<bool> value() {
    QDBusMessage get =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
    const QDBusMessage reply = bus_.connection().call(get, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant().toBool();
  }
  // The registry starts on its first call, which on a busy machine takes longer than the core's
  // registration waits: woken here first.
  bool registryAnswers() {
    const QDBusMessage address = bus_.connection().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 5000);
    if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty()) return false;
    QDBusConnection a11y =
        QDBusConnection::connectToBus(address.arguments().first().toString(), QStringLiteral("a11y-test"));
    const QDBusMessage ping =
        a11y.call(QDBusMessage::createMethodCall(QStringLiteral("org.a11y.atspi.Registry"),
                                                 QStringLiteral("/org/a11y/atspi/registry"),
                                                 QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
                  QDBus::Block, 20000);
    QDBusConnection::disconnectFromBus(QStringLiteral("a11y-test"));
    return ping.type() == QDBusMessage::ReplyMessage;
  }
  void set(bool on) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    m << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled")
      << QVariant::fromValue(QDBusVariant(on));
    bus_.connection().call(m, QDBus::Block, 2000);
  }

  SessionBus bus_;
  QTemporaryDir runtime_;
  QProcess launcher_;
};

TEST_P(ScreenReaderEnabled, IsOnWhileTheReaderListensAndAsFoundAfterTheCoreEnds) {
  const bool before = GetParam();
  set(before);
  ASSERT_EQ(value(), before);
  BuiltCore core(bus_.address());
  ASSERT_TRUE(core.startAndWait()) << core.out();
  ASSERT_TRUE(core.waitFor(QStringLiteral("READER: listening"), 10000)) << core.out();
  EXPECT_TRUE(QTest::qWaitFor([&] { return value() == true; }, 5000)) << "not on while the reader listens";
  core.type(QStringLiteral(":quit"));
  ASSERT_TRUE(core.waitEnded(10000)) << core.out();
  EXPECT_EQ(value(), before) << "the core did not leave ScreenReaderEnabled as it found it";
}

INSTANTIATE_TEST_SUITE_P(Found, ScreenReaderEnabled, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "On" : "Off"; });

}  // namespace
}  // namespace jex::testing
