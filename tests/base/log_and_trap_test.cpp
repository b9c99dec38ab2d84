#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/base/error.h"
#include "core/base/log.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    jex::logfile::setPath(dir_.filePath(QStringLiteral("jexui.log")));
    jex::logfile::setThreshold(0);
  }
  void TearDown() override { jex::logfile::setPath({}); }
  QString path() const { return dir_.filePath(QStringLiteral("jexui.log")); }
  QTemporaryDir dir_;
};

TEST_F(LogTest, ThresholdDecidesWhichLevelsAreWrittenButErrorsAlwaysAreAndRemoveStartsAfresh) {
  jex::WriteLog(QStringLiteral("detail"), jex::kDetail);
  jex::WriteErrorLog(QStringLiteral("step failed"));
  jex::logfile::setThreshold(3);
  jex::WriteLog(QStringLiteral("first run"), jex::kFirstRun);
  jex::WriteLog(QStringLiteral("command"), jex::kTraffic);
  jex::WriteLog(QStringLiteral("hidden detail"), jex::kDetail);
  EXPECT_EQ(readAll(path()), QByteArray("!!! ERROR step failed\r\nfirst run\r\ncommand\r\n"));
  // Removing starts a new log.
  jex::logfile::remove();
  jex::WriteErrorLog(QStringLiteral("new"));
  EXPECT_EQ(readAll(path()), QByteArray("!!! ERROR new\r\n"));
}

TEST_F(LogTest, TrapLogsLocationNumberAndDescriptionAndGoesOn) {
  bool ran = jex::trap("frmTest.Form_Load", [] { throw jex::Error(438, QStringLiteral("no such member")); });
  EXPECT_FALSE(ran);
  int v = jex::trapped("cTest.Value", 7, []() -> int { throw std::runtime_error("boom"); });
  EXPECT_EQ(v, 7);
  EXPECT_EQ(readAll(path()),
            QByteArray("!!! ERROR frmTest.Form_Load: 438 no such member\r\n!!! ERROR cTest.Value: 5 boom\r\n"));
  EXPECT_TRUE(jex::trap("ok", [] {}));
}

}  // namespace
