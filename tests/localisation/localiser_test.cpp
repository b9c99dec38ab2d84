// The caption localiser against real widgets and language files written by the tests.
#include "global/cglobal.h"
#include "localisation/formregistry.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/fakecore.h"

#include <QtWidgets>

namespace {

using jex::loc::setArrayIndex;

template <class W>
W* add(QWidget* form, const char* name, const QString& text = {}) {
  auto* w = new W(form);
  w->setObjectName(QLatin1String(name));
  if constexpr (requires { w->setText(text); }) w->setText(text);
  form->layout()->addWidget(w);
  return w;
}

// In the stand-in core's directory, which is AppPath too.
class Localiser : public ::testing::Test, public fake::CoreFixture {
 protected:
  // Writes LNG/<lng>/JEXUIDLG.INI in Windows-1252 with CR LF line ends.
  void language(const QString& lng, const QString& text) {
    QDir(dir.path()).mkpath("LNG/" + lng);
    QStringEncoder enc("windows-1252");
    writeFile(dir.filePath("LNG/" + lng + "/JEXUIDLG.INI"), enc.encode(QString(text).replace('\n', "\r\n")));
  }
  void use(const QString& lng, const QString& text) {
    language(lng, text);
    loc_.setLNG(lng);
  }
  // The right-to-left language of the test data, in its own code page.
  bool hebrew() {
    QDir(dir.path()).mkpath("LNG/1037");
    return QFile::copy(JEX_SOURCE_DIR "/tests/data/lng/LNG/1037/JEXUIDLG.INI", dir.filePath("LNG/1037/JEXUIDLG.INI"));
  }
  std::unique_ptr<QWidget> form(const char* name) {
    auto f = std::make_unique<QWidget>();
    f->setObjectName(QLatin1String(name));
    new QVBoxLayout(f.get());
    return f;
  }

  class jex::frmLocalizer loc_;
};

TEST_F(Localiser, CaptionAndTipFollowTheFirstBarAndEmptyPartsKeepTheBuiltInText) {
  use("1033",
      "[frmTest]\ncmdCap=Okay\ncmdBoth=Both|Both tip\ncmdTip=|Only tip\ncmdBars=A|B|C\ncmdEmpty=\n"
      "txtName=typed\nlblName=Name|never shown\n");
  auto f = form("frmTest");
  auto* cap = add<QPushButton>(f.get(), "cmdCap", "Ok-de");
  cap->setToolTip("eingebaut");
  auto* both = add<QCheckBox>(f.get(), "cmdBoth", "beide");
  auto* tip = add<QPushButton>(f.get(), "cmdTip", "nur");
  auto* bars = add<QPushButton>(f.get(), "cmdBars", "x");
  auto* empty = add<QRadioButton>(f.get(), "cmdEmpty", "leer");
  auto* txt = add<QLineEdit>(f.get(), "txtName", "Text");
  auto* lbl = add<QLabel>(f.get(), "lblName", "Name-de");
  loc_.Localize(f.get());

  // Caption and tip of each control in turn; a text field takes its text, a label no tip.
  EXPECT_EQ(QStringList({cap->text(), cap->toolTip(), both->text(), both->toolTip(), both->accessibleDescription(),
                         tip->text(), tip->toolTip(), bars->text(), bars->toolTip(), empty->text(), txt->text(),
                         lbl->text(), lbl->toolTip()}),
            QStringList({"Okay", "eingebaut", "Both", "Both tip", "Both tip", "nur", "Only tip", "A", "B|C", "leer",
                         "typed", "Name", ""}));
  EXPECT_THAT(logText().toStdString(), ::testing::Not(::testing::HasSubstr("ERROR")));
}

// Items count from zero, tabs from one, and only the key with the blank is read; control arrays
// by index; labels of data (nl_), key fields, trees and sliders keep their texts.
TEST_F(Localiser, ItemsTabsArraysAndKindsDecideWhatIsLocalised) {
  use("1033",
      "[frmTest]\ncboMode=|list tip\ncboMode_Item 0=zero|cut\ncboMode_Item1=never\ncboMode_Item 2=two\n"
      "tabPages_Item 1=First\ntabPages_Item 2=Second\ntabPages_Item 0=never\n"
      "lstA_Item 0=a0\ncboVoice=|voice tip\ncboVoice_Item 0=never\n"
      "cmdBtn=bare\ncmdBtn(0)=zero\ncmdBtn(2)=two|tip two\nnl_Info=never\n"
      "txt_Keys=never|keys tip\ntreFolders=never|tree tip\nsldRate=never|never\n");
  auto f = form("frmTest");
  auto* cbo = add<QComboBox>(f.get(), "cboMode");
  cbo->addItems({"null", "eins", "zwei"});
  auto* tabs = add<QTabWidget>(f.get(), "tabPages");
  tabs->addTab(new QWidget, "eins");
  tabs->addTab(new QWidget, "zwei");
  auto* lst = add<QListWidget>(f.get(), "lstA");
  lst->addItems({"a", "b"});
  auto* voice = add<QComboBox>(f.get(), "cboVoice");
  voice->addItem("Anna");
  QList<QPushButton*> btn;
  for (int i = 0; i < 3; ++i) {
    btn.append(add<QPushButton>(f.get(), "cmdBtn", QString("b%1").arg(i)));
    setArrayIndex(btn.last(), i);
  }
  auto* nl = add<QLabel>(f.get(), "nl_Info", "bleibt");
  auto* keys = add<QLineEdit>(f.get(), "txt_Keys", "CAP+F1");
  auto* tree = add<QTreeWidget>(f.get(), "treFolders");
  auto* slider = add<QSlider>(f.get(), "sldRate");
  loc_.Localize(f.get());

  EXPECT_EQ(QStringList({cbo->itemText(0), cbo->itemText(1), cbo->itemText(2), cbo->toolTip()}),
            QStringList({"zero", "eins", "two", "list tip"}));
  EXPECT_EQ(QStringList({tabs->tabText(0), tabs->tabText(1)}), QStringList({"First", "Second"}));
  EXPECT_EQ(QStringList({lst->item(0)->text(), lst->item(1)->text()}), QStringList({"a0", "b"}));
  EXPECT_EQ(QStringList({btn[0]->text(), btn[1]->text(), btn[2]->text(), btn[2]->toolTip()}),
            QStringList({"zero", "b1", "two", "tip two"}));
  // Data lists take only the tip.
  EXPECT_EQ(QStringList({voice->itemText(0), voice->toolTip(), nl->text(), keys->text(), keys->toolTip(),
                         tree->toolTip(), slider->toolTip()}),
            QStringList({"Anna", "voice tip", "bleibt", "CAP+F1", "keys tip", "tree tip", ""}));
}

TEST_F(Localiser, MenuTipsGoToTheMainWindowsCollectionUnderTheLocalisedCaptionFirstOneKept) {
  use("1033",
      "[frmMDI]\nmnuFile=&File\nmnuA=Same|first tip\nmnuB=Same|second tip\nmnuC=Other|---\n"
      "[frmUser]\nmnuUserNew=&New user|creates a user\n");
  auto mdi = form("frmMDI");
  auto* menu = new QMenu(mdi.get());
  menu->setObjectName("mnuFile");
  menu->setTitle("&Datei");
  for (const char* name : {"mnuA", "mnuB", "mnuC"}) menu->addAction("x")->setObjectName(name);
  menu->addSeparator()->setObjectName("mnuSep");
  loc_.Localize(mdi.get());

  EXPECT_EQ(menu->title(), "&File");
  auto& tips = loc_.MenuTips();
  ASSERT_EQ(tips.count(), 1);
  EXPECT_EQ(tips.item("same"), "first tip");
  EXPECT_THAT(logText().toStdString(), ::testing::HasSubstr(" in frmLocalizer.Localize; mnuB"));

  auto user = form("frmUser");
  (new QMenu(user.get()))->addAction("neu")->setObjectName("mnuUserNew");
  loc_.Localize(user.get());
  EXPECT_EQ(tips.count(), 2);
  loc_.Localize(mdi.get());  // the main window starts a new collection
  EXPECT_EQ(tips.count(), 1);
}

TEST_F(Localiser, RightToLeftLanguageInItsOwnCodePageSetsTextsAndDirections) {
  ASSERT_TRUE(hebrew());
  loc_.setLNG("1037");
  EXPECT_TRUE(loc_.RTL());
  EXPECT_EQ(loc_.Charset(), 177);
  EXPECT_EQ(loc_.GetCapString("shift"), "שיפט");

  auto f = form("frmTest");
  auto* ok = add<QPushButton>(f.get(), "cmdOK", "OK");
  auto* lbl = add<QLabel>(f.get(), "lblName", "Name");
  auto* cbo = add<QComboBox>(f.get(), "cboMode");
  cbo->addItems({"normal", "schnell"});
  auto* lvw = add<QTableWidget>(f.get(), "lvwList");
  loc_.Localize(f.get());
  EXPECT_EQ(QStringList({ok->text(), ok->toolTip(), cbo->itemText(1)}),
            QStringList({"אישור", "שומר את ההגדרות", "מהיר"}));
  EXPECT_EQ(f->layoutDirection(), Qt::RightToLeft);
  EXPECT_TRUE(ok->testAttribute(Qt::WA_SetLayoutDirection));
  EXPECT_FALSE(lbl->testAttribute(Qt::WA_SetLayoutDirection));  // labels follow their form
  EXPECT_EQ(lvw->horizontalHeader()->layoutDirection(), Qt::RightToLeft);

  // A form without a section keeps its texts and still turns right to left.
  auto other = form("frmNone");
  auto* keep = add<QPushButton>(other.get(), "cmdOK", "bleibt");
  loc_.Localize(other.get());
  EXPECT_TRUE(keep->text() == "bleibt" && keep->layoutDirection() == Qt::RightToLeft);
}

TEST_F(Localiser, MissingLanguageLeavesEverythingBuiltIn) {
  loc_.setLNG("4711");
  EXPECT_EQ(loc_.LngDir(), dir.path() + "/LNG/4711/");
  EXPECT_FALSE(loc_.RTL());
  EXPECT_EQ(loc_.Charset(), 0);
  EXPECT_EQ(loc_.GetCapString("NUMPLUS"), "NUMPLUS");
  auto f = form("frmTest");
  auto* b = add<QPushButton>(f.get(), "cmdOK", "OK-de");
  loc_.Localize(f.get());
  EXPECT_EQ(b->text(), "OK-de");
  EXPECT_EQ(f->layoutDirection(), Qt::LeftToRight);
}

// --- language change ----------------------------------------------------------------------

class LanguageChange : public Localiser {
 protected:
  void SetUp() override {
    Localiser::SetUp();
    language("1031", "[Global]\nRightToLeft=0\n[frmTest]\ncmdOK=Übernehmen\n");
    language("1033", "[frmTest]\ncmdOK=Apply\n");
    ASSERT_TRUE(hebrew());
    jex::gGlobal().AppPath.clear();  // the core's AppPath is used then
    auto& h = loc_.hooks();
    h.notify = [this](const QString& cmd) { notified_ << cmd; };
    h.sendToCore = [this](const QString& cmd) { sent_ << cmd; };
    h.quit = [this] { ++quits_; };
    loc_.setLNG("1031");
  }
  QString coreLanguage() const { return core.store.value(corvane::ini::General, corvane::ini::DefaultLng, {}); }
  QStringList notified_, sent_;
  int quits_ = 0;
};

TEST_F(LanguageChange, SameDirectionReloadsInPlaceAndTheOtherHasTheCoreRestartJexUi) {
  loc_.ChangeLanguage("1033");
  EXPECT_EQ(coreLanguage(), "1033") << logText().toStdString();
  EXPECT_EQ(loc_.LNG(), "1033");
  EXPECT_EQ(loc_.LngDir(), dir.path() + "/LNG/1033/");
  EXPECT_EQ(notified_, QStringList{"UI_LNGCHANGE"});
  EXPECT_TRUE(sent_.isEmpty());
  EXPECT_EQ(quits_, 0);

  loc_.ChangeLanguage("1037");
  EXPECT_EQ(coreLanguage(), "1037");
  EXPECT_EQ(loc_.LNG(), "1033") << "the next JexUI loads it";
  EXPECT_EQ(sent_, QStringList(10, "DELAYPROCESSING") << "UI_RELOAD");
  EXPECT_EQ(quits_, 1);
  EXPECT_EQ(notified_.size(), 1) << "no dialog is told of a language it will not show";
}

TEST_F(LanguageChange, TheDefaultNotificationRelocalisesOpenWindows) {
  class jex::frmLocalizer fresh;  // with the default hooks
  fresh.setLNG("1031");
  auto f = form("frmTest");
  auto* b = add<QPushButton>(f.get(), "cmdOK", "x");
  f->show();
  fresh.ChangeLanguage("1033");
  EXPECT_EQ(b->text(), "Apply");
}

}  // namespace
