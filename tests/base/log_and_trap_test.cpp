#include <gtest/gtest.h>
#include <QTemporaryDir>

#include "base/error.h"
#include "base/log.h"

namespace {

class LogTest : public ::testing::Test {
 protected:
  LogTest() {
    jex::logfile::setPath(dir_.filePath(QStringLiteral("jexui.log")));
    jex::logfile::setThreshold(0);
  }
  ~LogTest() override { jex::logfile::setPath({}); }
  QByteArray written() const {
    QFile f(dir_.filePath(QStringLiteral("jexui.log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir_;
};

TEST_F(LogTest, ThresholdDecidesWhichLevelsAreWrittenButErrorsAlwaysAreAndRemoveStartsAfresh) {
  jex::WriteLog(QStringLiteral("detail"), jex::kDetail);
  jex::WriteErrorLog(QStringLiteral("step failed"));
  jex::logfile::setThreshold(3);
  jex::WriteLog(QStringLiteral("first run"), jex::kFirstRun);
  jex::WriteLog(QStringLiteral("command"), jex::kTraffic);
  jex::WriteLog(QStringLiteral("hidden detail"), jex::kDetail);
  EXPECT_EQ(written(), QByteArray("!!! ERROR step failed\r\nfirst run\r\ncommand\r\n"));
  jex::logfile::remove();
  jex::WriteErrorLog(QStringLiteral("new"));
  EXPECT_EQ(written(), QByteArray("!!! ERROR new\r\n"));
}

TEST_F(LogTest, TrapLogsLocationNumberAndDescriptionAndGoesOn) {
  EXPECT_FALSE(jex::trap("frmTest.Form_Load", [] { throw jex::Error(438, QStringLiteral("no such member")); }));
  EXPECT_EQ(jex::trapped("cTest.Value", 7, []() -> int { throw std::runtime_error("boom"); }), 7);
  EXPECT_EQ(written(),
            QByteArray("!!! ERROR frmTest.Form_Load: 438 no such member\r\n!!! ERROR cTest.Value: 5 boom\r\n"));
  EXPECT_TRUE(jex::trap("ok", [] {}));
}

}  // namespace
