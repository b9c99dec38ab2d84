#include "dialogs/profiles/frmuser.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "context/appcontext.h"
#include "dialogs/boxes/frminputbox.h"
#include "dialogs/boxes/frmmsgex.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/gridrows.h"
#include "widgets/named.h"

namespace jex {

namespace {

frmUser::FileChooser& chooser() {
  static frmUser::FileChooser c;
  return c;
}

QString chooseFile(QWidget* parent, bool save, const QString& suggested) {
  if (chooser()) return chooser()(parent, save, suggested);
  const QString filter = QStringLiteral("*.zip");
  return save ? QFileDialog::getSaveFileName(parent, QString(), suggested, filter)
              : QFileDialog::getOpenFileName(parent, QString(), suggested, filter);
}

// READState by list index: "Fenster lesen" (index 3) stands for 4.
constexpr int kReadStates[] = {0, 1, 2, 4};

Obj mixedSettings() { return appContext().core().obj(QStringLiteral("MixedSettings")); }

QStringList levels() { return {QStringLiteral("minimal"), QStringLiteral("Standard"), QStringLiteral("maximal")}; }

}  // namespace

void frmUser::setFileChooser(FileChooser c) { chooser() = std::move(c); }

frmUser::frmUser(QWidget* parent)
    : ChildDialog(QStringLiteral("frmUser"), QStringLiteral("Benutzerverwaltung"), parent), profiles_(QString()) {
  auto* grid = new QGridLayout;
  int row = 0;
  const auto list = [&](const char* label, const QString& caption, const char* name, const QStringList& items = {}) {
    return labelledCombo(this, grid, row, label, caption, name, items);
  };
  const auto check = [&](const char* name, const QString& caption) {
    auto* c = named<QCheckBox>(this, name, caption);
    grid->addWidget(c, row++, 1);
    return c;
  };
  cboUser_ = list("lblProfile", QStringLiteral("&Benutzer:"), "cboUser", {});
  cmdProfiles_ = named<QPushButton>(this, "cmdProfiles", QStringLiteral("&Profile verwalten"));
  grid->addWidget(cmdProfiles_, row++, 1);
  cboSpeechDef_ = list("lblSpeechDef", QStringLiteral("&Sprachausgabe:"), "cboSpeechDef", levels());
  chkSpeechLong_ = check("chkSpeechLong", QStringLiteral("&lange Sprachbezeichnungen"));
  cboNewWindow_ = list("lblNewWindow", QStringLiteral("&neues Fenster:"), "cboNewWindow",
                       {QStringLiteral("nichts vorlesen"), QStringLiteral("Titel vorlesen"),
                        QStringLiteral("Titel vorangestellt"), QStringLiteral("Fenster lesen")});
  chkBrailleLong_ = check("chkBrailleLong", QStringLiteral("lange &Elementbezeichnungen"));
  cboBrailleDef_ = list("lblBrailleDef", QStringLiteral("Braille&ausgabe:"), "cboBrailleDef", levels());
  cmdVerbosity_ = named<QPushButton>(this, "cmdVerbosity", QStringLiteral("Ausführlichkeiten bearbei&ten"));
  grid->addWidget(cmdVerbosity_, row++, 1);
  grid->setColumnStretch(1, 1);
  content()->addLayout(grid);
  hiddenTexts({
      {"lblNewUser", "Name für den neuen Benutzer:"},
      {"lblCopyUser", "kopieren nach:"},
      {"lblRenameUser", "umbenennen nach:"},
      {"lblReallyReset", "wirklich auf Standard zurücksetzen ?"},
      {"lblDelete", "wirklich löschen ? Diese Aktion kann nicht rückgängig gemacht werden !"},
      {"lblErrorDelete", "Benutzer kann nicht gelöscht werden !"},
      {"lblUserExists", "dieser Benutzer existiert bereits !"},
      {"lblAsk2Save", "wollen Sie die Änderungen an den Benutzereinstellungen speichern ?"},
      {"lblError", "Fehler - Name ungültig oder keine Schreibrechte !"},
      {"lblImportUser", "Name für den importierten Benutzer:"},
      {"lblBadArchive", "Diese Datei ist kein gültiges Benutzerprofil !"},
  });
  addButtons();
  for (QWidget* c :
       std::initializer_list<QWidget*>{cboSpeechDef_, chkSpeechLong_, cboNewWindow_, chkBrailleLong_, cboBrailleDef_})
    track(c);
  cboUser_->installEventFilter(this);

  connect(cboUser_, &QComboBox::currentIndexChanged, this, [this] { userChosen(); });
  connect(cboSpeechDef_, &QComboBox::currentIndexChanged, this, [this] { verbosityChosen(true); });
  connect(cboBrailleDef_, &QComboBox::currentIndexChanged, this, [this] { verbosityChosen(false); });
  connect(chkSpeechLong_, &QCheckBox::toggled, this,
          [this](bool on) { setMixed("SPCState", on ? 1 : 0, "frmUser.chkSpeechLong_Click"); });
  connect(chkBrailleLong_, &QCheckBox::toggled, this,
          [this](bool on) { setMixed("BRLState", on ? 1 : 0, "frmUser.chkBrailleLong_Click"); });
  connect(cboNewWindow_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i >= 0 && i < 4) setMixed("READState", kReadStates[i], "frmUser.cboNewWindow_Click");
  });
  connect(cmdProfiles_, &QPushButton::clicked, this, [this] { popup("mnuUser", cmdProfiles_); });
  connect(cmdVerbosity_, &QPushButton::clicked, this, [this] { popup("mnuVerbosity", cmdVerbosity_); });
}

QString frmUser::selected() const { return cboUser_->currentText(); }

void frmUser::fillUserList() {
  trap("frmUser.FillUserList", [this] {
    const QScopedValueRollback<bool> filling(filling_, true);
    const Obj users = appContext().core().obj(QStringLiteral("proc.Users"));
    users.call(QStringLiteral("Reload"));
    cboUser_->clear();
    const int count = users.count();
    for (int i = 1; i <= count; ++i) {
      const QString name = users.itemObj(i).str(QStringLiteral("Name"));
      WriteLog(QStringLiteral("User%1: %2").arg(i).arg(name), kDetail);
      if (name.toUpper() != cProfiles::TemplateName()) cboUser_->addItem(name);
    }
    cboUser_->setCurrentIndex(-1);  // so that choosing any user afterwards is a choice
  });
}

void frmUser::selectUser(const QString& name) {
  cboUser_->setCurrentIndex(cboUser_->findText(name, Qt::MatchFixedString));
}

void frmUser::showValues() {
  trap("frmUser.GetValues", [this] {
    fillUserList();
    {
      const QScopedValueRollback<bool> filling(filling_, true);
      loadedUser_ = appContext().core().str(QStringLiteral("proc.GetUsers.CurrUser.Name"));
      selectUser(loadedUser_);
    }
    if (const auto user = appContext().currentUser()) {
      cboSpeechDef_->setCurrentIndex(user->VerbositySpeech() - 1);
      cboBrailleDef_->setCurrentIndex(user->VerbosityBraille() - 1);
    }
    const Obj mixed = mixedSettings();
    chkSpeechLong_->setChecked(mixed.i32(QStringLiteral("SPCState")) != 0);
    chkBrailleLong_->setChecked(mixed.i32(QStringLiteral("BRLState")) != 0);
    const int read = mixed.i32(QStringLiteral("READState"));
    const int* at = std::find(std::begin(kReadStates), std::end(kReadStates), read);
    cboNewWindow_->setCurrentIndex(at == std::end(kReadStates) ? -1 : int(at - std::begin(kReadStates)));
    if (at == std::end(kReadStates)) WriteLog(QStringLiteral("unknown Readstate ") + QString::number(read), kDetail);
  });
}

void frmUser::userChosen() {
  trap("frmUser.cboUser_Click", [this] {
    if (loading() || filling_ || cboUser_->currentIndex() < 0) return;
    appContext().core().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {selected()});
    const QString keep = loadedUser_;
    loadValues();
    loadedUser_ = keep;  // the question on closing still compares with the user loaded first
    if (const auto user = appContext().currentUser()) {
      user->InitCurrUser();
      const QScopedValueRollback<bool> filling(filling_, true);
      cboSpeechDef_->setCurrentIndex(user->VerbositySpeech() - 1);
      cboBrailleDef_->setCurrentIndex(user->VerbosityBraille() - 1);
      if (QWidget* w = window())
        if (auto* panel = w->findChild<QLabel*>(QStringLiteral("profile"))) panel->setText(user->Name());
    }
  });
}

void frmUser::verbosityChosen(bool speech) {
  trap(speech ? "frmUser.cboSpeechDef_Click" : "frmUser.cboBrailleDef_Click", [&] {
    if (loading() || filling_) return;
    const auto user = appContext().currentUser();
    QComboBox* list = speech ? cboSpeechDef_ : cboBrailleDef_;
    if (!user || list->currentIndex() < 0) return;
    const qint16 level = qint16(list->currentIndex() + 1);
    if (level == (speech ? user->VerbositySpeech() : user->VerbosityBraille())) return;
    if (speech) user->setVerbositySpeech(level);
    else user->setVerbosityBraille(level);
    user->ReloadCoreUser();
  });
}

void frmUser::setMixed(const char* member, int value, const char* location) {
  trap(location, [&] {
    if (loading() || filling_) return;
    mixedSettings().set(QLatin1String(member), value);
  });
}

bool frmUser::untrackedChanges() const {
  return cboUser_->currentIndex() >= 0 && selected().compare(loadedUser_, Qt::CaseInsensitive) != 0;
}

void frmUser::store() {
  trap("frmUser.cmdOK_Click", [] { mixedSettings().call(QStringLiteral("SaveValues")); });
  trap("frmUser.cmdOK_Click", [this] { loadedUser_ = selected(); });
}

void frmUser::revert() {
  trap("frmUser.Restore", [] { mixedSettings().call(QStringLiteral("LoadValues")); });
  trap("frmUser.Restore", [this] {
    if (selected().compare(loadedUser_, Qt::CaseInsensitive) != 0 && !loadedUser_.isEmpty()) {
      appContext().core().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {loadedUser_});
      if (const auto user = appContext().currentUser()) user->InitCurrUser();
    }
  });
  // The verbosity levels were written through: the loaded ones are set again.
  ChildDialog::revert();
}

bool frmUser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cboUser_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Menu) {
    popup("mnuUser", cboUser_);
    return true;
  }
  return ChildDialog::eventFilter(watched, event);
}

void frmUser::popup(const char* menu, QWidget* below) {
  trap("frmUser.Popup", [&] {
    QWidget* top = window();
    QMenu* m = top ? top->findChild<QMenu*>(QLatin1String(menu)) : nullptr;
    if (!m) {
      WriteLog(QStringLiteral("frmUser: no menu ") + QLatin1String(menu), kDetail);
      return;
    }
    m->popup(below->mapToGlobal(QPoint(0, below->height())));
  });
}

bool frmUser::done(cProfiles::Outcome outcome) {
  switch (outcome) {
    case cProfiles::Outcome::Done:
      return true;
    case cProfiles::Outcome::Exists:
      MsgBoxEx(hiddenText("lblUserExists"), msgbox::kOkOnly);
      return false;
    case cProfiles::Outcome::BadArchive:
      MsgBoxEx(hiddenText("lblBadArchive"), msgbox::kOkOnly);
      return false;
    default:
      MsgBoxEx(hiddenText("lblError"), msgbox::kOkOnly);
      return false;
  }
}

void frmUser::showUser(const QString& name) {
  fillUserList();
  selectUser(name);
  cboUser_->setFocus();
}

void frmUser::UserNew() {
  trap("frmUser.UserNew", [this] {
    const QString name = InputBoxEx(hiddenText("lblNewUser"));
    if (name.isEmpty()) return;
    if (done(profiles_.Create(name))) showUser(profiles_.LastName());
  });
}

void frmUser::UserCopy() {
  trap("frmUser.UserCopy", [this] {
    const QString source = selected();
    const QString name = InputBoxEx(source + u' ' + hiddenText("lblCopyUser"));
    if (name.isEmpty()) return;
    if (done(profiles_.Copy(source, name))) showUser(profiles_.LastName());
  });
}

void frmUser::UserRename() {
  trap("frmUser.UserRename", [this] {
    const QString source = selected();
    const QString name = InputBoxEx(source + u' ' + hiddenText("lblRenameUser"));
    if (name.isEmpty()) return;
    const bool wasLoaded = source.compare(loadedUser_, Qt::CaseInsensitive) == 0;
    if (!done(profiles_.Rename(source, name))) return;
    // The user loaded is still the same user under its new name.
    if (wasLoaded) loadedUser_ = profiles_.LastName();
    showUser(profiles_.LastName());
  });
}

void frmUser::UserReset() {
  trap("frmUser.UserReset", [this] {
    const QString name = selected();
    if (MsgBoxEx(name + u' ' + hiddenText("lblReallyReset"), msgbox::kYesNo) != msgbox::Yes) return;
    if (done(profiles_.Reset(name))) showUser(profiles_.LastName());
  });
}

void frmUser::UserDelete() {
  trap("frmUser.UserDelete", [this] {
    const QString name = selected();
    if (cboUser_->count() < 2) {
      MsgBoxEx(hiddenText("lblErrorDelete") + u' ' + name, msgbox::kOkOnly);
      return;
    }
    if (MsgBoxEx(name + u' ' + hiddenText("lblDelete"), msgbox::kYesNo) != msgbox::Yes) return;
    cboUser_->setCurrentIndex(cboUser_->currentIndex() == 0 ? 1 : 0);
    if (name.compare(loadedUser_, Qt::CaseInsensitive) == 0) loadedUser_ = selected();
    if (!done(profiles_.Delete(name))) return;
    fillUserList();
    selectUser(appContext().core().str(QStringLiteral("proc.GetUsers.CurrUser.Name")));
    cboUser_->setFocus();
  });
}

void frmUser::UserExport() {
  trap("frmUser.UserExport", [this] {
    const QString name = selected();
    if (name.isEmpty()) return;
    const QString file = chooseFile(this, true, QDir::homePath() + u'/' + name + QStringLiteral(".zip"));
    if (file.isEmpty()) return;
    done(profiles_.Export(name, file));
  });
}

void frmUser::UserImport() {
  trap("frmUser.UserImport", [this] {
    const QString file = chooseFile(this, false, QDir::homePath());
    if (file.isEmpty()) return;
    QString named;
    if (!done(profiles_.Inspect(file, &named))) return;
    const QString name = InputBoxEx(hiddenText("lblImportUser"), named);
    if (name.isEmpty()) return;
    if (done(profiles_.Import(file, name))) showUser(profiles_.LastName());
  });
}

JEX_FORM_REGISTRATION(frmUser, {.create = [] { return std::make_unique<frmUser>(); },
                                .preload = 5,
                                .menuButton = 0,
                                .menuEntries = {{.name = QStringLiteral("mnuFileUserSettings")}}})

}  // namespace jex
