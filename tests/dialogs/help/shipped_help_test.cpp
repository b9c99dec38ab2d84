// The help files an installation ships (data/Help/<language>/<form>.rtf): for every dialog whose
// help the user can ask for, in both languages, the file is there, does not begin with a marker,
// every marker is closed and names a control of the dialog, every control Tab reaches has a
// marker, and the search for "[" + a control's name lands on that control's own marker.
#include <QFile>
#include <QStackedWidget>
#include <QTextDocument>

#include "dialogs/help/helptext.h"
#include "dialogs/help/textwindow.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"
#include "widgets/accessibility.h"
#include "widgets/rtfreader.h"

namespace jex::test {
namespace {

constexpr const char* kLanguages[] = {"1031", "1033"};

// Hidden by itself (not as a page of a stack or tab widget that is not shown now).
bool hiddenForGood(QWidget* w, QWidget* form) {
  for (QWidget* p = w; p && p != form; p = p->parentWidget()) {
    const bool page = qobject_cast<QStackedWidget*>(p->parentWidget()) != nullptr;
    if (p->isHidden() && !page) return true;
  }
  return false;
}

// Every control of the dialog Tab can reach, on every page.
QList<QWidget*> tabStops(QWidget* form) {
  QList<QWidget*> stops;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!(w->focusPolicy() & Qt::TabFocus) || ui::tabStopOf(w) != w || hiddenForGood(w, form)) continue;
    if (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_")) continue;
    stops << w;
  }
  return stops;
}

QString plainText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QTextDocument doc;
  if (!rtf::read(f.readAll(), doc)) return {};
  return doc.toPlainText();
}

class ShippedHelp : public DialogTest, public ::testing::WithParamInterface<QString> {};

TEST_P(ShippedHelp, MarksEveryControlOfTheDialogInBothLanguages) {
  const QString name = GetParam();
  ChildDialog* d = open(name);
  ASSERT_NE(d, nullptr);
  // The text windows and the windows of their own have no help of their own: the user asks for
  // help in the dialogs of the main window (Hilfe, "/", the help key).
  if (qobject_cast<TextWindow*>(d) || d->isOwnWindow()) GTEST_SKIP() << "no help asked for here";
  const QList<QWidget*> stops = tabStops(d);
  for (const char* lng : kLanguages) {
    SCOPED_TRACE(lng);
    language(lng);  // the controls named in the messages by their labels in that language
    const QString path = S(JEX_SOURCE_DIR "/data/Help/") + QLatin1String(lng) + u'/' + name + S(".rtf");
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    const QString text = plainText(path);
    ASSERT_FALSE(text.isEmpty()) << "not RTF or empty: " << path.toStdString();
    EXPECT_FALSE(text.startsWith(S("//"))) << "begins with a marker: its markers would all stay";
    EXPECT_FALSE(help::splitTitle(text).title.trimmed().isEmpty()) << "no title line";
    bool unclosed = false;
    const QStringList names = help::markerNames(text, &unclosed);
    EXPECT_FALSE(unclosed) << "a marker is never closed";
    EXPECT_FALSE(help::removeBlocks(text, help::findMarkers(text, {}).blocks).contains(S("//")))
        << "a marker is left in the shown text";
    for (const QString& n : names)
      EXPECT_NE(d->findChild<QWidget*>(n), nullptr) << "the marker [" << n.toStdString() << "] names no control";
    const QList<help::Range> blocks = help::findMarkers(text, {}).blocks;
    for (QWidget* w : stops) {
      const QString control = w->objectName();
      EXPECT_TRUE(names.contains(control))
          << control.toStdString() << " (" << announcedLabel(w).toStdString() << ") has no marker";
      // The search lands inside the control's own marker, on its whole name.
      const qsizetype at = text.indexOf(u'[' + control);
      if (at < 0) continue;
      EXPECT_TRUE(text.mid(at, control.size() + 2) == u'[' + control + u']')
          << "the search for [" << control.toStdString() << " lands on another marker";
      const bool inMarker = std::any_of(blocks.begin(), blocks.end(),
                                        [&](const help::Range& b) { return at > b.start && at < b.start + b.length; });
      EXPECT_TRUE(inMarker) << "[" << control.toStdString() << " is found outside a marker";
      EXPECT_GT(help::findMarkers(text, control).target, 0) << control.toStdString();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, ShippedHelp, ::testing::ValuesIn(openableDialogs()),
                         [](const ::testing::TestParamInfo<QString>& p) { return p.param.toStdString(); });

// The main window's help (the menu's direct help with no dialog open) and the read-me files the
// menu names.
TEST(ShippedTexts, TheMainWindowsHelpAndTheReadMeFilesAreThereInBothLanguages) {
  for (const char* lng : kLanguages)
    for (const char* file : {"frmMDI.rtf", "readme.rtf", "h4keys.rtf"}) {
      const QString text = plainText(S(JEX_SOURCE_DIR "/data/Help/") + QLatin1String(lng) + u'/' + QLatin1String(file));
      EXPECT_FALSE(help::splitTitle(text).title.trimmed().isEmpty()) << lng << '/' << file;
      EXPECT_FALSE(text.startsWith(S("//"))) << lng << '/' << file;
    }
}

}  // namespace
}  // namespace jex::test
