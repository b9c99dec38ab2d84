// frmKeys ("Tastenbelegung"): which keys start which screen-reader command, globally or for one
// application, and the favourites of the quick menu, on three tabs (Tasten, Befehle, Favoriten;
// Ctrl+Tab and Ctrl+Shift+Tab go round them).
//
// The bindings belong to the core: the dialog merges its four levels with a cKeyChecker, edits
// only the user's level of the chosen application (3 for the global entry of cbo_Task, 4 for an
// application) through ReplaceOneBinding, and has the core save them on OK or Yes to the save
// question. A new key is not typed: while txt_Keys (assigning) or treKeys (finding a key) has the
// focus the core stops acting on keys and reports each one, which tmrKeyCheck fetches.
//
// The favourites are [User] of UserMenu.ini in the user's directory, written as one section.
#pragma once

#include <QHash>
#include <QPointer>
#include <QSet>

#include "dialogs/childdialog.h"
#include "dialogs/keys/ckeychecker.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace jex {

class frmKeys : public ChildDialog {
  Q_OBJECT
 public:
  enum Tab { TabKeys = 0, TabCommands = 1, TabFavourites = 2 };
  enum Capture { NoCapture = 0, LookUp = 1, Assigning = 2 };
  static constexpr int kKeyRole = Qt::UserRole;
  static constexpr int kTagRole = Qt::UserRole + 1;

  explicit frmKeys(QWidget* parent = nullptr);
  ~frmKeys() override;

  Q_INVOKABLE void Init();
  Q_INVOKABLE void ShowFav();
  // "NUM", "BRL" or a key code: that node of the key tree chosen, expanded and shown.
  Q_INVOKABLE void ShowKeys(const QVariant& key = {});
  Q_INVOKABLE void ShowCMDs();

  QString application() const { return application_; }
  bool dirty() const { return dirty_; }
  int captureMode() const { return capture_; }
  bool treeFilled() const { return treeFilled_; }
  QTabBar* tabKeys() const { return tabKeys_; }
  QComboBox* cboTask() const { return cboTask_; }
  QTreeWidget* treKeys() const { return treKeys_; }
  QTreeWidget* treCommands() const { return treCommands_; }
  QTreeWidget* lvwQMenu() const { return lvwQMenu_; }
  QLineEdit* txtKeys() const { return txtKeys_; }
  QLineEdit* txtFavName() const { return txtFavName_; }
  QComboBox* cboSearch() const { return cboSearch_; }
  // The key tree's node of a key, root or layer ("CAP", "NUM1", "L1N5"); null when there is none.
  QTreeWidgetItem* keyNode(const QString& key) const;
  QTreeWidgetItem* commandNode(const QString& key) const;
  const cKeyChecker& checker() const { return checker_; }
  // The favourites file of the current user.
  static QString favouritesFile();
  bool handleCmd(const QString& command) override;

 protected:
  bool untrackedChanges() const override { return dirty_; }
  void showValues() override;
  void store() override;
  void revert() override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void selectTab(int tab);
  void tabChanged(int tab);
  void fillTasks();
  void applyTask(bool force);
  void taskClicked();
  void changed(bool keys);
  bool settleKeys();
  void FillCmdTree();
  void GetAppCommands();
  void FillKeys();
  // The key tree as the user left it: the chosen key and the nodes opened.
  struct KeyTreeState {
    QString selected;
    QSet<QString> expanded;
  };
  KeyTreeState keyTreeState() const;
  QList<QTreeWidgetItem*> buildKeyTree();
  void placeKeyTree(const QList<QTreeWidgetItem*>& roots, const KeyTreeState& state);
  void keepKeys();
  QList<QTreeWidgetItem*> takeKeptKeys(const QString& app);
  void dropKeptKeys();
  void retire(const QList<QTreeWidgetItem*>& nodes);
  QString KeyDesc(const QString& code) const;
  QString levelLabel(QChar digit) const;
  void keyNodeSelected(QTreeWidgetItem* node);
  void commandNodeSelected(QTreeWidgetItem* node);
  void setCapture(bool on, int mode);
  void tmrKeyCheckTick();
  QChar editedLevel() const;
  QChar levelOf(const QString& code) const;
  QString conflictText(const QString& code, const QString& command) const;
  bool isLastKey(const QString& func, const QString& code) const;
  QString showAssignText(const QString& command);
  void DoAssign();
  void DoDelete();
  void showKeyNode(const QString& key, bool switchTab);
  enum Search { FromStart, Focus, Next };
  void SearchTree(Search how);
  void AddFav();
  void RenameFav();
  void DeleteFav();
  void MoveItem(int by);
  void GetFavorites();
  void SaveQMenu();
  void SaveBindings();
  void ReloadBindings();
  void nameViews();

  QString application_ = QStringLiteral("DEFAULT");
  bool dirty_ = false;
  bool keysChanged_ = false;  // the core's sets of application_ hold changes not saved
  bool favsChanged_ = false;  // the favourites differ from UserMenu.ini
  bool inClick_ = false;
  bool treeFilled_ = false;
  bool searching_ = false;  // a search selects its match: the typed text stays
  bool assigning_ = false;  // a captured key waits in txt_Keys for its command
  int capture_ = NoCapture;
  cKeyChecker checker_;
  QHash<QString, QString> commandNames_;       // internal name (upper case) -> shown name
  QHash<QString, QTreeWidgetItem*> keyNodes_;  // key (upper case) -> node
  QHash<QString, QTreeWidgetItem*> commandNodes_;
  // The merged levels and key trees of the applications shown before, kept out of the tree (the
  // one shown is in checker_ and keyNodes_): going back to one of them neither reloads nor
  // refills. Dropped when the user changes, saves or takes back keys, or the texts change.
  struct KeptKeys {
    cKeyChecker checker;
    QList<QTreeWidgetItem*> roots;
    QHash<QString, QTreeWidgetItem*> nodes;
  };
  QHash<QString, KeptKeys> keptKeys_;
  QStringList keptOrder_;            // oldest first
  QList<QTreeWidgetItem*> retired_;  // out of the tree, deleted after the showing
  QString txtKeysTag_;
  int searchFrom_ = -2;  // the node the typing started from (-1 before the first, -2 not begun)

  QTabBar* tabKeys_ = nullptr;
  QStackedWidget* picTab_ = nullptr;
  QComboBox* cboTask_ = nullptr;
  QTreeWidget* treKeys_ = nullptr;
  QTreeWidget* treCommands_ = nullptr;
  QTreeWidget* treWait_ = nullptr;
  QTreeWidget* lvwQMenu_ = nullptr;
  QLineEdit* txtKeys_ = nullptr;
  QLineEdit* txtFavName_ = nullptr;
  QComboBox* cboSearch_ = nullptr;
  QPushButton *cmdNew_ = nullptr, *cmdChange_ = nullptr, *cmdDelete_ = nullptr, *cmdAssign_ = nullptr,
              *cmdAddFav_ = nullptr, *cmdFavNew_ = nullptr, *cmdFavRename_ = nullptr, *cmdFavDel_ = nullptr;
  QWidget *lblKeys_ = nullptr, *lblFavName_ = nullptr;
  QTimer* tmrKeyCheck_ = nullptr;
  QTimer* tmrInit_ = nullptr;
  QPointer<QObject> heardSink_;
};

}  // namespace jex
