// frmQMenu: the quick menu. From any application the user calls up a popup menu of the
// language's commands (QMenu.ini [Menu]), the favourites (UserMenu.ini [User] of the user) and the
// application's script functions, each with the first key that starts it; the chosen entry's key
// goes to cGlobal.NextFGWinCmd, which the command filter hands to the core when the application's
// window is in front again (NEWFGWIN!).
//
// The form is a small top-level window outside the frame, loaded on first use. It shows no
// surface of its own: it is brought to the front (so that the core sees JexUI in front) and pops
// up the cached menu of the application with an entry selected, so that the core's reader reads
// it at once: the entry chosen last in this session for that application, else the first.
//
//   QUICKMEN / DLGTYPELIB  ShowQuickMenu(application, mode): mode 0 at the left screen edge, below
//                          the core's monitor window while it shows; another mode at the pointer.
//                          A call while the menu is open closes it instead.
//   DestroyMenus           the cached menus go (the keys dialog after saving favourites).
//
// Key hints: each entry's caption ends with a tab and "(" + its first keys + ")". While the menu
// is open the form hears the core's AboutToSpeak and cuts the hint from what the core is about to
// say (the utterance's SPC_Str); the hint follows with voice 7 after cGlobal.TipDelay ticks of
// tmrTip, held off while the core speaks (AudioStart) and started again by AudioStop once 500 ms
// have passed since the entry was announced. Other speech before it (the next entry) drops it.
//
// The menu opens from tmrQMenu in the event loop that called it up: never while the opening or
// the key hints still wait for the core (those calls run event loops of their own), so that a
// second QUICKMEN or TOGGMEN that follows is run at once and closes it.
//
// The application's read-me file, offered as the entry "UI_OPEN:" + its path, is the core
// directory's Help/<language number>/<APPLICATION>.rtf (the folder of the read-me texts); the
// name is matched without regard to case.
#pragma once

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "dialogs/keys/ckeychecker.h"
#include "dialogs/keys/cmenu.h"

class QAction;
class QLabel;
class QTimer;

namespace jex {

class cNotifySink;

class frmQMenu : public QWidget {
  Q_OBJECT
 public:
  // The states of the toggle commands shown with check marks, by command name (upper case), all
  // at once: the menu's entries of other commands have none.
  using StateSource = std::function<QHash<QString, bool>()>;
  using Clock = std::function<qint64()>;
  static constexpr int kTipVoice = 7;
  static constexpr qint64 kTipAfterSpeechMs = 500;

  explicit frmQMenu(QWidget* parent = nullptr);
  ~frmQMenu() override;

  // args: the application's name and the mode, as the main window's command route passes them.
  Q_INVOKABLE void ShowQuickMenu(const QVariant& args);
  void ShowQuickMenu(const QString& application, int mode);
  Q_INVOKABLE void DestroyMenus();
  // Closes the open menu: Escape to the popup in front (a submenu first, then its parents).
  Q_INVOKABLE void CloseQuickMenu();

  // True from ShowQuickMenu until the menu has closed.
  bool isOpen() const { return visible_; }
  cMenu* currentMenu() const { return current_; }
  // The cached menu of an application; null when none is built.
  cMenu* menuOf(const QString& application) const;
  QString application() const { return application_; }
  // The key hint waiting to be spoken.
  QString tipText() const { return tipText_; }
  QTimer* tmrTip() const { return tmrTip_; }

  static void setStateSource(StateSource states);
  void setClock(Clock clock) { clock_ = std::move(clock); }
  // The application's read-me file; empty when there is none.
  static QString readMeFile(const QString& application);

 private:
  void load();
  void listen();
  void CheckAppMenu(const QString& application);
  void addFavourites(cMenu& menu);
  void GetAppCMDs(cMenu& menu, const QString& application);
  bool commandExists(const QString& key);
  void getKeysTick();
  void openTick();
  void finish(const QString& key);
  QHash<QString, bool> refreshChecks(cMenu& menu);
  QAction* entryToOpenOn(cMenu& menu) const;
  void setAboutToSpeak(bool on);
  void backToApplication();
  void aboutToSpeak(const QVariant& o);
  void audioStart();
  void audioStop();
  void tipTick();
  void sinkCmd(QString& command);
  qint64 now() const;

  QHash<QString, std::shared_ptr<cMenu>> menus_;  // upper-case application -> its menu
  cMenu* current_ = nullptr;
  QPointer<QMenu> keysPending_;  // the menu whose key hints tmrGetKeys adds
  QString application_;
  bool visible_ = false;
  bool popupOpen_ = false;
  bool destroyPending_ = false;  // DestroyMenus while the menu was open
  bool localised_ = false;
  QString localisedLng_;  // the language of the captions
  int busy_ = 0;
  int openLevel_ =
      0;  // the event loop level ShowQuickMenu ran in  // ShowQuickMenu or the key hints are talking to the core
  std::unique_ptr<cKeyChecker> checker_;
  QString tipText_;
  int tipCount_ = 0;
  qint64 lastSpeech_ = 0;
  qint64 foreWnd_ = 0;                  // the window in front when the menu was called up
  QHash<QString, QString> lastChosen_;  // upper-case application -> key chosen last
  // Per build: the core's command names (upper case) and the script functions by application.
  std::optional<QSet<QString>> commands_;
  QHash<QString, QSet<QString>> functions_;

  QTimer* tmrQMenu_ = nullptr;
  QTimer* tmrGetKeys_ = nullptr;
  QTimer* tmrTip_ = nullptr;
  QTimer* tipRestart_ = nullptr;
  QLabel* lblTitle_ = nullptr;
  QLabel* lblUserMenu_ = nullptr;
  QLabel* lblAppFuncs_ = nullptr;
  QLabel* lblReadMe_ = nullptr;
  QPointer<QObject> heard_;  // the sink listened to
  Clock clock_;
};

}  // namespace jex
