// The speech log that tests and benchmarks read, and the monitor window's list of utterances.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include "base/log.h"
#include "corvane/engine/monitorwindow.h"
#include "corvane/engine/speechlog.h"
#include "tests/support/accessibility.h"

namespace corvane {
namespace {

Spoken spoken(const QString& text, qint64 start, qint64 end) {
  Spoken s;
  s.text = text;
  s.source = 7;
  s.voice = QStringLiteral("de");
  s.startMs = start;
  s.endMs = end;
  return s;
}

TEST(SpeechLog, OneLinePerUtteranceNewAtEachStartAndAReadOnlyLogOnlyCostsOneLogLine) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("speech.log"));
  QFile old(path);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("from the last run\n") > 0);
  old.close();
  SpeechLog log(path);
  log.write(spoken(QStringLiteral("Zeile\teins\nzwei"), 1000, 1250), QStringLiteral("cut"));
  log.write(spoken(QStringLiteral("OK, Schalter"), 1300, 1300), QStringLiteral("muted"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);
  SpeechLog::Entry e;
  ASSERT_TRUE(SpeechLog::parse(lines[0], &e));
  EXPECT_EQ(e.startMs, 1000);
  EXPECT_EQ(e.durationMs, 250);
  EXPECT_EQ(e.source, 7);
  EXPECT_EQ(e.voice, QStringLiteral("de"));
  EXPECT_EQ(e.outcome, QStringLiteral("cut"));
  EXPECT_EQ(e.text, QStringLiteral("Zeile eins zwei"));
  EXPECT_TRUE(
      lines[0].contains(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\t"))));

  // A log that cannot be written: one error line, and speaking goes on without it.
  const QString logPath = dir.filePath(QStringLiteral("corvane.log"));
  jex::logfile::setPath(logPath);
  SpeechLog blocked(dir.filePath(QStringLiteral("no/such/dir/speech.log")));
  for (int i = 0; i < 3; ++i) blocked.write(spoken(QStringLiteral("x"), 1, 2), QStringLiteral("done"));
  QFile errors(logPath);
  ASSERT_TRUE(errors.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(errors.readAll()).count(QStringLiteral("speech log")), 1);
}

TEST(MonitorWindow, ShowsTheLastTwentyUtterancesNewestLastAndIsAccessible) {
  MonitorWindow w;
  for (int i = 1; i <= 25; ++i) w.appendUtterance(QStringLiteral("Äußerung %1").arg(i));
  w.appendLine(QStringLiteral("SPEAK: Äußerung 25"));
  QListWidget* list = w.findChild<QListWidget*>(QStringLiteral("lstUtterances"));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), MonitorWindow::kUtterancesShown);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("Äußerung 6"));
  EXPECT_EQ(list->item(list->count() - 1)->text(), QStringLiteral("Äußerung 25"));
  EXPECT_ACCESSIBLE(&w);

  w.show();
  const QString dir =
      qEnvironmentVariable("JEX_BINARY_DIR", QStringLiteral(JEX_BIN_DIR "/..")) + QStringLiteral("/../screenshots");
  QDir().mkpath(dir);
  EXPECT_TRUE(w.grab().save(dir + QStringLiteral("/monitor.png")));
}

}  // namespace
}  // namespace corvane
