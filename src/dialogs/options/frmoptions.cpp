#include "dialogs/options/frmoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/keys/applicationlist.h"
#include "global/cglobal.h"
#include "ini/cinifil.h"
#include "localisation/frmlocalizer.h"
#include "platform/opener.h"
#include "platform/registry.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {

namespace {
QString u8(const char* s) { return QString::fromUtf8(s); }
QString L(const char* s) { return QString::fromLatin1(s); }

const QString kMsaaAutoStart = QStringLiteral("MSAAAutoStart");
const QString kMsaaAutoRead = QStringLiteral("MSAAAutoRead");
const QString kMsaaLineLen = QStringLiteral("MSAAMaxLineLen");
const QString kMsaaLines = QStringLiteral("MSAAPageLines");
const QString kMixed = QStringLiteral("MIXED");
const QString kSsrd = QStringLiteral("SSRD");
constexpr int kOwnValue = 4;  // ActiveValue's codes ORed above this: the application has own values

QString currentUser() {
  return trapped("frmOptions.currentUser", QString(), [] {
    const auto& user = gGlobal().UserProfile;
    return user ? user->Name() : QString();
  });
}

// The core's settings file.
std::unique_ptr<cIniFil> coreIni() {
  auto ini = std::make_unique<cIniFil>();
  ini->Init(gGlobal().AppPath + QStringLiteral("corvane.ini"), false);
  return ini;
}

// A number in [lo, hi]; nullopt for any other text.
std::optional<int> numberIn(const QString& text, int lo, int hi) {
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (!ok || n < lo || n > hi) return std::nullopt;
  return n;
}

QComboBox* numberList(QWidget* parent, const char* name, std::initializer_list<int> values) {
  auto* c = named<QComboBox>(parent, name);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->setCompleter(nullptr);  // "4" typed stays 4, not the entry 40 it begins
  for (int v : values) c->addItem(QString::number(v));
  return c;
}

bool keyboardDriverOn(const platform::Registry& reg) {
  return platform::services::start(reg, L(platform::services::kKeyboardDriver)) == 1u;
}

// Switches the logon service's keyboard driver on (Start 1) or off (4).
void setKeyboardDriver(platform::Registry& reg, bool on) {
  const QString driver = L(platform::services::kKeyboardDriver);
  if (!platform::services::exists(reg, driver)) {
    WriteErrorLog(platform::services::keyPath(driver).replace(u'/', u'\\') + QStringLiteral(" not found"));
    return;
  }
  platform::services::setStart(reg, driver, on ? 1 : 4);
}
}  // namespace

frmOptions::frmOptions(QWidget* parent) : ChildDialog(QStringLiteral("frmOptions"), u8("Optionen"), parent) {
  tabOptions_ = named<QTabBar>(this, "tabOptions");
  for (const char* t : {"&Allgemein", "&Dokumentwizard", "Windowsanmeldung"}) tabOptions_->addTab(u8(t));
  tabOptions_->setFocusPolicy(Qt::NoFocus);  // Ctrl+Tab and Ctrl+Shift+Tab choose the tab
  picTab_ = named<QStackedWidget>(this, "picTab");

  // Allgemein
  auto* general = new QWidget(picTab_);
  chkMonVisible_ = named<QCheckBox>(general, "chkMonVisible", u8("Monitorfenster anzeigen"));
  chkTooltips_ = named<QCheckBox>(general, "chkTooltips", u8("Tooltips sprechen"));
  chkNavBeep_ = named<QCheckBox>(general, "chkNavBeep", u8("Töne beim Navigieren"));
  chkBadWinMsg_ = named<QCheckBox>(general, "chkBadWinMsg", u8("No-Focus Meldung"));
  auto* lblH1 = named<QLabel>(general, "lblH1", u8("Halda - Menüs"));
  chkSounds_ = named<QCheckBox>(general, "chkSounds", u8("Sounds benutzen"));
  chkSpeakTips_ = named<QCheckBox>(general, "chkSpeakTips", u8("Hinweise in den Halda-Dialogen sprechen"));
  chkAsk2Save_ = named<QCheckBox>(general, "chkAsk2Save", u8("Frage Änderungen  speichern"));
  chkAutoRead_ = named<QCheckBox>(general, "chkAutoRead", u8("Hilfe automatisch vorlesen"));
  chkPagecaster_ = named<QCheckBox>(general, "chkPagecaster", u8("Pagecaster"));
  auto* lblLanguage = named<QLabel>(general, "lblLanguage", u8("&Landessprache:"));
  cboLanguage_ = named<QComboBox>(general, "cboLanguage");
  ui::setBuddy(lblLanguage, cboLanguage_);
  auto* generalBox = new QVBoxLayout(general);
  for (QWidget* w :
       std::initializer_list<QWidget*>{chkMonVisible_, chkTooltips_, chkNavBeep_, chkBadWinMsg_, lblH1, chkSounds_,
                                       chkSpeakTips_, chkAsk2Save_, chkAutoRead_, chkPagecaster_})
    generalBox->addWidget(w);
  auto* languageRow = new QFormLayout;
  languageRow->addRow(lblLanguage, cboLanguage_);
  generalBox->addLayout(languageRow);
  generalBox->addStretch(1);

  // Dokumentwizard
  auto* docWiz = new QWidget(picTab_);
  auto* lblTask = named<QLabel>(docWiz, "lblTask", u8("Einstellung für:"));
  cboTask_ = named<QComboBox>(docWiz, "cbo_Task");
  ui::setBuddy(lblTask, cboTask_);
  ui::setTip(cboTask_, u8("Anwendung wählen um eine anwendungsspezifische Belegung zuzuweisen, oder Global für ein "
                          "globale Belegung. "));
  chkDefSetting_ = named<QCheckBox>(docWiz, "chkDefSetting", u8("globale Einstellung benutzen"));
  chkDWStart_ = named<QCheckBox>(docWiz, "chkDWStart", u8("DocWiz automatisch starten"));
  chkDWAutoRead_ = named<QCheckBox>(docWiz, "chkDWAutoRead", u8("DocWiz automatisch vorlesen"));
  auto* lblDWLineLen = named<QLabel>(docWiz, "lblDWLineLen", u8("Zeilenlänge:"));
  cboDWLineLen_ = numberList(docWiz, "cbo_DWLineLen", {40, 60, 80, 100, 120, 160, 200, 250});
  ui::setBuddy(lblDWLineLen, cboDWLineLen_);
  auto* lblDWLines = named<QLabel>(docWiz, "lblDWLines", u8("Zeilen / Seite:"));
  cboDWLines_ = numberList(docWiz, "cbo_DWLines", {10, 15, 20, 25, 30, 40, 50, 100});
  ui::setBuddy(lblDWLines, cboDWLines_);
  auto* docWizBox = new QVBoxLayout(docWiz);
  auto* taskRow = new QFormLayout;
  taskRow->addRow(lblTask, cboTask_);
  docWizBox->addLayout(taskRow);
  for (QCheckBox* c : {chkDefSetting_, chkDWStart_, chkDWAutoRead_}) docWizBox->addWidget(c);
  auto* numbers = new QFormLayout;
  numbers->addRow(lblDWLineLen, cboDWLineLen_);
  numbers->addRow(lblDWLines, cboDWLines_);
  docWizBox->addLayout(numbers);
  docWizBox->addStretch(1);

  // Windowsanmeldung
  auto* logon = new QWidget(picTab_);
  chkStartMsg_ = named<QCheckBox>(logon, "chkStartMsg", u8("Startmeldung ansagen"));
  cmdEditMsg_ = named<QPushButton>(logon, "cmdEditMsg", u8("Startmeldung editieren"));
  auto* lblSSRD = named<QLabel>(logon, "lblSSRD", u8("Windows - Anmeldeservice:"));
  cboSSRD_ = named<QComboBox>(logon, "cboSSRD");
  for (const char* i : {"deaktiviert", "Brailleausgabe", "Sprachausgabe", "Braille & Sprache"})
    cboSSRD_->addItem(u8(i));
  ui::setBuddy(lblSSRD, cboSSRD_);
  chkKbdHK_ = named<QCheckBox>(logon, "chkKbdHK", u8("Tastaturtreiber für Anmeldeservice"));
  chkWinUser_ = named<QCheckBox>(logon, "chkWinUser", u8("Halda-Benutzer mit Windows-Anmeldung koppeln."));
  ui::setTip(chkWinUser_, u8("bewirkt daß jeder Windows-Benutzer sein letztes Halda-Profil bekommt."));
  auto* logonBox = new QVBoxLayout(logon);
  auto* messageRow = new QHBoxLayout;
  messageRow->addWidget(chkStartMsg_);
  messageRow->addWidget(cmdEditMsg_);
  messageRow->addStretch(1);
  logonBox->addLayout(messageRow);
  auto* serviceRow = new QFormLayout;
  serviceRow->addRow(lblSSRD, cboSSRD_);
  logonBox->addLayout(serviceRow);
  logonBox->addWidget(chkKbdHK_);
  logonBox->addWidget(chkWinUser_);
  logonBox->addStretch(1);

  for (QWidget* page : {general, docWiz, logon}) picTab_->addWidget(page);
  content()->addWidget(tabOptions_);
  content()->addWidget(picTab_, 1);
  hiddenTexts({{"s_Ask2Save", "wollen Sie die Änderungen speichern ?"},
               {"s_Global", "Global"},
               {"s_BadLineLen", "Die Zeilenlänge muss eine Zahl von 20 bis 250 sein."},
               {"s_BadLines", "Die Zeilen pro Seite müssen eine Zahl von 5 bis 200 sein."}});
  setSaveQuestion("s_Ask2Save");
  addButtons();

  for (QWidget* w : std::initializer_list<QWidget*>{
           chkMonVisible_, chkTooltips_, chkNavBeep_, chkBadWinMsg_, chkSounds_, chkSpeakTips_, chkAsk2Save_,
           chkAutoRead_, chkPagecaster_, cboLanguage_, chkStartMsg_, cboSSRD_, chkKbdHK_, chkWinUser_})
    track(w);
  connect(tabOptions_, &QTabBar::currentChanged, this, [this](int t) { tabChanged(t); });
  connect(chkStartMsg_, &QCheckBox::toggled, cmdEditMsg_, &QWidget::setEnabled);
  connect(cmdEditMsg_, &QPushButton::clicked, this, [this] { editWelcome(); });
  connect(cboSSRD_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!loading()) ssrdChosen(i);
  });
  connect(cboTask_, &QComboBox::currentIndexChanged, this, [this] {
    if (loading()) return;
    keepDocWiz();
    showDocWiz();
  });
  connect(chkDefSetting_, &QCheckBox::toggled, this, [this](bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{chkDWStart_, chkDWAutoRead_, cboDWLineLen_, cboDWLines_})
      w->setEnabled(!on);
  });
  for (QCheckBox* c : {chkDWStart_, chkDWAutoRead_}) connect(c, &QCheckBox::toggled, this, [this] { docWizEdited(); });
  for (QComboBox* c : {cboDWLineLen_, cboDWLines_})
    connect(c, &QComboBox::currentTextChanged, this, [this] { docWizEdited(); });
  // Ctrl+Tab reaches the dialog from every control, also from those that would take it as a
  // typed character (a closed list searches its entries for the text of a key).
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  WriteLog(QStringLiteral("frmOptions_Init"), kDetail);
}

frmOptions::~frmOptions() {
  WriteLog(QStringLiteral("frmOptions_unload"), kDetail);
  WriteLog(QStringLiteral("frmOptions_Terminate"), kDetail);
}

// --- tabs --------------------------------------------------------------------------------------

void frmOptions::SwitchTabs(bool forward) {
  trap("frmOptions.SwitchTabs", [&] {
    const int n = tabOptions_->count();
    selectTab((tabOptions_->currentIndex() + (forward ? 1 : n - 1)) % n);
  });
}

void frmOptions::selectTab(int tab) {
  if (tabOptions_->currentIndex() == tab) tabChanged(tab);
  else tabOptions_->setCurrentIndex(tab);
}

void frmOptions::tabChanged(int tab) {
  picTab_->setCurrentIndex(tab);
  namePage();
  if (!isVisible()) return;
  QWidget* first = tab == TabDocWiz  ? static_cast<QWidget*>(cboTask_)
                   : tab == TabStart ? static_cast<QWidget*>(cboSSRD_)
                                     : static_cast<QWidget*>(chkMonVisible_);
  first->setFocus(Qt::TabFocusReason);
}

// The pages are shown under a tab strip that takes no focus: the page is named by its tab, so that
// a screen reader says which tab the focus went to (Ctrl+Tab) or came back into (Tab).
void frmOptions::namePage() {
  trap("frmOptions.namePage",
       [this] { picTab_->setAccessibleName(ui::plainCaption(tabOptions_->tabText(tabOptions_->currentIndex()))); });
}

namespace {
// Ctrl+Tab (1), Ctrl+Shift+Tab (-1) or another key (0).
int tabSwitch(const QKeyEvent& key) {
  const auto mods = key.modifiers() & ~Qt::KeypadModifier;
  if (key.key() == Qt::Key_Tab && mods == Qt::ControlModifier) return 1;
  if (key.key() == Qt::Key_Backtab && (mods & Qt::ControlModifier)) return -1;
  return 0;
}
}  // namespace

void frmOptions::keyPressEvent(QKeyEvent* event) {
  if (const int step = tabSwitch(*event)) {
    SwitchTabs(step > 0);
    event->accept();
    return;
  }
  ChildDialog::keyPressEvent(event);
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && isAncestorOf(qobject_cast<QWidget*>(watched)))
    if (const int step = tabSwitch(*static_cast<QKeyEvent*>(event))) {
      SwitchTabs(step > 0);
      event->accept();
      return true;
    }
  return ChildDialog::eventFilter(watched, event);
}

QString frmOptions::SelectedTask() const {
  // The entry's text up to its first blank; the global entry is the first.
  if (cboTask_->currentIndex() <= 0) return QStringLiteral("DEFAULT");
  return chosenApplication(cboTask_).section(u' ', 0, 0);
}

// --- showing -----------------------------------------------------------------------------------

void frmOptions::showValues() {
  changed_.clear();
  namePage();  // in the language of this showing
  showGeneral();
  showLogon();
  trap("frmOptions.FillTasks", [this] { fillApplicationList(cboTask_, hiddenText("s_Global"), gGlobal().OldTask); });
  showDocWiz();
}

void frmOptions::showGeneral() {
  // One wait for all the core's values; when one fails, each is read on its own.
  const QStringList paths{L("proc.Locale.LngNamesColl.Items"),
                          L("proc.Locale.LngSubDirColl.Items"),
                          L("proc.IsMonWinVisible"),
                          L("proc.TooltipsStatus"),
                          L("proc.NavBeep.Value"),
                          L("proc.BadWinMsg.Value")};
  QVariantList values;
  if (!trap("frmOptions.GetValues", [&] { values = Jex().getEach(paths); })) {
    values.clear();
    for (const QString& p : paths)
      values << trapped(qPrintable(QStringLiteral("frmOptions.GetValues ") + p), QVariant(),
                        [&] { return Jex().get(p); });
  }
  trap("frmOptions.cboLanguage", [&] { fillLanguages(values[0].toStringList(), values[1].toStringList()); });
  trap("frmOptions.chkPagecaster", [this] {
    const platform::Registry reg(platform::Registry::machinePath());
    chkPagecaster_->setChecked(!platform::com::serverPath(reg, L(platform::pagecaster::kProgId)).isEmpty());
  });
  const std::pair<QCheckBox*, int> core[] = {
      {chkMonVisible_, 2}, {chkTooltips_, 3}, {chkNavBeep_, 4}, {chkBadWinMsg_, 5}};
  for (const auto& entry : core)
    trap(qPrintable(QStringLiteral("frmOptions.") + entry.first->objectName()), [&] {
      if (values[entry.second].isValid()) entry.first->setChecked(automation::toI32(values[entry.second]) != 0);
    });
  trap("frmOptions.UserSwitches", [this] {
    const auto& user = gGlobal().UserProfile;
    if (!user) return;
    chkSounds_->setChecked(user->UseSounds() != 0);
    chkSpeakTips_->setChecked(user->SpeakTips() != 0);
    chkAsk2Save_->setChecked(user->Ask2Save() != 0);
    chkAutoRead_->setChecked(user->AutoRead() != 0);
  });
  trap("frmOptions.chkWinUser", [this] {
    const auto& ini = gGlobal().Ini;
    chkWinUser_->setChecked(ini && ini->GetLong(QStringLiteral("WinUsers"), QStringLiteral("UseLogonUser"), 0) != 0);
  });
}

void frmOptions::fillLanguages(const QStringList& names, const QStringList& ids) {
  const QSignalBlocker hold(cboLanguage_);
  cboLanguage_->clear();
  for (qsizetype i = 0; i < ids.size(); ++i) cboLanguage_->addItem(names.value(i, ids[i]), ids[i].trimmed().toInt());
  cboLanguage_->setCurrentIndex(cboLanguage_->findData(frmLocalizer().LNG().trimmed().toInt()));
}

void frmOptions::showLogon() {
  trap("frmOptions.chkStartMsg", [this] {
    chkStartMsg_->setChecked(
        coreIni()->GetStr(kMixed, QStringLiteral("chkSayWelcome"), QStringLiteral("1")).trimmed() != u"0");
    cmdEditMsg_->setEnabled(chkStartMsg_->isChecked());
  });
  trap("frmOptions.cboSSRD", [this] {
    const platform::Registry reg(platform::Registry::machinePath());
    const bool on = platform::services::start(reg, L(platform::services::kLogonService)) == 2u;
    int index = 0;
    if (on) {
      const auto ini = coreIni();
      const int braille = qMax(0, int(ini->GetLong(kSsrd, QStringLiteral("SSRDUseBraille"), 0)));
      const int speech = qMax(0, int(ini->GetLong(kSsrd, QStringLiteral("SSRDUseSpeech"), 0)));
      index = int(qMin<qint64>(qint64(braille) + 2 * qint64(speech), 3));
    }
    cboSSRD_->setCurrentIndex(index);
    chkKbdHK_->setEnabled(on);
    chkKbdHK_->setChecked(on && keyboardDriverOn(reg));
  });
}

void frmOptions::ssrdChosen(int index) {
  trap("frmOptions.cboSSRD_Click", [&] {
    if (index <= 0) {
      chkKbdHK_->setChecked(false);
      chkKbdHK_->setEnabled(false);
      return;
    }
    chkKbdHK_->setEnabled(true);
    chkKbdHK_->setChecked(keyboardDriverOn(platform::Registry(platform::Registry::machinePath())));
  });
}

void frmOptions::editWelcome() {
  trap("frmOptions.cmdEditMsg_Click", [] {
    const QString dir = frmLocalizer().LngDir();
    QString file = platform::findEntryCaseless(dir, QStringLiteral("welcome.txt"), false);
    if (file.isEmpty()) file = dir + QStringLiteral("welcome.txt");
    WriteLog(QStringLiteral("frmOptions: edit ") + file, kTraffic);
    if (!platform::desktopOpener().open(QUrl::fromLocalFile(file)))
      throw Error(err::FileError, QStringLiteral("cannot open ") + file);
  });
}

// --- document wizard ---------------------------------------------------------------------------

frmOptions::DocWiz frmOptions::readDocWiz(const QString& app) const {
  DocWiz d;
  trap("frmOptions.cbo_Task_Click", [&] {
    const Obj settings = Jex().obj(QStringLiteral("proc.GlobalSettings"));
    const QString user = currentUser();
    const bool global = app == u"DEFAULT";
    int from = 0;
    QString values[4];
    const QString names[4] = {kMsaaAutoStart, kMsaaAutoRead, kMsaaLineLen, kMsaaLines};
    for (int i = 0; i < 4; ++i) {
      QVariantList args =
          global ? QVariantList{names[i], QString(), user} : QVariantList{names[i], QString(), user, app};
      from |=
          automation::toI32(settings.call(global ? QStringLiteral("GetValue") : QStringLiteral("ActiveValue"), args));
      values[i] = automation::toStr(args[1]);
    }
    d.followsGlobal = !global && from <= kOwnValue;
    d.start = values[0].trimmed().toInt() != 0;
    d.autoRead = values[1].trimmed().toInt() != 0;
    d.lineLen = values[2].trimmed();
    d.lines = values[3].trimmed();
  });
  return d;
}

frmOptions::DocWiz frmOptions::shownDocWiz() const {
  DocWiz d;
  d.followsGlobal = chkDefSetting_->isChecked();
  d.start = chkDWStart_->isChecked();
  d.autoRead = chkDWAutoRead_->isChecked();
  d.lineLen = cboDWLineLen_->currentText().trimmed();
  d.lines = cboDWLines_->currentText().trimmed();
  return d;
}

void frmOptions::putDocWiz(const DocWiz& d) {
  showingDocWiz_ = true;
  chkDefSetting_->setChecked(d.followsGlobal);
  chkDWStart_->setChecked(d.start);
  chkDWAutoRead_->setChecked(d.autoRead);
  for (const auto& [list, text] : {std::pair{cboDWLineLen_, d.lineLen}, std::pair{cboDWLines_, d.lines}}) {
    const int at = list->findText(text);
    if (at >= 0) list->setCurrentIndex(at);
    list->setEditText(text);
  }
  showingDocWiz_ = false;
}

void frmOptions::showDocWiz() {
  shownTask_ = SelectedTask();
  loadedDocWiz_ = readDocWiz(shownTask_);
  putDocWiz(changed_.value(shownTask_, loadedDocWiz_));
  const bool global = shownTask_ == u"DEFAULT";
  chkDefSetting_->setEnabled(!global);
}

void frmOptions::keepDocWiz() {
  if (shownTask_.isEmpty()) return;
  const DocWiz shown = shownDocWiz();
  if (shown == loadedDocWiz_) changed_.remove(shownTask_);
  else changed_.insert(shownTask_, shown);
}

void frmOptions::docWizEdited() {
  if (loading() || showingDocWiz_ || !chkDefSetting_->isChecked()) return;
  const QSignalBlocker hold(chkDefSetting_);
  chkDefSetting_->setChecked(false);  // an own value: the application no longer follows the global ones
}

bool frmOptions::untrackedChanges() const {
  return !changed_.isEmpty() || (!shownTask_.isEmpty() && shownDocWiz() != loadedDocWiz_);
}

bool frmOptions::refuseBadNumbers() {
  return trapped("frmOptions.CheckNumbers", false, [this] {
    keepDocWiz();
    for (auto it = changed_.cbegin(); it != changed_.cend(); ++it) {
      if (it->followsGlobal) continue;
      const bool lineLenOk = numberIn(it->lineLen, kMinLineLen, kMaxLineLen).has_value();
      if (lineLenOk && numberIn(it->lines, kMinLines, kMaxLines)) continue;
      const QString app = it.key();
      if (app != shownTask_) {
        const int at = app == u"DEFAULT" ? 0 : cboTask_->findText(app, Qt::MatchFixedString);
        cboTask_->setCurrentIndex(qMax(0, at));  // the application's values are shown
      }
      selectTab(TabDocWiz);
      QComboBox* field = lineLenOk ? cboDWLines_ : cboDWLineLen_;
      MsgBoxEx(hiddenText(lineLenOk ? "s_BadLines" : "s_BadLineLen"), msgbox::kOkOnly);
      field->setFocus(Qt::OtherFocusReason);
      field->lineEdit()->selectAll();
      return true;
    }
    return false;
  });
}

// --- storing -----------------------------------------------------------------------------------

void frmOptions::accept() {
  if (refuseBadNumbers()) return;
  ChildDialog::accept();
}

void frmOptions::revert() {
  changed_.clear();
  loadValues();
}

void frmOptions::store() {
  storeGeneral();
  storePagecaster();
  storeLogon();
  storeDocWiz();
  storeLanguage();  // last: it may end the program
}

void frmOptions::storeGeneral() {
  const auto set = [](const char* where, const QString& path, const QVariant& value) {
    trap(where, [&] { Jex().set(path, value); });
  };
  set("frmOptions.SaveValues.IsMonWinVisible", L("proc.IsMonWinVisible"), chkMonVisible_->isChecked());
  trap("frmOptions.SaveValues.UserSwitches", [this] {
    const auto& user = gGlobal().UserProfile;
    if (!user) return;
    user->setUseSounds(chkSounds_->isChecked() ? 1 : 0);
    user->setSpeakTips(chkSpeakTips_->isChecked() ? 1 : 0);
    user->setAsk2Save(chkAsk2Save_->isChecked() ? 1 : 0);
    user->setAutoRead(chkAutoRead_->isChecked() ? 1 : 0);
  });
  set("frmOptions.SaveValues.NavBeep", L("proc.NavBeep.Value"), chkNavBeep_->isChecked() ? 1 : 0);
  set("frmOptions.SaveValues.TooltipsStatus", L("proc.TooltipsStatus"), chkTooltips_->isChecked());
  set("frmOptions.SaveValues.BadWinMsg", L("proc.BadWinMsg.Value"), chkBadWinMsg_->isChecked() ? 1 : 0);
  trap("frmOptions.SaveValues.chkSayWelcome", [this] {
    coreIni()->SettingSave(kMixed, QStringLiteral("chkSayWelcome"),
                           chkStartMsg_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
  });
  trap("frmOptions.SaveValues.UseLogonUser", [this] {
    if (!changed(chkWinUser_)) return;
    if (const auto& ini = gGlobal().Ini)
      ini->SettingSave(QStringLiteral("WinUsers"), QStringLiteral("UseLogonUser"),
                       chkWinUser_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
  });
}

void frmOptions::storePagecaster() {
  trap("frmOptions.SaveValues.Pagecaster", [this] {
    platform::Registry reg(platform::Registry::machinePath());
    const QString server = platform::com::serverPath(reg, L(platform::pagecaster::kProgId));
    if (!server.isEmpty() && !chkPagecaster_->isChecked()) {
      platform::com::unregisterServer(reg, server);
    } else if (server.isEmpty() && chkPagecaster_->isChecked()) {
      QString folder = reg.value(QStringLiteral("HKEY_LOCAL_MACHINE"), L(platform::pagecaster::kKey),
                                 L(platform::pagecaster::kTarget))
                           .toString()
                           .trimmed();
      if (folder.isEmpty()) return;
      if (!folder.endsWith(u'\\') && !folder.endsWith(u'/'))
        folder += folder.contains(u'\\') && !folder.contains(u'/') ? u'\\' : u'/';
      platform::com::registerServer(reg, folder + L(platform::pagecaster::kServerFile));
    }
  });
}

void frmOptions::storeLogon() {
  trap("frmOptions.SaveValues.SSRD", [this] {
    platform::Registry reg(platform::Registry::machinePath());
    const QString service = L(platform::services::kLogonService);
    if (!platform::services::exists(reg, service)) return;
    const int index = cboSSRD_->currentIndex();
    if (index >= 1 && index <= 3) {
      platform::services::setStart(reg, service, 2);
      setKeyboardDriver(reg, chkKbdHK_->isChecked());
    } else {
      platform::services::setStart(reg, service, 3);
      setKeyboardDriver(reg, false);
    }
    const auto ini = coreIni();
    ini->SettingSave(kSsrd, QStringLiteral("SSRDUseBraille"),
                     index == 1 || index == 3 ? QStringLiteral("1") : QStringLiteral("0"));
    ini->SettingSave(kSsrd, QStringLiteral("SSRDUseSpeech"),
                     index == 2 || index == 3 ? QStringLiteral("1") : QStringLiteral("0"));
  });
}

void frmOptions::storeDocWiz() {
  keepDocWiz();
  const QString user = currentUser();
  for (auto it = changed_.cbegin(); it != changed_.cend(); ++it) {
    const QString app = it.key();
    const DocWiz& d = it.value();
    trap(qPrintable(QStringLiteral("frmOptions.SaveValues.DocWiz ") + app), [&] {
      const bool global = app == u"DEFAULT";
      if (!global) {
        // pVerifyAppDir: the core makes the user's entry for the application.
        trap("frmOptions.pVerifyAppDir", [&] {
          (void)automation::toObj(Jex().call(QStringLiteral("proc.User.AppKeyBindings"), {app})).get(L("CollA"));
        });
      }
      const Obj settings = Jex().obj(QStringLiteral("proc.GlobalSettings"));
      const std::pair<QString, QVariant> values[] = {{kMsaaAutoStart, d.start ? 1 : 0},
                                                     {kMsaaAutoRead, d.autoRead ? 1 : 0},
                                                     {kMsaaLineLen, d.lineLen},
                                                     {kMsaaLines, d.lines}};
      if (!global && d.followsGlobal) {
        for (const auto& [name, value] : values)
          settings.call(QStringLiteral("SetValue"), {name, automation::missing(), user, app});
        return;
      }
      if (!numberIn(d.lineLen, kMinLineLen, kMaxLineLen) || !numberIn(d.lines, kMinLines, kMaxLines))
        throw Error(err::InvalidCall, QStringLiteral("numbers out of range, not stored"));
      for (const auto& [name, value] : values) {
        if (global) settings.call(QStringLiteral("SetValue"), {name, value, user});
        else settings.call(QStringLiteral("SetValue"), {name, value, user, app});
      }
    });
  }
  changed_.clear();
}

void frmOptions::storeLanguage() {
  trap("frmOptions.SaveValues.Language", [this] {
    if (cboLanguage_->currentIndex() < 0) return;
    const QString chosen = QString::number(cboLanguage_->currentData().toInt());
    if (chosen == frmLocalizer().LNG().trimmed()) return;
    frmLocalizer().ChangeLanguage(chosen);
  });
}

JEX_FORM_REGISTRATION(frmOptions, {.create = [] { return std::make_unique<frmOptions>(); },
                                   .preload = 8,
                                   .menuButton = 5,
                                   .menuEntries = {{.name = QStringLiteral("mnuExtrasOptions")}}})

}  // namespace jex
