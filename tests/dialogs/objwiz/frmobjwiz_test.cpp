// The object wizard in the main window over the stand-in core, driven by keys: opened by
// SHOWTYPEDOC, the libraries of [TypeLibs] (the widl-made test libraries) and the defaults found
// through the registry, Tab round the window, Ctrl+C, the reference panel and its access keys,
// the search and its stored list, and the text of living objects.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>

#include "app/scripting/funcs.h"
#include "dialogs/objwiz/declaration.h"
#include "dialogs/objwiz/frmobjwiz.h"
#include "global/cglobal.h"
#include "ini/cinifil.h"
#include "platform/registry.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"

#ifdef JEX_TEST_TYPELIBS

namespace jex::test {
namespace {

QString fixture(const char* name) { return QDir(QStringLiteral(JEX_TEST_TYPELIBS)).filePath(QString::fromUtf8(name)); }

class ObjWiz : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    gGlobal().Ini = std::make_shared<cIniFil>();
    gGlobal().Ini->Init(appPath() + S("JEXUI.INI"), true);
    ASSERT_FALSE(gGlobal().AppPath.isEmpty());
  }
  void TearDown() override {
    frmObjWiz::setFileChooser({});
    DialogTest::TearDown();
    gGlobal().Ini.reset();
  }
  void references(const QStringList& entries) {
    gGlobal().Ini->SectionDelete(S("TypeLibs"));
    for (int i = 0; i < entries.size(); ++i)
      gGlobal().Ini->SettingSave(S("TypeLibs"), QString::number(i + 1), entries[i]);
  }
  frmObjWiz* openWizard() {
    frmObjWiz* w = open<frmObjWiz>("frmObjWiz");
    if (w) w->activateWindow();
    return w;
  }
  template <class W>
  W* child(frmObjWiz* w, const char* name) {
    return w->findChild<W*>(QString::fromLatin1(name));
  }
  void select(QTreeWidget* list, const QString& text) {
    list->setFocus();
    for (int i = 0; i < list->topLevelItemCount() && list->currentItem()->text(0) != text; ++i) key(Qt::Key_Down);
  }
  static QClipboard* clipboard() { return QGuiApplication::clipboard(); }
};

TEST_F(ObjWiz, ShowTypeDocListsTheClassesOfTheReferencedLibraries) {
  references({fixture("shapes.tlb"), fixture("shapes32.tlb"), S("")});
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->libraries().size(), 2);
  auto* classes = child<QTreeWidget>(w, "lstClasses");
  ASSERT_EQ(classes->topLevelItemCount(), 2 * 9);  // the alias is no class
  EXPECT_EQ(classes->topLevelItem(0)->text(0), S("Fill"));
  EXPECT_EQ(w->references().size(), 3);
  EXPECT_TRUE(w->references()[2].file.isEmpty());
  EXPECT_TRUE(logged(S("frmObjWiz: an empty reference entry")));

  // Sorted by the check box, by keys.
  auto* sorted = child<QCheckBox>(w, "chkSorted");
  press(sorted);
  EXPECT_TRUE(sorted->isChecked());
  EXPECT_EQ(classes->topLevelItem(0)->text(0), S("DShapeEvents"));
}

TEST_F(ObjWiz, TabGoesRoundTheBrowsingPageInReadingOrder) {
  references({fixture("shapes.tlb")});
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  child<QTreeWidget>(w, "lstClasses")->setFocus();
  const QStringList order{"lstMembers",    "chkSorted", "cboSearch", "lblClearSearch", "rtfDOC",
                          "cmdReferences", "cmdClose",  "cmdHelp",   "lstClasses"};
  for (const QString& name : order) {
    key(Qt::Key_Tab);
    QWidget* f = QApplication::focusWidget();
    ASSERT_NE(f, nullptr);
    const QString got =
        f->objectName().isEmpty() && f->parentWidget() ? f->parentWidget()->objectName() : f->objectName();
    EXPECT_EQ(got, name);
  }
}

TEST_F(ObjWiz, CtrlCCopiesTheClassOrTheMemberDeclaration) {
  references({fixture("shapes.tlb")});
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  auto* classes = child<QTreeWidget>(w, "lstClasses");
  select(classes, S("Fill"));
  clipboard()->clear();
  key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(clipboard()->text().startsWith(S("Private Enum Fill\r\n\tfillNone = 0\r\n")))
      << clipboard()->text().toStdString();

  select(classes, S("IShape"));
  auto* members = child<QTreeWidget>(w, "lstMembers");
  select(members, S("Move"));
  key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard()->text(), S("Private Sub Move(ByVal dx As Long, ByVal dy As Long)\r\n"));
  // The documentation shows the member in the help-comment form and where it belongs, line by line.
  EXPECT_EQ(w->GetLineString(0), S("\t'Moves the shape"));
  EXPECT_EQ(w->GetLineString(1), S("Sub Move(ByVal dx As Long, ByVal dy As Long)"));
  EXPECT_EQ(w->GetLineString(2), S("Member of Shapes.IShape"));
  EXPECT_EQ(w->GetLineIndex(), 0);
  EXPECT_EQ(w->GetCurrentLineString(), S("\t'Moves the shape"));
}

TEST_F(ObjWiz, ReferencePanelAddsRemovesAndStoresTheListInOneSection) {
  references({fixture("shapes.tlb"), S("qmtsys.dll")});
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  auto* help = child<QPushButton>(w, "cmdHelp");
  auto* add = child<QPushButton>(w, "cmdAddRef");
  EXPECT_TRUE(help->isVisible());
  EXPECT_FALSE(add->isVisible());

  child<QTreeWidget>(w, "lstClasses")->setFocus();
  key(Qt::Key_V, Qt::AltModifier);  // &Verweise (a button's access key clicks it a moment later)
  auto* files = child<QTreeWidget>(w, "lvwFiles");
  ASSERT_TRUE(QTest::qWaitFor([&] { return files->isVisible(); }, 2000));
  EXPECT_FALSE(help->isVisible()) << "Alt+H must reach one button only";
  ASSERT_EQ(files->topLevelItemCount(), 2);
  EXPECT_EQ(files->topLevelItem(0)->text(0), S("Shapes"));
  EXPECT_EQ(files->topLevelItem(1)->text(0), QString());  // not resolved

  QString askedTitle, askedFilter;
  frmObjWiz::setFileChooser([&](QWidget*, const QString& title, const QString& filter) {
    askedTitle = title;
    askedFilter = filter;
    return fixture("colours.tlb");
  });
  key(Qt::Key_H, Qt::AltModifier);  // &hinzufügen, not Hilfe
  ASSERT_TRUE(QTest::qWaitFor([&] { return files->topLevelItemCount() == 3; }, 2000));
  EXPECT_EQ(askedTitle, S("TypenBibliothek hinzufügen"));
  EXPECT_TRUE(askedFilter.contains(S("*.tlb")));
  ASSERT_EQ(files->topLevelItemCount(), 3);
  EXPECT_EQ(files->topLevelItem(2)->text(0), S("Colours"));

  files->setFocus();
  files->setCurrentItem(files->topLevelItem(1));
  key(Qt::Key_E, Qt::AltModifier);  // &entfernen
  ASSERT_TRUE(QTest::qWaitFor([&] { return files->topLevelItemCount() == 2; }, 2000));

  press(child<QPushButton>(w, "cmdOKRef"));
  EXPECT_FALSE(files->isVisible());
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TypeLibs"), S("1")), fixture("shapes.tlb"));
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TypeLibs"), S("2")), fixture("colours.tlb"));
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TypeLibs"), S("3")), QString());
  EXPECT_EQ(w->libraries().size(), 2);

  // Escape on the panel goes back without writing.
  child<QTreeWidget>(w, "lstClasses")->setFocus();
  key(Qt::Key_V, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return files->isVisible(); }, 2000));
  files->setFocus();
  key(Qt::Key_E, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return files->topLevelItemCount() == 1; }, 2000));
  key(Qt::Key_Escape);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(files->isVisible());
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TypeLibs"), S("2")), fixture("colours.tlb"));
}

TEST_F(ObjWiz, DefaultNamesAreFoundBesideTheCoreOrThroughTheRegistry) {
  gGlobal().Ini->SectionDelete(S("TypeLibs"));
  // A library beside the core under a default name, one registered for another.
  QFile::copy(fixture("colours.tlb"), gGlobal().AppPath + S("qmtmom.dll"));
  ASSERT_TRUE(platform::typelibs::registerLibrary(
      platform::Registry::machinePath(), S("{5B0C2F1E-7A41-4C36-9D0E-1F2A3B4C5D60}"), 2, 7, fixture("shapes.tlb")));
  QFile::copy(fixture("shapes.tlb"), gGlobal().AppPath + S("corvane.tlb"));
  ASSERT_TRUE(platform::typelibs::registerLibrary(platform::Registry::machinePath(), S("{1}"), 1, 0,
                                                  gGlobal().AppPath + S("corvane.tlb")));
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(w->references().size(), 5);
  EXPECT_EQ(w->references()[0].entry, S("corvane.exe"));
  EXPECT_EQ(w->references()[0].file, gGlobal().AppPath + S("corvane.tlb"));
  EXPECT_EQ(w->references()[0].library, S("Shapes"));
  EXPECT_EQ(w->references()[2].library, S("Colours"));
  EXPECT_TRUE(w->references()[4].file.isEmpty());
  EXPECT_TRUE(logged(S("frmObjWiz: no type library for qmtsys.dll")));
}

TEST_F(ObjWiz, ABadLibraryIsLoggedAndTheOthersStillLoad) {
  const QString bad = gGlobal().AppPath + S("bad.tlb");
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray("MSFT\x02\x00\x01\x00", 8));
  f.close();
  references({bad, S("c:\\windows\\system32\\stdole2.tlb"), fixture("shapes.tlb"), fixture("shapes.tlb")});
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->libraries().size(), 1);
  EXPECT_TRUE(logged(bad + S(": the header is cut off")));
  EXPECT_TRUE(logged(S("frmObjWiz: a Windows path is not to be had here")));
  EXPECT_TRUE(logged(S("frmObjWiz: listed twice: ")));
}

TEST_F(ObjWiz, SearchKeepsMatchingClassesAndRemembersTheText) {
  references({fixture("shapes.tlb")});
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  auto* search = child<QComboBox>(w, "cboSearch");
  search->setFocus();
  QTest::keyClicks(search->lineEdit(), S("Moved"));
  key(Qt::Key_Return);
  auto* classes = child<QTreeWidget>(w, "lstClasses");
  ASSERT_EQ(classes->topLevelItemCount(), 1);
  EXPECT_EQ(classes->topLevelItem(0)->text(0), S("DShapeEvents"));
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TLI_Search"), S("1")), S("Moved"));
  press(child<QPushButton>(w, "lblClearSearch"));
  EXPECT_EQ(classes->topLevelItemCount(), 9);
}

TEST_F(ObjWiz, FavouritesAreListedFirstAndKept) {
  references({fixture("shapes.tlb")});
  gGlobal().Ini->SettingSave(S("TLI_Search"), S("1"), S("Moved"));
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  auto* classes = child<QTreeWidget>(w, "lstClasses");
  select(classes, S("Point"));
  key(Qt::Key_D, Qt::ControlModifier);
  select(classes, S("Square"));
  key(Qt::Key_D, Qt::ControlModifier);
  key(Qt::Key_D, Qt::ControlModifier);  // once only
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TLI_Favorites"), S("1")), S("Square"));
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TLI_Favorites"), S("2")), S("Point"));
  EXPECT_EQ(gGlobal().Ini->GetStr(S("TLI_Favorites"), S("3")), QString());
  auto* search = child<QComboBox>(w, "cboSearch");
  ASSERT_EQ(search->count(), 3);
  EXPECT_EQ(search->itemText(0), S("Square"));
  EXPECT_EQ(search->itemText(2), S("Moved"));
  // Shown again: both lists read back.
  key(Qt::Key_Escape);
  w = openWizard();
  auto* again = child<QComboBox>(w, "cboSearch");
  QStringList items;
  for (int i = 0; i < again->count(); ++i) items << again->itemText(i);
  EXPECT_EQ(items, QStringList({S("Square"), S("Point"), S("Moved")}));
}

TEST_F(ObjWiz, AltHOnTheBrowsingPageIsHelpNeverAdd) {
  references({fixture("shapes.tlb")});
  frmObjWiz* w = openWizard();
  ASSERT_NE(w, nullptr);
  int asked = 0;
  frmObjWiz::setFileChooser([&](QWidget*, const QString&, const QString&) {
    ++asked;
    return QString();
  });
  child<QTreeWidget>(w, "lstClasses")->setFocus();
  key(Qt::Key_H, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return logged(S("frmHelp")); }, 2000)) << logText().toStdString();
  EXPECT_EQ(asked, 0);
}

TEST_F(ObjWiz, LivingObjectsAreWrittenAsTheirMemberTable) {
  frmObjWiz* w = qobject_cast<frmObjWiz*>(forms::load(S("frmObjWiz")));
  ASSERT_NE(w, nullptr);
  const QString text = w->GetLiveObjectInfo(automation::fromObj(root));
  EXPECT_TRUE(text.contains(S("Private Property Get SpeechProfiles() As Variant\r\n"))) << text.toStdString();
  EXPECT_TRUE(text.endsWith(S("\r\n")));
  EXPECT_EQ(w->GetLiveObjectInfo(S("no object")), QString());
  // Funcs answers with the wizard's text.
  Funcs funcs;
  EXPECT_EQ(funcs.GetTypeLibInfoFromO(automation::fromObj(root)), text);
}

}  // namespace
}  // namespace jex::test

#endif
