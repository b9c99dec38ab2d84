// The shipped language files: format, agreement between the languages, and complete English
// texts for every registered form.
#include "app/formlist.h"
#include "global/cglobal.h"
#include "ini/cinifil.h"
#include "localisation/formregistry.h"
#include "localisation/frmlocalizer.h"
#include "widgets/formservice.h"

#include <QtWidgets>

namespace {

const QString kData = QStringLiteral(JEX_SOURCE_DIR "/data/");
const QStringList kShipped{"1031", "1033"};

QStringList keysOf(jex::cIniFil& ini, const QString& section) {
  jex::Array2<QString> entries;
  ini.SectionLoad(entries, section);
  QStringList keys;
  for (int i = 1; i <= entries.ubound(2); ++i) keys << entries(1, i).toLower();
  keys.sort();
  return keys;
}

class ShippedLanguages : public ::testing::Test {
 protected:
  void SetUp() override { jex::gGlobal().AppPath = kData; }
  void TearDown() override { jex::resetGlobals(); }
  class jex::frmLocalizer loc_;
};

TEST_F(ShippedLanguages, AreWindowsTextWithCrLfAndLoadAsLeftToRightWestern) {
  for (const QString& lng : kShipped) {
    for (const char* name : {"JEXUIDLG.INI", "welcome.txt"}) {
      QFile f(kData + "LNG/" + lng + "/" + name);
      ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
      const QByteArray bytes = f.readAll();
      EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << f.fileName().toStdString();
      EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    }
    loc_.setLNG(lng);
    EXPECT_FALSE(loc_.RTL());
    EXPECT_EQ(loc_.Charset(), 0);
    EXPECT_EQ(loc_.DlgIni().GetStr("Global", "HelpFile"), "h44.chm");
    EXPECT_FALSE(loc_.DlgIni().GetStr("Links", "Link0").isEmpty());
    EXPECT_FALSE(loc_.DlgIni().GetStr("Links", "supportmail").isEmpty());
    EXPECT_FALSE(loc_.DlgIni().GetStr("DEVICES", "NONE").isEmpty());
  }
  loc_.setLNG("1031");
  EXPECT_EQ(loc_.GetCapString("Backspace"), "Rücktaste");
  EXPECT_EQ(loc_.GetCapString("ctrl"), "Strg+");
  EXPECT_EQ(loc_.GetCapString("X"), "X");
}

TEST_F(ShippedLanguages, EveryLanguageHasTheSameSectionsAndKeys) {
  jex::cIniFil de, en;
  de.Init(kData + "LNG/1031/JEXUIDLG.INI", false);
  en.Init(kData + "LNG/1033/JEXUIDLG.INI", false);
  jex::Array1<QString> sections;
  de.SectionEnum(sections);
  ASSERT_GT(sections.ubound(), 4);
  for (const QString& s : sections) EXPECT_EQ(keysOf(de, s), keysOf(en, s)) << s.toStdString();
  jex::Array1<QString> enSections;
  en.SectionEnum(enSections);
  EXPECT_EQ(enSections.ubound(), sections.ubound());
  EXPECT_EQ(de.GetLeftSide("frmMDI", "cmdMenu(7)"), "schließen");
}

TEST_F(ShippedLanguages, LanguageNamesCoverEveryShippedLanguageInEveryLanguage) {
  jex::cIniFil names;
  ASSERT_TRUE(names.Init(kData + "LNG/lngnames.ini", false));
  for (const QString& ui : kShipped)
    for (const QString& lng : kShipped)
      EXPECT_FALSE(names.GetStr(ui, lng).isEmpty()) << ui.toStdString() << " " << lng.toStdString();
  EXPECT_EQ(names.GetStr("1031", "1033"), "Englisch");
  EXPECT_EQ(names.GetStr("1033", "1031"), "German");
}

// Every control of every registered form has its English caption, tip, items and tabs.
TEST_F(ShippedLanguages, EnglishCoversEveryRegisteredForm) {
  jex::cIniFil en;
  en.Init(kData + "LNG/1033/JEXUIDLG.INI", false);
  jex::registerForms();
  for (const QString& name : jex::forms::names()) {
    std::unique_ptr<QWidget> form = jex::forms::create(name);
    ASSERT_TRUE(form) << name.toStdString();
    for (const QString& gap : jex::loc::missingEntries(form.get(), en)) ADD_FAILURE() << gap.toStdString();
  }
}

TEST(FormRegistry, MissingEntriesNamesEachGapOfAForm) {
  QTemporaryDir dir;
  QFile f(dir.filePath("JEXUIDLG.INI"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[frmProbe]\r\ncmdOK=OK\r\ncmdHelp=Help\r\nlblTip=Label\r\ncboMode_Item 0=first\r\n");
  f.close();
  jex::cIniFil ini;
  ini.Init(f.fileName(), false);

  jex::forms::add({"frmProbe", [] {
                     auto form = std::make_unique<QWidget>();
                     form->setObjectName("frmProbe");
                     auto add = [&](QWidget* w, const char* name) {
                       w->setObjectName(QLatin1String(name));
                       return w;
                     };
                     add(new QPushButton("OK", form.get()), "cmdOK");
                     add(new QPushButton("Hilfe", form.get()), "cmdHelp")->setToolTip("zeigt Hilfe");
                     add(new QLabel("Etikett", form.get()), "lblTip")->setToolTip("nie");
                     auto* cbo = static_cast<QComboBox*>(add(new QComboBox(form.get()), "cboMode"));
                     cbo->addItems({"eins", "zwei"});
                     add(new QLabel(QString(), form.get()), "lblEmpty");
                     add(new QLabel("bleibt", form.get()), "nl_Data");
                     return form;
                   }});
  auto form = jex::forms::create("frmProbe");
  jex::forms::remove("frmProbe");
  ASSERT_TRUE(form);
  EXPECT_EQ(jex::loc::missingEntries(form.get(), ini),
            (QStringList{"[frmProbe] cmdHelp (tool tip)", "[frmProbe] cboMode_Item 1 (item)"}));
  EXPECT_FALSE(jex::forms::names().contains("frmProbe"));
}

}  // namespace
