// The tone on each move of the focus: played as [MIXED] NavBeep says, before the focus is said,
// and the wave it plays.
#include <gtest/gtest.h>

// The stand-in events name only the fields they need; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include "corvane/engine/tone.h"
#include "corvane/reader/readerevent.h"
#include "corvane/reader/screenreader.h"
#include "tests/support/fakecore.h"

namespace corvane::reader {
namespace {

class NavBeep : public ::testing::TestWithParam<const char*> {};

TEST_P(NavBeep, SoundsOnEachFocusBeforeItIsSaidOnlyWhenSwitchedOn) {
  QTemporaryDir dir;
  fake::Core core{dir.path()};
  if (*GetParam())
    core.settings().setValue(QStringLiteral("MIXED"), QStringLiteral("NavBeep"), QString::fromUtf8(GetParam()));
  ScreenReader reader{core};
  const bool on = QByteArray(GetParam()) == "1";
  for (const char* name : {"OK", "Abbrechen"}) {
    ReaderEvent focus{ReaderEvent::Focus, {Kind::Button, QString::fromUtf8(name)}};
    reader.hear(focus);
  }
  ReaderEvent caret;
  caret.type = ReaderEvent::Caret;
  caret.info = {Kind::Edit, QStringLiteral("Name")};
  caret.caret = CaretMove{1, 0, QStringLiteral("n"), QStringLiteral("Anna")};
  reader.hear(caret);  // moving in a text is no move of the focus
  const QStringList heard = core.reports.filter(QRegularExpression(QStringLiteral("^(TONE|SPEAK): ")));
  const QString tone = QStringLiteral("TONE: navigation");
  EXPECT_EQ(heard.count(tone), on ? 2 : 0) << heard.join(u'\n').toStdString();
  if (on) EXPECT_EQ(heard.value(0), tone) << "the tone comes before the focus is said";
}

INSTANTIATE_TEST_SUITE_P(Values, NavBeep, ::testing::Values("", "0", "1", "ja"));

TEST(NavigationTone, IsAShortSoftEdgedMonoWave) {
  const QByteArray w = navigationToneWave();
  ASSERT_GT(w.size(), 44);
  EXPECT_TRUE(w.startsWith("RIFF") && w.mid(8, 8) == "WAVEfmt ");
  const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(w.constData() + at); };
  const auto s16 = [&](int at) { return qFromLittleEndian<qint16>(w.constData() + at); };
  EXPECT_EQ(u32(4), quint32(w.size() - 8));
  EXPECT_EQ(u32(40), quint32(w.size() - 44));
  const quint32 rate = u32(24);
  const double ms = 1000.0 * (w.size() - 44) / 2 / rate;
  EXPECT_GE(ms, 10);
  EXPECT_LE(ms, 60);
  EXPECT_EQ(s16(44), 0) << "it begins without a click";
  EXPECT_LT(std::abs(s16(w.size() - 2)), 200) << "and ends without one";
  int peak = 0;
  for (int at = 44; at < w.size(); at += 2) peak = std::max(peak, std::abs(int(s16(at))));
  EXPECT_GT(peak, 5000) << "it can be heard";
  EXPECT_LT(peak, 32767) << "without clipping";
}

}  // namespace
}  // namespace corvane::reader
