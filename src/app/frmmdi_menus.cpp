// frmMDI: the menus, their entries and actions, the popups of the button row and the help links.
#include <QAction>
#include <QMenu>
#include <QPushButton>

#include "app/cmdqueue.h"
#include "app/frmmdi.h"
#include "app/helpfiles.h"
#include "app/scripting/cjexstates.h"
#include "app/twips.h"
#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "widgets/buttonkeys.h"

namespace jex {
namespace {
constexpr int kPopupOffsetX = 45;  // twips right of the button
constexpr int kPopupOffsetY = 30;  // twips below the button's top
constexpr int kMaxHelpLinks = 9;
constexpr int kMeridanButton = 4;
constexpr int kCloseButton = 7;
constexpr int kVoiceDelEntries = 11;

QString u8(const char* s) { return QString::fromUtf8(s); }

QAction* addEntry(QMenu* menu, const char* name, const char* caption, std::function<void()> action) {
  QAction* a = menu->addAction(u8(caption));
  a->setObjectName(QString::fromLatin1(name));
  QObject::connect(a, &QAction::triggered, menu, [name, action = std::move(action)] {
    trap(qPrintable(QStringLiteral("frmMDI.") + QString::fromLatin1(name) + QStringLiteral("_Click")), action);
  });
  return a;
}

QMenu* submenu(QWidget* parent, const char* name, const char* caption) {
  auto* m = new QMenu(u8(caption), parent);
  m->setObjectName(QString::fromLatin1(name));
  m->menuAction()->setObjectName(QString::fromLatin1(name));
  return m;
}

}  // namespace

void frmMDI::buildMenus() {
  // An entry without an action of the main window's own opens what a form's registration names
  // it for (forms::menuEntry), if one does.
  const auto entry = [this](QMenu* menu, const char* name, const char* caption, std::function<void()> action = {}) {
    if (!action)
      action = [this, name] {
        if (const forms::Target* target = forms::menuEntry(QString::fromLatin1(name))) openTarget(*target);
      };
    return addEntry(menu, name, caption, std::move(action));
  };
  const auto command = [](const char* cmd) { return [cmd] { iAdd2JexCmdQ(QString::fromLatin1(cmd)); }; };
  const auto onChild = [this](const char* op) { return [this, op] { callOnActiveChild(op); }; };

  mnuFile_ = submenu(this, "mnuFile", "&Datei");
  entry(mnuFile_, "mnuFileUserSettings", "Benutzerverwaltung...");
  entry(mnuFile_, "mnuFileClose", "Menü schließen", [this] { TOGGMEN(); });
  entry(mnuFile_, "mnuFileEnd", "Halda &beenden", command("EXITHALDA"));

  mnuBraille_ = submenu(this, "mnuBraille", "&Braille");
  entry(mnuBraille_, "mnuBrailleSettings", "&Darstellung...", command("DLGBRAILLEOPT"));
  entry(mnuBraille_, "mnuBrailleDevice", "Braillezeile...");

  mnuSpeech_ = submenu(this, "mnuSpeech", "&Sprachausgabe");
  entry(mnuSpeech_, "mnuSpeechVoices", "&Stimmen und Satzzeichen...", command("DLGSPEECH"));
  entry(mnuSpeech_, "mnuSpeechKeyecho", "&Tastenecho...");
  QMenu* voices = submenu(mnuSpeech_, "mnuVoices", "Stimmenver&waltung");
  mnuSpeech_->addMenu(voices);
  entry(voices, "mnuVoiceNew", "neue Stimme", onChild("VoiceNew"));
  entry(voices, "mnuVoiceRename", "Stimme umbenennen", onChild("VoiceRename"));
  entry(voices, "mnuVoiceInfo", "Stimmin&fo", onChild("VoiceInfo"));
  QMenu* voiceDelete = submenu(voices, "mnuVoiceDelete", "Stimme &löschen");
  voices->addMenu(voiceDelete);
  // The delete entries of the voices 1 to 11; the voices dialog gives them their voices' names
  // and shows them. Element 0 only keeps the menu from being empty while they change.
  for (int i = 0; i <= kVoiceDelEntries; ++i) {
    QAction* a = voiceDelete->addAction(QString());
    a->setObjectName(QStringLiteral("mnuVoiceDel(%1)").arg(i));
    a->setVisible(false);
    connect(a, &QAction::triggered, voiceDelete,
            [this, i] { trap("frmMDI.mnuVoiceDel_Click", [this, i] { callOnActiveChild("VoiceDel", i); }); });
  }
  entry(mnuSpeech_, "mnuSpeechsetLoad", "Sprachset &laden", onChild("SpeechsetLoad"));
  entry(mnuSpeech_, "mnuSpeechsetSave", "Sprachset &speichern", onChild("SpeechsetSave"));
  entry(mnuSpeech_, "mnuSpeechActive", "Sprache aktiv", [this] { toggleSpeech(); })->setCheckable(true);
  // The check mark shows the core's state whenever the menu opens: a click sets the opposite.
  connect(mnuSpeech_, &QMenu::aboutToShow, this, [this] {
    if (QAction* a = menuEntry(QStringLiteral("mnuSpeechActive"))) a->setChecked(JexStates().Get_SETSPTOGGLE());
  });

  mnuKeys_ = submenu(this, "mnuKeys", "&Tastenbelegung");
  entry(mnuKeys_, "mnuKeysKeys", "Tastenübersicht");
  entry(mnuKeys_, "mnuKeysCommands", "Befehlsübersicht");
  entry(mnuKeys_, "mnuKeysFavorites", "&Favoriten");
  entry(mnuKeys_, "mnuNumActive", "Nummernblock aktiv", [this] { toggleNumPad(); })->setCheckable(true);

  mnuExtras_ = submenu(this, "mnuExtras", "E&xtras");
  entry(mnuExtras_, "mnuExtrasOptions", "&Optionen...");
  entry(mnuExtras_, "mnuExtrasTaskWiz", "&Programm Wizard", command("SHOWTASKLIST"));
  mnuExtrasSep_ = mnuExtras_->addSeparator();
  mnuExtrasSep_->setObjectName(QStringLiteral("mnuExtrasSep"));
  mnuExtrasObjWiz_ = entry(mnuExtras_, "mnuExtrasObjWiz", "ObjektWizard");
  entry(mnuExtras_, "mnuExtrasTables", "Zeichentabellen");

  mnuHelp_ = submenu(this, "mnuHelp", "&Hilfe");
  entry(mnuHelp_, "mnuHelpDirect", "Direkhilfe");
  entry(mnuHelp_, "mnuHelpBook", "&Handbuch", [] {
    const QString file =
        frmLocalizer().DlgIni().GetStr(QStringLiteral("Global"), QStringLiteral("HelpFile"), QStringLiteral("h44.chm"));
    OpenHelpFile(file, "frmMDI.mnuHelpBook_Click");
  });
  entry(mnuHelp_, "mnuHelpKeys", "&Kurztasten");
  entry(mnuHelp_, "mnuReadme", "&Liesmich");
  entry(mnuHelp_, "mnuHelpApps", "&Anwendungstips");
  mnuHelpWWW_ = submenu(mnuHelp_, "mnuHelpWWW", "Halda im Internet");
  mnuHelp_->addMenu(mnuHelpWWW_);
  mnuHelpEmail_ = entry(mnuHelpWWW_, "mnuHelpEmail", "e-mail Support");
  entry(mnuHelp_, "mnuHelpInfo", "&Info");

  QMenu* user = submenu(this, "mnuUser", "User");
  for (const auto& [name, caption] :
       {std::pair{"mnuUserNew", "&neuer Benutzer"}, std::pair{"mnuUserCopy", "Benutzer &kopieren"},
        std::pair{"mnuUserRename", "Benutzer umbenennen"}, std::pair{"mnuUserReset", "auf Standard zu&rücksetzen"},
        std::pair{"mnuUserDelete", "Benutzer &löschen"}, std::pair{"mnuUserExport", "Profil exportieren"},
        std::pair{"mnuUserImport", "Profil importieren"}})
    entry(user, name, caption, onChild(name + 3));
  QMenu* verbosity = submenu(this, "mnuVerbosity", "Verbosity");
  entry(verbosity, "mnuVerbosityBraille", "Brailleausgabe", command("DLGBRLOUTDEF"));
  entry(verbosity, "mnuVerbositySpeech", "Sprachausgabe", command("DLGSPCOUTDEF"));

  popups_ = {mnuFile_, mnuBraille_, mnuSpeech_, mnuKeys_, nullptr, mnuExtras_, mnuHelp_, nullptr};
  for (QMenu* m : findChildren<QMenu*>()) watchMenu(m);
}

// Menu tips: while an entry of an open menu is selected, its tip from the language file shows
// in the status bar (and is spoken), and the reader timer leaves the tip alone.
void frmMDI::watchMenu(QMenu* menu) {
  connect(menu, &QMenu::hovered, this, &frmMDI::menuHovered);
  connect(menu, &QMenu::aboutToHide, this, [] { gGlobal().InMenu = false; });
}

void frmMDI::menuHovered(QAction* entry) {
  trap("frmMDI.MenuSelect", [&] {
    gGlobal().InMenu = true;
    if (!entry || entry->isSeparator() || entry->text().isEmpty()) return;
    CiCollection<QString>& tips = frmLocalizer().MenuTips();
    if (tips.contains(entry->text())) StatusTip(tips.item(entry->text()));
  });
}

void frmMDI::connectMenuButtons() {
  ui::pressFocusedButtonOnEnter();  // Enter opens a button's menu as Space does
  for (int i = 0; i < kMenuButtons; ++i) {
    connect(cmdMenu_[size_t(i)], &QPushButton::clicked, this, [this, i] {
      trap("frmMDI.cmdMenu_Click", [this, i] {
        ColorButtons(i);
        if (QMenu* m = popups_[size_t(i)]) {
          m->popup(popupPosition(i));
        } else if (i == kMeridanButton) {
          iAdd2JexCmdQ(QStringLiteral("MERSHOWDLG"));
          hide();
        } else if (i == kCloseButton) {
          TOGGMEN();
        }
      });
    });
  }
}

QPoint frmMDI::popupPosition(int index) const {
  const QPushButton* b = cmdMenu(index);
  if (!b) return {};
  const QPoint topLeft = b->mapTo(this, QPoint(0, 0));
  return mapToGlobal(
      QPoint(topLeft.x() + b->width() + twipsToPixelsX(kPopupOffsetX), topLeft.y() + twipsToPixelsY(kPopupOffsetY)));
}

QMenu* frmMDI::menu(const QString& name) const { return findChild<QMenu*>(name); }

QAction* frmMDI::menuEntry(const QString& name) const {
  for (QAction* a : findChildren<QAction*>())
    if (a->objectName() == name) return a;
  return nullptr;
}

void frmMDI::toggleSpeech() {
  QAction* a = menuEntry(QStringLiteral("mnuSpeechActive"));
  // The entry's check mark already flipped on the click: that is the new value. Whatever the
  // core made of it, the mark then shows the state JexUI's own cJexStates reads from the core.
  trap("frmMDI.mnuSpeechActive_Click", [a] { Jex().set(QStringLiteral("proc.UseSpeechAndSayStat"), a->isChecked()); });
  a->setChecked(JexStates().Get_SETSPTOGGLE());
}

void frmMDI::toggleNumPad() {
  const bool on = !Jex().boolean(QStringLiteral("proc.HotkeyState"));
  Jex().set(QStringLiteral("proc.HotkeyState"), on);
  menuEntry(QStringLiteral("mnuNumActive"))->setChecked(Jex().boolean(QStringLiteral("proc.HotkeyState")));
}

void frmMDI::buildHelpLinks() {
  trap("frmMDI.BuildHelpLinks", [this] {
    cIniFil& ini = frmLocalizer().DlgIni();
    const QString links = QStringLiteral("Links");
    const QString mail = ini.GetStr(links, QStringLiteral("supportmail"), QStringLiteral("support@example.org"));
    mnuHelpEmail_->setData(mail);
    mnuHelpEmail_->setText(mail);
    qDeleteAll(mnuHelpLink_);
    mnuHelpLink_.clear();
    const auto add = [this](int i, const QString& tag) {
      QAction* a = mnuHelpWWW_->addAction(tag);
      a->setObjectName(QStringLiteral("mnuHelpLink(%1)").arg(i));
      a->setData(tag);
      connect(a, &QAction::triggered, this, [a] {
        if (!a->data().toString().isEmpty()) OpenDocument(a->data().toString(), "frmMDI.mnuHelpLink_Click");
      });
      mnuHelpLink_.append(a);
    };
    add(0, ini.GetStr(links, QStringLiteral("Link0"), QStringLiteral("https://example.org/jexui")));
    for (int i = 1; i <= kMaxHelpLinks; ++i) {
      const QString link = ini.GetStr(links, QStringLiteral("Link") + QString::number(i), QString());
      if (link.isEmpty()) break;
      add(i, link);
    }
  });
}

}  // namespace jex
