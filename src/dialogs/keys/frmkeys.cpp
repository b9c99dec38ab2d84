#include "dialogs/keys/frmkeys.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include "automation/dispatchable.h"
#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/keys/applicationlist.h"
#include "global/cglobal.h"
#include "global/cnotifysink.h"
#include "ini/privateprofile.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/buttonkeys.h"
#include "widgets/formservice.h"
#include "widgets/listcommit.h"
#include "widgets/named.h"
#include "widgets/nodetree.h"

namespace jex {

namespace {
QString u8(const char* s) { return QString::fromUtf8(s); }
const QString kAppCmds = QStringLiteral("AppCmds");
const QString kHidden = QStringLiteral("! hidden");
// The keypad names of index 0 to 15: layers 0 to 15, keys 1 to 15.
const char* const kPadNames[16] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "D", "/", "*", "-", "+", "E"};
constexpr int kMaxFavName = 200;

QString keyOf(const QTreeWidgetItem* n) { return n ? n->data(0, frmKeys::kKeyRole).toString() : QString(); }
QString tagOf(const QTreeWidgetItem* n) { return n ? n->data(0, frmKeys::kTagRole).toString() : QString(); }

QTreeWidgetItem* node(QTreeWidgetItem* parent, const QString& key, const QString& text) {
  auto* n = new QTreeWidgetItem(parent, {text});
  n->setData(0, frmKeys::kKeyRole, key);
  return n;
}
QTreeWidgetItem* node(QTreeWidget* tree, const QString& key, const QString& text) {
  auto* n = new QTreeWidgetItem(tree, {text});
  n->setData(0, frmKeys::kKeyRole, key);
  return n;
}

// The kind of a captured code: "CAP", "NUM" (an "L" with "N" two places later) or "BRL".
QString kindOf(const QString& code) {
  if (code.contains(u"CAP")) return QStringLiteral("CAP");
  const qsizetype l = code.indexOf(u'L');
  if (l >= 0 && code.mid(l + 2, 1) == u"N") return QStringLiteral("NUM");
  return QStringLiteral("BRL");
}

// A code the binding files can hold: letters, digits and "_|+-*/.#", at most 48 of them.
bool isKeyCode(const QString& code) {
  if (code.isEmpty() || code.size() > 48) return false;
  return std::all_of(code.cbegin(), code.cend(), [](QChar c) {
    return (c.unicode() < 128 && c.isLetterOrNumber()) || QStringView(u"_|+-*/.#").contains(c);
  });
}

// A keyboard code is a screen-reader combination ("CAP_Up|S", "SCAP_F5") or a keypad key of a
// layer ("L0N5"); a Braille code any key code.
bool isCapturedCode(const QString& code, bool braille) {
  if (!isKeyCode(code)) return false;
  if (braille) return true;
  static const QString pad = QStringLiteral("0123456789D/*-+E");
  if (code.size() == 4 && code.at(0) == u'L' && code.at(2) == u'N')
    return pad.contains(code.at(1)) && pad.contains(code.at(3));
  const qsizetype cap = code.indexOf(QStringLiteral("CAP_"));
  return (cap == 0 || (cap == 1 && code.at(0) == u'S')) && code.size() > cap + 4;
}

// The commands a user cannot be without: assigning their last key away asks first.
bool isVital(const QString& command) {
  return command.compare(u"TOGGMEN", Qt::CaseInsensitive) == 0 ||
         command.compare(u"QUICKMEN", Qt::CaseInsensitive) == 0;
}

// A favourite's name as one line of the file.
QString cleanName(const QString& name) {
  QString n = name;
  n.replace(u'\r', u' ').replace(u'\n', u' ');
  return n.trimmed().left(kMaxFavName);
}
}  // namespace

frmKeys::frmKeys(QWidget* parent) : ChildDialog(QStringLiteral("frmKeys"), u8("Tastenbelegung"), parent) {
  tabKeys_ = named<QTabBar>(this, "tabKeys");
  for (const char* t : {"Tasten", "Befehle", "Favoriten"}) tabKeys_->addTab(u8(t));
  tabKeys_->setFocusPolicy(Qt::NoFocus);  // Ctrl+Tab and Ctrl+Shift+Tab choose the tab

  auto* lblTask = named<QLabel>(this, "lblTask", u8("&Anwendung:"));
  cboTask_ = named<QComboBox>(this, "cbo_Task");
  ui::setBuddy(lblTask, cboTask_);
  ui::setTip(cboTask_, u8("Anwendung wählen um eine anwendungsspezifische Belegung zuzuweisen, oder Global für ein "
                          "globale Belegung. "));

  picTab_ = named<QStackedWidget>(this, "picTab");
  const auto tree = [](QWidget* panel, const char* name) {
    auto* t = named<ui::NodeTree>(panel, name);
    t->setHeaderHidden(true);
    t->setColumnCount(1);
    return t;
  };
  // Tasten
  auto* keysPanel = new QWidget(picTab_);
  treKeys_ = tree(keysPanel, "treKeys");
  ui::setTip(treKeys_, u8("wählen Sie hier eine Taste aus, oder drücken Sie einfach eine Tastenkombination."));
  cmdNew_ = named<QPushButton>(keysPanel, "cmdNew", u8("&neu"));
  cmdChange_ = named<QPushButton>(keysPanel, "cmdChange", u8("än&dern"));
  cmdDelete_ = named<QPushButton>(keysPanel, "cmdDelete", u8("&löschen"));
  auto* keysRow = new QHBoxLayout;
  for (QPushButton* b : {cmdNew_, cmdChange_, cmdDelete_}) keysRow->addWidget(b);
  auto* keysBox = new QVBoxLayout(keysPanel);
  keysBox->addWidget(treKeys_, 1);
  keysBox->addLayout(keysRow);
  // Befehle
  auto* cmdPanel = new QWidget(picTab_);
  treCommands_ = tree(cmdPanel, "treCommands");
  ui::setTip(treCommands_, u8("wählen Sie hier einen Befehl aus den vorhandenen Kategorien."));
  treWait_ = tree(cmdPanel, "treWait");
  treWait_->hide();
  auto* lblKeys = named<QLabel>(cmdPanel, "lblKeys", u8("Belegung:"));
  lblKeys_ = lblKeys;
  txtKeys_ = named<QLineEdit>(cmdPanel, "txt_Keys");
  ui::setBuddy(lblKeys, txtKeys_);
  ui::setTip(txtKeys_, u8("zeigt die aktuelle Belegung und ermöglicht neue Tastenkombinationen einzugeben."));
  cmdAssign_ = named<QPushButton>(cmdPanel, "cmdAssign", u8("&zuweisen"));
  ui::setTip(cmdAssign_, u8("weist den gewählten Befehl der Taste zu."));
  cmdAddFav_ = named<QPushButton>(cmdPanel, "cmdAddFav", u8("zu Fa&voriten"));
  auto* cmdBox = new QVBoxLayout(cmdPanel);
  cmdBox->addWidget(treCommands_, 1);
  cmdBox->addWidget(treWait_, 1);
  auto* keysLine = new QHBoxLayout;
  keysLine->addWidget(lblKeys);
  keysLine->addWidget(txtKeys_, 1);
  cmdBox->addLayout(keysLine);
  auto* cmdRow = new QHBoxLayout;
  cmdRow->addWidget(cmdAssign_);
  cmdRow->addWidget(cmdAddFav_);
  cmdBox->addLayout(cmdRow);
  // Favoriten
  auto* favPanel = new QWidget(picTab_);
  // A node tree: the row the user is on is heard by its name when the list gets the focus.
  lvwQMenu_ = named<ui::NodeTree>(favPanel, "lvw_QMenu");
  lvwQMenu_->setColumnCount(2);
  lvwQMenu_->setRootIsDecorated(false);
  auto* lblFavName = named<QLabel>(favPanel, "lblFavName", u8("Name:"));
  lblFavName_ = lblFavName;
  txtFavName_ = named<QLineEdit>(favPanel, "txt_FavName");
  txtFavName_->setMaxLength(kMaxFavName);
  ui::setBuddy(lblFavName, txtFavName_);
  cmdFavNew_ = named<QPushButton>(favPanel, "cmdFavNew", u8("&neu"));
  cmdFavRename_ = named<QPushButton>(favPanel, "cmdFavRename", u8("&umbenennen"));
  cmdFavDel_ = named<QPushButton>(favPanel, "cmdFavDel", u8("löschen"));
  auto* favBox = new QVBoxLayout(favPanel);
  favBox->addWidget(lvwQMenu_, 1);
  auto* nameLine = new QHBoxLayout;
  nameLine->addWidget(lblFavName);
  nameLine->addWidget(txtFavName_, 1);
  favBox->addLayout(nameLine);
  auto* favRow = new QHBoxLayout;
  for (QPushButton* b : {cmdFavNew_, cmdFavRename_, cmdFavDel_}) favRow->addWidget(b);
  favBox->addLayout(favRow);
  for (QWidget* p : {keysPanel, cmdPanel, favPanel}) picTab_->addWidget(p);

  auto* lblSearch = named<QLabel>(this, "lblSearch", u8("&Suchen:"));
  cboSearch_ = named<QComboBox>(this, "cbo_Search");
  cboSearch_->setEditable(true);
  cboSearch_->setInsertPolicy(QComboBox::NoInsert);
  ui::setBuddy(lblSearch, cboSearch_);
  ui::setTip(cboSearch_, u8("geben Sie einen Suchbegriff ein drücken Sie Enter um zu suchen. F3 zum weitersuchen."));

  hiddenTexts({{"s_QMenuCMD", "Kommando"},
               {"s_QMenuEntry", "Quickmenü Eintrag"},
               {"s_CAPKeys", "Feststelltasten"},
               {"s_BRLKeys", "Brailletasten"},
               {"s_NUMKeys", "Nummernblock"},
               {"s_Assign", "zuweisen"},
               {"s_Wait", "bitte warten ..."},
               {"s_NoAppCMDs", "keine Applikationsspezifischen Kommandos vorhanden"},
               {"s_Global", "- Global -"},
               {"s_Context(1)", ""},
               {"s_Context(2)", "(App)"},
               {"s_Context(3)", "(User)"},
               {"s_Context(4)", "(UserApp)"},
               {"s_NotAssigned", "- nicht belegt -"},
               {"s_Key", "Taste"},
               {"s_Layer", "Ebene"},
               {"s_Ask2Save", "wollen Sie die Änderungen an der Tastenbelegung speichern ?"},
               {"s_Conflict", "%1 startet schon %2 %3."},
               {"s_Level(1)", "in der mitgelieferten globalen Belegung"},
               {"s_Level(2)", "in der mitgelieferten Belegung der Anwendung"},
               {"s_Level(3)", "in Ihrer globalen Belegung"},
               {"s_Level(4)", "in Ihrer Belegung der Anwendung"},
               {"s_ConflictTake", "Zuweisen nimmt die Taste diesem Befehl."},
               {"s_ConflictApp", "Zuweisen überdeckt sie nur für %1."},
               {"s_ConflictUser", "Zuweisen überdeckt sie in Ihrer globalen Belegung."},
               {"s_LastKey", "%1 hat dann keine Taste mehr. Trotzdem zuweisen ?"},
               {"s_Matches", "%1 Treffer"},
               {"s_NoKeyCode", "ist keine Taste"}});
  setSaveQuestion("s_Ask2Save");

  content()->addWidget(tabKeys_);
  auto* taskLine = new QHBoxLayout;
  taskLine->addWidget(lblTask);
  taskLine->addWidget(cboTask_, 1);
  content()->addLayout(taskLine);
  content()->addWidget(picTab_, 1);
  auto* searchLine = new QHBoxLayout;
  searchLine->addWidget(lblSearch);
  searchLine->addWidget(cboSearch_, 1);
  content()->addLayout(searchLine);
  addButtons();

  tmrKeyCheck_ = new QTimer(this);
  tmrKeyCheck_->setObjectName(QStringLiteral("tmrKeyCheck"));
  tmrKeyCheck_->setInterval(50);
  connect(tmrKeyCheck_, &QTimer::timeout, this, [this] { tmrKeyCheckTick(); });
  tmrInit_ = new QTimer(this);
  tmrInit_->setObjectName(QStringLiteral("tmrInit"));
  tmrInit_->setSingleShot(true);
  connect(tmrInit_, &QTimer::timeout, this, [this] {
    if (!treeFilled_) FillCmdTree();
  });

  connect(tabKeys_, &QTabBar::currentChanged, this, [this](int t) { tabChanged(t); });
  ui::ListCommit::attach(cboTask_, [this] {
    if (!inClick_) applyTask(false);
  });
  connect(treKeys_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* n) { keyNodeSelected(n); });
  connect(treCommands_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* n) { commandNodeSelected(n); });
  connect(lvwQMenu_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* row) {
    if (row) txtFavName_->setText(row->text(0));
  });
  connect(cmdDelete_, &QPushButton::clicked, this, [this] { DoDelete(); });
  connect(cmdAssign_, &QPushButton::clicked, this, [this] { DoAssign(); });
  connect(cmdAddFav_, &QPushButton::clicked, this, [this] { AddFav(); });
  connect(cmdFavNew_, &QPushButton::clicked, this, [this] {
    selectTab(TabCommands);
    (treeFilled_ ? treCommands_ : treWait_)->setFocus(Qt::OtherFocusReason);
  });
  connect(cmdFavRename_, &QPushButton::clicked, this, [this] {
    if (!lvwQMenu_->currentItem()) return;
    lblFavName_->setEnabled(true);
    txtFavName_->setEnabled(true);
    txtFavName_->setFocus(Qt::OtherFocusReason);
    txtFavName_->selectAll();
  });
  connect(cmdFavDel_, &QPushButton::clicked, this, [this] { DeleteFav(); });
  // Queued: the field is still in the middle of its edit when it reports it.
  // Only what is typed in the field searches: a text put there by choosing a node does not.
  connect(
      cboSearch_, &QComboBox::editTextChanged, this,
      [this] {
        if (cboSearch_->lineEdit()->hasFocus()) SearchTree(FromStart);
      },
      Qt::QueuedConnection);
  for (QWidget* w :
       {static_cast<QWidget*>(txtKeys_), static_cast<QWidget*>(txtFavName_), static_cast<QWidget*>(treKeys_),
        static_cast<QWidget*>(treCommands_), static_cast<QWidget*>(lvwQMenu_), static_cast<QWidget*>(cboTask_)})
    w->installEventFilter(this);
  // The keys typed reach the list itself (its field is told them, past any filter), the ones a
  // test or a program sends to the field the field.
  cboSearch_->installEventFilter(this);
  cboSearch_->lineEdit()->installEventFilter(this);
  cboTask_->view()->viewport()->installEventFilter(this);

  for (QWidget* w : {static_cast<QWidget*>(txtKeys_), lblKeys_, static_cast<QWidget*>(cmdAssign_),
                     static_cast<QWidget*>(cmdAddFav_), static_cast<QWidget*>(cmdDelete_),
                     static_cast<QWidget*>(cmdChange_), lblFavName_, static_cast<QWidget*>(txtFavName_)})
    w->setEnabled(false);
  nameViews();
  Init();
}

frmKeys::~frmKeys() {
  for (const KeptKeys& k : std::as_const(keptKeys_)) qDeleteAll(k.roots);
  qDeleteAll(std::exchange(retired_, {}));
  trap("frmKeys.Unload", [this] {
    if (capture_ != NoCapture) setCapture(false, NoCapture);
  });
  WriteLog(QStringLiteral("frm_Commands_Unload"), kDetail);
  WriteLog(QStringLiteral("frm_Commands_Terminate"), kDetail);
}

// The views have no caption of their own: they are announced with their tab's name, and the
// favourites' columns with the texts kept for them.
void frmKeys::nameViews() {
  treKeys_->setAccessibleName(ui::plainCaption(tabKeys_->tabText(TabKeys)));
  treCommands_->setAccessibleName(ui::plainCaption(tabKeys_->tabText(TabCommands)));
  treWait_->setAccessibleName(ui::plainCaption(tabKeys_->tabText(TabCommands)));
  lvwQMenu_->setAccessibleName(ui::plainCaption(tabKeys_->tabText(TabFavourites)));
  picTab_->setAccessibleName(ui::plainCaption(tabKeys_->tabText(tabKeys_->currentIndex())));
  lvwQMenu_->setHeaderLabels({hiddenText("s_QMenuEntry"), hiddenText("s_QMenuCMD")});
  // Only its text: choosing its node while the dialog is hidden would be heard.
  if (QTreeWidgetItem* wait = treWait_->topLevelItem(0)) wait->setText(0, hiddenText("s_Wait"));
  else new QTreeWidgetItem(treWait_, {hiddenText("s_Wait")});
}

bool frmKeys::handleCmd(const QString& command) {
  const bool done = ChildDialog::handleCmd(command);
  if (command == u"UI_LNGCHANGE") {
    nameViews();
    dropKeptKeys();  // their texts are the old language's
  }
  return done;
}

void frmKeys::Init() {
  trap("frmKeys.Init", [this] {
    cboSearch_->clear();
    for (int level : {4, 3, 2}) cboSearch_->addItem(levelLabel(QChar(u'0' + level)));
    cboSearch_->setCurrentIndex(-1);
    cboSearch_->clearEditText();
    GetFavorites();
    tmrInit_->start(0);
  });
}

QString frmKeys::levelLabel(QChar digit) const {
  return hiddenText(qPrintable(QStringLiteral("s_Context(") + digit + u')'));
}

// --- tabs and showing ------------------------------------------------------------------------

void frmKeys::selectTab(int tab) {
  if (tabKeys_->currentIndex() == tab) tabChanged(tab);
  else tabKeys_->setCurrentIndex(tab);
}

void frmKeys::tabChanged(int tab) {
  picTab_->setCurrentIndex(tab);
  // The tab strip takes no focus: the page is named by its tab, heard when Ctrl+Tab goes there.
  picTab_->setAccessibleName(ui::plainCaption(tabKeys_->tabText(tab)));
  if (tab != TabKeys && capture_ == LookUp) setCapture(false, NoCapture);
}

void frmKeys::ShowFav() {
  trap("frmKeys.ShowFav", [this] {
    selectTab(TabFavourites);
    fillTasks();
    if (!lvwQMenu_->currentItem() && lvwQMenu_->topLevelItemCount() > 0)
      lvwQMenu_->setCurrentItem(lvwQMenu_->topLevelItem(0));
    lvwQMenu_->setFocus(Qt::OtherFocusReason);
  });
}

void frmKeys::ShowKeys(const QVariant& key) {
  trap("frmKeys.ShowKeys", [&] {
    selectTab(TabKeys);
    fillTasks();
    const QString k = key.toString().trimmed();
    if (!k.isEmpty()) showKeyNode(k, false);
    else if (!treKeys_->currentItem() && treKeys_->topLevelItemCount() > 0)
      treKeys_->setCurrentItem(treKeys_->topLevelItem(0));
    treKeys_->setFocus(Qt::OtherFocusReason);
  });
}

void frmKeys::ShowCMDs() {
  trap("frmKeys.ShowCMDs", [this] {
    selectTab(TabCommands);
    fillTasks();
    if (treeFilled_ && !treCommands_->currentItem() && treCommands_->topLevelItemCount() > 0)
      treCommands_->setCurrentItem(treCommands_->topLevelItem(0));
    if (!treeFilled_) treWait_->setCurrentItem(treWait_->topLevelItem(0));
    (treeFilled_ ? treCommands_ : treWait_)->setFocus(Qt::OtherFocusReason);
  });
}

void frmKeys::showValues() {
  nameViews();  // in the language of this showing: the form may have been made before it
  {
    const QSignalBlocker hold(cboSearch_);  // a search of the last showing is not kept
    cboSearch_->setCurrentIndex(-1);
    cboSearch_->clearEditText();
  }
  if (!heardSink_ && sink()) {
    heardSink_ = sink();
    connect(sink(), &cNotifySink::UILostFocusEvent, this, [this] {
      if (isVisible()) setCapture(false, NoCapture);
    });
    connect(sink(), &cNotifySink::UIGotFocusEvent, this, [this] {
      if (!isVisible()) return;
      QWidget* f = QApplication::focusWidget();
      if (f == treKeys_) setCapture(true, LookUp);
      else if (f == txtKeys_) setCapture(true, Assigning);
      else setCapture(false, NoCapture);
    });
  }
}

// cbo_Task anew, with the application the user came from chosen when it is offered.
void frmKeys::fillTasks() {
  fillApplicationList(cboTask_, hiddenText("s_Global"), gGlobal().LastForeApp);
  applyTask(false);
}

void frmKeys::applyTask(bool force) {
  trap("frmKeys.cbo_Task_LostFocus", [&] {
    const QString app = chosenApplication(cboTask_);
    if (!force && app == application_ && !keyNodes_.isEmpty()) return;
    const bool keep = !force && !keysChanged_;  // a tree with changes settled now is not kept
    if (keysChanged_ && app != application_ && !settleKeys()) {
      const QSignalBlocker hold(cboTask_);  // Cancel: the application left behind stays chosen
      cboTask_->setCurrentIndex(application_ == u"DEFAULT" ? 0 : qMax(0, cboTask_->findText(application_)));
      return;
    }
    // The levels are read anew (the core re-reads its files) only for an application not kept.
    const KeyTreeState state = keyTreeState();
    if (keep) keepKeys();
    else dropKeptKeys();
    application_ = app;
    QList<QTreeWidgetItem*> roots = force ? QList<QTreeWidgetItem*>() : takeKeptKeys(app);
    if (roots.isEmpty()) {
      const QSignalBlocker hold(treKeys_);
      const QList<QTreeWidgetItem*> old = treKeys_->invisibleRootItem()->takeChildren();
      retire(old);
      checker_.InitForApp(application_, true);
      roots = buildKeyTree();
    }
    GetAppCommands();
    placeKeyTree(roots, state);
    keyNodeSelected(treKeys_->currentItem());
    keysChanged_ = false;
    dirty_ = favsChanged_;
  });
}

void frmKeys::changed(bool keys) {
  if (keys) dropKeptKeys();  // a change of the global level reaches every application's keys
  (keys ? keysChanged_ : favsChanged_) = true;
  dirty_ = true;
}

// The changed keys of the application left behind by the keyboard: saved on Yes, taken back in
// the core on No (its sets would go on starting them), kept with that application on Cancel.
bool frmKeys::settleKeys() {
  const QScopedValueRollback<bool> asking(inClick_, true);
  const qint16 answer = MsgBoxEx(hiddenText("s_Ask2Save"), msgbox::kSaveQuestion);
  if (answer == msgbox::Yes) {
    const QScopedValueRollback<bool> favourites(favsChanged_, false);
    SaveBindings();
  } else if (answer == msgbox::No) {
    checker_.InitForApp(application_, true);
  } else {
    return false;
  }
  keysChanged_ = false;
  return true;
}

// A click in cbo_Task: the changes of the application left behind are settled first.
void frmKeys::taskClicked() {
  if (!dirty_) return;
  inClick_ = true;
  const qint16 answer = MsgBoxEx(hiddenText("s_Ask2Save"), msgbox::kSaveQuestion);
  if (answer == msgbox::Yes) store();
  else if (answer == msgbox::No) revert();
  inClick_ = false;
}

// --- the trees -------------------------------------------------------------------------------

void frmKeys::FillCmdTree() {
  trap("frmKeys.FillCmdTree", [this] {
    treCommands_->hide();
    treWait_->show();
    const bool hadFocus = treCommands_->hasFocus();
    if (hadFocus) treWait_->setFocus(Qt::OtherFocusReason);
    treCommands_->clear();
    commandNodes_.clear();
    commandNames_.clear();
    WriteLog(QStringLiteral("Start FillCmdTree: ") + QString::number(QDateTime::currentMSecsSinceEpoch() % 86400000),
             kDetail);
    const QStringList table = trapped("frmKeys.FillCmdTree", QStringList(),
                                      [] { return Jex().get(QStringLiteral("AllCommands.Table")).toStringList(); });
    const bool showHidden = gGlobal().Features == 4;
    QHash<QString, QTreeWidgetItem*> groups;
    for (qsizetype i = 0; i + 2 < table.size(); i += 4) {
      QString group = table.at(i);
      const QString name = table.at(i + 1), internal = table.at(i + 2).toUpper();
      if (group == u"0") group = kHidden;
      if (internal.isEmpty() || (group == kHidden && !showHidden)) continue;
      QTreeWidgetItem*& g = groups[group];
      if (!g) g = node(treCommands_, group, group);
      commandNodes_.insert(internal, node(g, internal, name));
      commandNames_.insert(internal, name);
    }
    treCommands_->sortItems(0, Qt::AscendingOrder);
    auto* appCmds = new QTreeWidgetItem({application_ == u"DEFAULT" ? hiddenText("s_Global") : application_});
    appCmds->setData(0, kKeyRole, kAppCmds);
    treCommands_->insertTopLevelItem(0, appCmds);
    commandNodes_.insert(kAppCmds.toUpper(), appCmds);
    treeFilled_ = true;
    GetAppCommands();
    treWait_->hide();
    treCommands_->show();
    if (treWait_->hasFocus() || hadFocus) {
      treCommands_->setCurrentItem(treCommands_->topLevelItem(0));
      treCommands_->setFocus(Qt::OtherFocusReason);
    }
    WriteLog(QStringLiteral("End FillCmdTree: ") + QString::number(QDateTime::currentMSecsSinceEpoch() % 86400000),
             kDetail);
    dropKeptKeys();
    if (!keyNodes_.isEmpty()) FillKeys();  // the commands' names for the keys
  });
}

void frmKeys::GetAppCommands() {
  QTreeWidgetItem* root = commandNodes_.value(kAppCmds.toUpper());
  if (!root) return;
  trap("frmKeys.GetAppCommands", [&] {
    qDeleteAll(root->takeChildren());
    root->setText(0, application_ == u"DEFAULT" ? hiddenText("s_Global") : application_);
    QStringList functions;
    Obj script;
    trap("frmKeys.GetAppCommands", [&] {
      const Obj scripts = Jex().obj(QStringLiteral("App_Scripts"));
      script = automation::toObj(scripts.call(QStringLiteral("GetScript"), {application_}));
      auto col = std::make_shared<automation::Collection>();
      scripts.call(QStringLiteral("AddAppFunctionsToCol"), {application_, automation::fromObj(Obj(col))});
      functions = Obj(col).strings();
    });
    if (functions.isEmpty()) {
      new QTreeWidgetItem(root, {hiddenText("s_NoAppCMDs")});
      return;
    }
    for (const QString& f : functions) {
      const qsizetype at = f.indexOf(QStringLiteral(":Sub."));
      if (at < 0) continue;
      const QString name = f.mid(at + 5);
      const QString text = trapped("frmKeys.GetAppCommands", name, [&] {
        const QString d = script.call(QStringLiteral("GetFunctionLong"), {name}).toString();
        return d.isEmpty() ? name : d;
      });
      node(root, QStringLiteral("Sub.") + name, text);
    }
    root->sortChildren(0, Qt::AscendingOrder);
  });
}

QString frmKeys::KeyDesc(const QString& code) const {
  QString copy = code;
  return code.contains(u"CAP_") ? checker_.TranslateKey(copy) : code;
}

frmKeys::KeyTreeState frmKeys::keyTreeState() const {
  KeyTreeState state{keyOf(treKeys_->currentItem()), {}};
  for (auto it = keyNodes_.cbegin(); it != keyNodes_.cend(); ++it)
    if (it.value()->isExpanded()) state.expanded.insert(it.key());
  return state;
}

void frmKeys::FillKeys() {
  trap("frmKeys.FillKeys", [this] {
    const KeyTreeState state = keyTreeState();
    const QSignalBlocker hold(treKeys_);
    // The old nodes leave the tree at once and are deleted once the event loop is idle again:
    // thousands of them would hold up the showing.
    const QList<QTreeWidgetItem*> old = treKeys_->invisibleRootItem()->takeChildren();
    retire(old);
    placeKeyTree(buildKeyTree(), state);
  });
  keyNodeSelected(treKeys_->currentItem());
}

// The key tree of checker_ in keyNodes_, its roots not yet in the tree.
QList<QTreeWidgetItem*> frmKeys::buildKeyTree() {
  keyNodes_.clear();
  // The nodes are made outside the tree and put into it at once: a node added to a shown tree
  // costs a round through the view each.
  const auto add = [this](QTreeWidgetItem* parent, const QString& key, const QString& text) {
    QTreeWidgetItem* n = parent ? node(parent, key, text) : new QTreeWidgetItem(QStringList{text});
    if (!parent) n->setData(0, kKeyRole, key);
    keyNodes_.insert(key.toUpper(), n);
    return n;
  };
  QTreeWidgetItem* cap = add(nullptr, QStringLiteral("CAP"), hiddenText("s_CAPKeys"));
  QTreeWidgetItem* brl = add(nullptr, QStringLiteral("BRL"), hiddenText("s_BRLKeys"));
  QTreeWidgetItem* num = add(nullptr, QStringLiteral("NUM"), hiddenText("s_NUMKeys"));
  const QString notAssigned = hiddenText("s_NotAssigned"), keyWord = hiddenText("s_Key");
  for (const char* layer : kPadNames) {
    const QString l = QLatin1String(layer);
    QTreeWidgetItem* ln = add(num, QStringLiteral("NUM") + l, hiddenText("s_Layer") + u' ' + l);
    for (int k = 1; k < 16; ++k) {
      const QString code = u'L' + l + u'N' + QLatin1String(kPadNames[k]);
      add(ln, code, notAssigned + u' ' + keyWord + u' ' + code);
    }
  }
  QHash<QChar, QString> levels;  // the level texts, looked up once and not per key
  for (QChar digit : {u'1', u'2', u'3', u'4'}) levels.insert(digit, levelLabel(digit));
  QSet<QString> functions;
  for (const QString& f : checker_.keyMap()) functions.insert(f);
  for (const QString& f : functions) {
    for (const auto& [list, root] :
         {std::pair{checker_.GetCAPforFunc(f), cap}, std::pair{checker_.GetNUMforFunc(f), num},
          std::pair{checker_.GetBRLforFunc(f), brl}}) {
      for (const QString& entry : list.split(u' ', Qt::SkipEmptyParts)) {
        if (entry.size() < 3) continue;
        const QString code = entry.left(entry.size() - 2);
        const QString func = checker_.GetActFuncForKey(code);
        QTreeWidgetItem* n = keyNodes_.value(code.toUpper());
        if (!n) {
          QTreeWidgetItem* parent = root;
          if (root == num) parent = keyNodes_.value(QStringLiteral("NUM") + code.mid(1, 1).toUpper(), num);
          n = add(parent, code, {});
        }
        const QString label = levels.contains(entry.back()) ? levels.value(entry.back()) : levelLabel(entry.back());
        n->setData(0, kTagRole, func + u'|' + entry);
        n->setText(0, KeyDesc(code) + u' ' + commandNames_.value(func.toUpper(), func) +
                          (label.isEmpty() ? QString() : QStringLiteral("   ") + label));
      }
    }
  }
  for (QTreeWidgetItem* r : {cap, brl}) r->sortChildren(0, Qt::AscendingOrder);
  return {cap, brl, num};
}

// Puts roots (the nodes of keyNodes_) into the empty key tree with the key chosen and the nodes
// opened as before, where they are there; else the screen-reader keys are chosen.
void frmKeys::placeKeyTree(const QList<QTreeWidgetItem*>& roots, const KeyTreeState& state) {
  const QSignalBlocker hold(treKeys_);
  treKeys_->insertTopLevelItems(0, roots);
  for (QTreeWidgetItem* r : roots) {  // kept nodes come back closed, as new ones
    r->setExpanded(false);
    if (keyOf(r) == u"NUM")
      for (int i = 0; i < r->childCount(); ++i) r->child(i)->setExpanded(false);
  }
  for (const QString& k : state.expanded)
    if (QTreeWidgetItem* n = keyNodes_.value(k)) n->setExpanded(true);
  if (QTreeWidgetItem* n = keyNodes_.value(state.selected.toUpper())) treKeys_->setCurrentItem(n);
  else if (!roots.isEmpty()) treKeys_->setCurrentItem(roots.first());
}

// The key tree and merged levels of application_ leave the tree and are kept for a later return.
void frmKeys::keepKeys() {
  QList<QTreeWidgetItem*> roots;
  {
    const QSignalBlocker hold(treKeys_);
    roots = treKeys_->invisibleRootItem()->takeChildren();
  }
  if (roots.isEmpty()) return;
  if (const auto old = keptKeys_.constFind(application_); old != keptKeys_.cend()) {
    retire(old->roots);
  }
  keptOrder_.removeOne(application_);
  keptOrder_ << application_;
  keptKeys_.insert(application_, KeptKeys{checker_, roots, keyNodes_});
  keyNodes_.clear();
  constexpr int kMaxKept = 4;  // a few thousand nodes each
  while (keptOrder_.size() > kMaxKept) {
    const auto oldest = keptKeys_.constFind(keptOrder_.takeFirst());
    if (oldest == keptKeys_.cend()) continue;
    retire(oldest->roots);
    keptKeys_.erase(oldest);
  }
}

// The kept key tree and merged levels of app back in checker_ and keyNodes_; its roots, empty
// when none are kept.
QList<QTreeWidgetItem*> frmKeys::takeKeptKeys(const QString& app) {
  const auto kept = keptKeys_.constFind(app);
  if (kept == keptKeys_.cend()) return {};
  checker_ = kept->checker;
  keyNodes_ = kept->nodes;
  const QList<QTreeWidgetItem*> roots = kept->roots;
  keptKeys_.erase(kept);
  keptOrder_.removeOne(app);
  return roots;
}

void frmKeys::dropKeptKeys() {
  QList<QTreeWidgetItem*> roots;
  for (const KeptKeys& k : std::as_const(keptKeys_)) roots += k.roots;
  keptKeys_.clear();
  keptOrder_.clear();
  retire(roots);
}

// Nodes out of the tree are deleted once the showing is done (at the latest with the dialog).
void frmKeys::retire(const QList<QTreeWidgetItem*>& nodes) {
  if (nodes.isEmpty()) return;
  if (retired_.isEmpty()) QTimer::singleShot(0, this, [this] { qDeleteAll(std::exchange(retired_, {})); });
  retired_ += nodes;
}

QTreeWidgetItem* frmKeys::keyNode(const QString& key) const { return keyNodes_.value(key.toUpper()); }
QTreeWidgetItem* frmKeys::commandNode(const QString& key) const { return commandNodes_.value(key.toUpper()); }

void frmKeys::showKeyNode(const QString& key, bool switchTab) {
  QTreeWidgetItem* n = keyNode(key);
  if (!n) return;
  if (switchTab) selectTab(TabKeys);
  treKeys_->setCurrentItem(n);
  if (n->childCount() > 0) n->setExpanded(true);
  treKeys_->scrollToItem(n);
}

void frmKeys::keyNodeSelected(QTreeWidgetItem* n) {
  trap("frmKeys.treKeys_Click", [&] {
    const QString typed = cboSearch_->currentText();
    const auto keepSearch = qScopeGuard([&] {
      if (searching_ && cboSearch_->currentText() != typed) cboSearch_->setEditText(typed);
    });
    const QString tag = tagOf(n);
    if (!n || tag.isEmpty()) {
      cmdDelete_->setEnabled(false);
      cmdChange_->setEnabled(false);
      if (!n || !n->parent() || n->childCount() > 0) {
        const QSignalBlocker hold(cboSearch_);
        cboSearch_->clearEditText();
      }
      return;
    }
    const QString func = tag.section(u'|', 0, 0), entry = tag.section(u'|', 1);
    {
      const QSignalBlocker hold(cboSearch_);
      cboSearch_->setEditText(func);
    }
    txtKeysTag_ = keyOf(n) + u' ' + n->text(0);
    if (!assigning_) txtKeys_->setText(txtKeysTag_);
    const QChar edited = application_ == u"DEFAULT" ? u'3' : u'4';
    cmdDelete_->setEnabled(!entry.isEmpty() && entry.back() == edited);
  });
}

void frmKeys::commandNodeSelected(QTreeWidgetItem* n) {
  trap("frmKeys.treCommands_Click", [&] {
    const QString typed = cboSearch_->currentText();
    const auto keepSearch = qScopeGuard([&] {
      if (searching_ && cboSearch_->currentText() != typed) cboSearch_->setEditText(typed);
    });
    const bool command = n && n->parent() && !keyOf(n).isEmpty();
    const QSignalBlocker hold(cboSearch_);
    if (assigning_) {
      if (command) {
        cboSearch_->setEditText(keyOf(n));
        for (QWidget* w : {lblKeys_, static_cast<QWidget*>(txtKeys_), static_cast<QWidget*>(cmdAssign_)})
          w->setEnabled(true);
        showAssignText(keyOf(n));
      } else {
        cboSearch_->clearEditText();
        txtKeys_->setText(txtKeysTag_);
        cmdAssign_->setEnabled(false);
      }
      return;
    }
    cmdAddFav_->setEnabled(command);
    if (command) {
      cboSearch_->setEditText(keyOf(n));
      const QString keys = checker_.GetAllKeysForFunc(keyOf(n)).trimmed();
      QStringList shown;
      for (const QString& e : keys.split(u' ', Qt::SkipEmptyParts))
        shown << KeyDesc(e.left(e.size() - 2)) +
                     (levelLabel(e.back()).isEmpty() ? QString() : u' ' + levelLabel(e.back()));
      txtKeys_->setText(shown.isEmpty() ? hiddenText("s_NotAssigned") : shown.join(QStringLiteral(", ")));
      txtKeysTag_ = txtKeys_->text();
      lblKeys_->setEnabled(true);
      txtKeys_->setEnabled(true);
    } else {
      cboSearch_->clearEditText();
      txtKeys_->clear();
      for (QWidget* w : {lblKeys_, static_cast<QWidget*>(txtKeys_), static_cast<QWidget*>(cmdAssign_)})
        w->setEnabled(false);
    }
  });
}

// --- capture ---------------------------------------------------------------------------------

void frmKeys::setCapture(bool on, int mode) {
  capture_ = on ? mode : NoCapture;
  trap("frmKeys.SetKeyCapture", [&] {
    Jex().set(QStringLiteral("HandleKeyCode"), !on);
    Jex().set(QStringLiteral("HandleBrlCode"), !on);
    Jex().set(QStringLiteral("LastBrlCode"), QString());
    Jex().set(QStringLiteral("LastKeyCode"), QString());
  });
  if (on) tmrKeyCheck_->start();
  else tmrKeyCheck_->stop();
}

void frmKeys::tmrKeyCheckTick() {
  if (capture_ == NoCapture) {
    tmrKeyCheck_->stop();
    return;
  }
  QString code;
  bool braille = false;
  const bool read = trapped("frmKeys.tmrKeyCheck", false, [&] {
    code = Jex().str(QStringLiteral("LastKeyCode"));
    if (code == u"SW") return true;
    if (!code.isEmpty()) {
      Jex().set(QStringLiteral("LastKeyCode"), QString());
    } else {
      code = Jex().str(QStringLiteral("LastBrlCode"));
      braille = true;
      if (!code.isEmpty()) Jex().set(QStringLiteral("LastBrlCode"), QString());
    }
    return true;
  });
  if (!read) {  // a core without key capture: one log line, not one per tick
    tmrKeyCheck_->stop();
    capture_ = NoCapture;
    return;
  }
  code = code.trimmed();
  if (code.isEmpty() || code == u"SW") return;
  if (!isCapturedCode(code, braille)) {  // nothing a binding file could hold
    WriteLog(QStringLiteral("KeyCheck: no key code: ") + code.left(48), kFirstRun);
    if (capture_ == Assigning) {
      assigning_ = false;
      cmdAssign_->setEnabled(false);
      txtKeys_->setText(code.left(48) + u' ' + hiddenText("s_NoKeyCode"));
    }
    return;
  }
  trap("frmKeys.tmrKeyCheck", [&] {
    if (capture_ == LookUp) {
      QTreeWidgetItem* n = keyNode(code);
      const QString func = tagOf(n).section(u'|', 0, 0);
      if (func.startsWith(u"BRLSCRE") || func.startsWith(u"BRLSCLE")) {
        Jex().call(QStringLiteral("proc.AddToCMDQueue"), {func});
      } else if (n) {
        showKeyNode(code, false);
      } else {
        const QString text = code + u' ' + hiddenText("s_NotAssigned");
        trap("frmKeys.tmrKeyCheck", [&] { Jex().call(QStringLiteral("proc.BrailleOut"), {text}); });
        trap("frmKeys.tmrKeyCheck", [&] { Jex().call(QStringLiteral("proc.SpeechOut"), {text}); });
        txtKeys_->setText(text);
        txtKeysTag_ = text;
      }
    } else if (capture_ == Assigning) {
      assigning_ = true;
      txtKeysTag_ = code;
      const QString conflict = showAssignText(keyOf(treCommands_->currentItem()));
      txtKeys_->setSelection(0, int(code.size()));
      trap("frmKeys.tmrKeyCheck", [] { Jex().set(QStringLiteral("proc.Lst_Key"), QStringLiteral("+Down")); });
      cmdAssign_->setEnabled(true);
      if (!conflict.isEmpty()) {
        WriteLog(QStringLiteral("Conflict: ") + code + u' ' + checker_.GetActFuncForKey(code), kDetail);
        trap("frmKeys.tmrKeyCheck", [&] { Jex().call(QStringLiteral("proc.BrailleOut"), {conflict}); });
        trap("frmKeys.tmrKeyCheck", [&] { Jex().call(QStringLiteral("proc.SpeechOut"), {conflict}); });
      }
    } else {
      setCapture(false, NoCapture);
    }
  });
}

// --- assigning and deleting ------------------------------------------------------------------

QChar frmKeys::editedLevel() const { return application_ == u"DEFAULT" ? u'3' : u'4'; }

// The level (1 to 4) that binds code now; 0 when none does.
QChar frmKeys::levelOf(const QString& code) const {
  const QString entry = tagOf(keyNode(code)).section(u'|', 1);
  return entry.isEmpty() ? QChar(u'0') : entry.back();
}

// What assigning code to command does to the command the key starts now, as one sentence: which
// command, on which level, and that the key is taken from it on the edited level or overridden
// for this application (or all of the user's) only. Empty when the key starts no other command.
QString frmKeys::conflictText(const QString& code, const QString& command) const {
  const QString func = checker_.GetActFuncForKey(code);
  if (func.isEmpty() || func.compare(command, Qt::CaseInsensitive) == 0) return {};
  const QChar level = levelOf(code), edited = editedLevel();
  QString text = hiddenText("s_Conflict")
                     .arg(KeyDesc(code), commandNames_.value(func.toUpper(), func),
                          hiddenText(qPrintable(QStringLiteral("s_Level(") + level + u')')));
  if (level == edited) text += u' ' + hiddenText("s_ConflictTake");
  else if (edited == u'4') text += u' ' + hiddenText("s_ConflictApp").arg(cboTask_->currentText());
  else text += u' ' + hiddenText("s_ConflictUser");
  return text;
}

// True when code is the only key left to func in the levels merged for the application.
bool frmKeys::isLastKey(const QString& func, const QString& code) const {
  const auto& map = checker_.keyMap();
  return std::none_of(map.keyValueBegin(), map.keyValueEnd(), [&](const auto& kv) {
    return kv.second.compare(func, Qt::CaseInsensitive) == 0 && kv.first.text.compare(code, Qt::CaseInsensitive) != 0;
  });
}

// txt_Keys while a captured key waits for its command: the key, the command, the application
// and what the key starts now. Returns that conflict's text (empty when there is none).
QString frmKeys::showAssignText(const QString& command) {
  const QString code = txtKeysTag_.section(u' ', 0, 0);
  const QString conflict = conflictText(code, command);
  txtKeys_->setText(code + u' ' + hiddenText("s_Assign") + u' ' + command + QStringLiteral(" / ") +
                    cboTask_->currentText() + (conflict.isEmpty() ? QString() : u' ' + conflict));
  return conflict;
}

void frmKeys::DoAssign() {
  trap("frmKeys.DoAssign", [this] {
    WriteLog(QStringLiteral("Assign: ") + txtKeys_->text(), kDetail);
    QTreeWidgetItem* cmd = treCommands_->currentItem();
    QString code;
    if (txtKeys_->isEnabled() && cmd && cmd->childCount() == 0) code = txtKeys_->text().section(u' ', 0, 0).trimmed();
    const QString command = keyOf(cmd);
    if (command.isEmpty()) {
      WriteErrorLog(QStringLiteral("ERROR DoAssign, sCMD empty"));
      return;
    }
    if (code.isEmpty()) return;
    const QString old = checker_.GetActFuncForKey(code);
    if (isVital(old) && old.compare(command, Qt::CaseInsensitive) != 0 && isLastKey(old, code)) {
      const QString name = commandNames_.value(old.toUpper(), old);
      if (MsgBoxEx(hiddenText("s_LastKey").arg(name), msgbox::kYesNo) != msgbox::Yes) {
        WriteLog(QStringLiteral("ASSIGN: kept ") + code + QStringLiteral(" for ") + old, kDetail);
        txtKeys_->setFocus(Qt::OtherFocusReason);
        return;
      }
    }
    const QString kind = kindOf(code);
    WriteLog(QStringLiteral("ASSIGN: ") + command + u' ' + code, kDetail);
    changed(true);
    const QString set =
        kind == u"BRL" ? QStringLiteral("proc.User.AppBrlBindings") : QStringLiteral("proc.User.AppKeyBindings");
    try {
      const Obj bindings = automation::toObj(Jex().call(set, {application_}));
      bindings.call(QStringLiteral("ReplaceOneBinding"), {code, command});
    } catch (const Error& e) {
      WriteErrorLog(QStringLiteral("ERROR ReplaceBinding ") + e.description());
    }
    const bool fromKeys = tabKeys_->currentIndex() == TabKeys;
    assigning_ = false;
    cmdAssign_->setEnabled(false);
    checker_.InitForApp(application_, false);
    FillKeys();
    if (!keyNode(code)) WriteErrorLog(QStringLiteral("ERROR adding  Node ") + code);
    showKeyNode(code, fromKeys);
    commandNodeSelected(cmd);
  });
}

void frmKeys::DoDelete() {
  trap("frmKeys.DoDelete", [this] {
    QTreeWidgetItem* n = treKeys_->currentItem();
    if (!n || !cmdDelete_->isEnabled()) return;
    WriteLog(QStringLiteral("Delete: ") + n->text(0), kDetail);
    const QString code = keyOf(n), parent = keyOf(n->parent());
    const QString set =
        parent == u"BRL" ? QStringLiteral("proc.User.AppBrlBindings") : QStringLiteral("proc.User.AppKeyBindings");
    trap("frmKeys.DoDelete", [&] {
      automation::toObj(Jex().call(set, {application_})).call(QStringLiteral("ReplaceOneBinding"), {code, QString()});
    });
    changed(true);
    checker_.InitForApp(application_, false);
    FillKeys();
    showKeyNode(code, false);
  });
}

// --- search ----------------------------------------------------------------------------------

// The tree of the tab shown is searched from the node after a starting one, round to it again.
// As the user types (FromStart), the start is the node chosen when the typing began, so each
// text shows its first match from there and the focus stays in the field; Enter does the same
// and gives the match the focus; F3 (Next) goes on from the match chosen now. The field's
// description says how many nodes match.
void frmKeys::SearchTree(Search how) {
  trap("frmKeys.SearchTree", [&] {
    const QString text = cboSearch_->currentText().trimmed();
    QTreeWidget* tree = tabKeys_->currentIndex() == TabKeys ? treKeys_ : treCommands_;
    if (text.isEmpty()) {
      searchFrom_ = -2;
      cboSearch_->setAccessibleDescription(cboSearch_->toolTip());
      return;
    }
    QList<QTreeWidgetItem*> all;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) all << *it;
    if (all.isEmpty()) return;
    const qsizetype current = all.indexOf(tree->currentItem());
    if (how == Next || searchFrom_ < -1 || searchFrom_ >= all.size()) searchFrom_ = int(current);
    const qsizetype from = how == Next ? current : searchFrom_;
    int matches = 0;
    QTreeWidgetItem* found = nullptr;
    for (qsizetype i = 1; i <= all.size(); ++i) {
      QTreeWidgetItem* n = all.at((from + i + all.size()) % all.size());
      if (n->text(0).contains(text, Qt::CaseInsensitive) || tagOf(n).contains(text, Qt::CaseInsensitive) ||
          keyOf(n).contains(text, Qt::CaseInsensitive)) {
        ++matches;
        if (!found) found = n;
      }
    }
    cboSearch_->setAccessibleDescription(hiddenText("s_Matches").arg(matches));
    // A text that matches nothing leaves the tree as it was when the typing began.
    if (!found) {
      QApplication::beep();
      if (how != FromStart || searchFrom_ < 0) return;
      found = all.at(searchFrom_);
    }
    {
      const QSignalBlocker hold(cboSearch_);
      const QScopedValueRollback<bool> searching(searching_, true);
      tree->setCurrentItem(found);
      tree->scrollToItem(found);
    }
    if (how != FromStart) {
      searchFrom_ = -2;  // the next typing starts where this search left the tree
      tree->setFocus(Qt::OtherFocusReason);
    }
    if (cboSearch_->currentText().trimmed() != text) cboSearch_->setEditText(text);
  });
}

// --- favourites ------------------------------------------------------------------------------

QString frmKeys::favouritesFile() {
  const auto user = gGlobal().UserProfile;
  return (user ? user->Path() : gGlobal().AppPath) + QStringLiteral("UserMenu.ini");
}

void frmKeys::AddFav() {
  trap("frmKeys.cmdAddFav_Click", [this] {
    QTreeWidgetItem* cmd = treCommands_->currentItem();
    if (!cmd || !cmd->parent()) return;
    QString key = keyOf(cmd);
    if (key.startsWith(u"sub.", Qt::CaseInsensitive)) key = QStringLiteral("DEFAULT.") + key;
    auto* row = new QTreeWidgetItem(lvwQMenu_, {cleanName(cmd->text(0)), key});
    lvwQMenu_->setCurrentItem(row);
    changed(false);
    selectTab(TabFavourites);
    lvwQMenu_->setFocus(Qt::OtherFocusReason);
  });
}

void frmKeys::RenameFav() {
  QTreeWidgetItem* row = lvwQMenu_->currentItem();
  const QString name = cleanName(txtFavName_->text());
  if (row && !name.isEmpty() && name != row->text(0)) {
    row->setText(0, name);
    changed(false);
  }
  lvwQMenu_->setFocus(Qt::OtherFocusReason);
  txtFavName_->setEnabled(false);
  lblFavName_->setEnabled(false);
}

void frmKeys::DeleteFav() {
  const int at = lvwQMenu_->indexOfTopLevelItem(lvwQMenu_->currentItem());
  if (at < 0) return;
  delete lvwQMenu_->takeTopLevelItem(at);
  changed(false);
  if (lvwQMenu_->topLevelItemCount() > 0)
    lvwQMenu_->setCurrentItem(lvwQMenu_->topLevelItem(qMin(at, lvwQMenu_->topLevelItemCount() - 1)));
  else txtFavName_->clear();
  lvwQMenu_->setFocus(Qt::OtherFocusReason);
}

void frmKeys::MoveItem(int by) {
  const int at = lvwQMenu_->indexOfTopLevelItem(lvwQMenu_->currentItem());
  const int to = at + by;
  if (at < 0 || to < 0 || to >= lvwQMenu_->topLevelItemCount()) return;
  QTreeWidgetItem* row = lvwQMenu_->takeTopLevelItem(at);
  lvwQMenu_->insertTopLevelItem(to, row);
  lvwQMenu_->setCurrentItem(row);
  changed(false);
}

void frmKeys::GetFavorites() {
  trap("frmKeys.GetFavorites", [this] {
    lvwQMenu_->clear();
    const QString file = favouritesFile();
    const quint32 size = ini::GetPrivateProfileSectionSize(QStringLiteral("User"), file);
    QString block;
    ini::GetPrivateProfileSection(QStringLiteral("User"), block, qMax<quint32>(size, 2), file);
    for (const QString& line : block.split(QChar(0), Qt::SkipEmptyParts)) {
      const qsizetype eq = line.indexOf(u'=');
      if (eq <= 0 || line.startsWith(u';')) {
        WriteLog(QStringLiteral("GetFavorites: line left out: ") + line.left(80), kDetail);
        continue;
      }
      new QTreeWidgetItem(lvwQMenu_, {line.mid(eq + 1).trimmed(), line.left(eq).trimmed()});
    }
  });
}

// [User] written in one go: the file holds either the old section or the new one.
void frmKeys::SaveQMenu() {
  trap("frmKeys.SaveQMenu", [this] {
    QString block;
    for (int i = 0; i < lvwQMenu_->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* row = lvwQMenu_->topLevelItem(i);
      const QString name = cleanName(row->text(0)), command = row->text(1).trimmed();
      if (command.isEmpty() || command.contains(u'=') || name.isEmpty()) continue;
      block += command + u'=' + name + QChar(0);
    }
    block += QChar(0);
    if (!ini::WritePrivateProfileSection(QStringLiteral("User"), block, favouritesFile()))
      WriteErrorLog(QStringLiteral("ERROR SaveQMenu ") + favouritesFile());
  });
}

// --- saving ----------------------------------------------------------------------------------

void frmKeys::SaveBindings() {
  trap("frmKeys.SaveBindings", [this] {
    WriteLog(QStringLiteral("SaveBindings ") + application_, kDetail);
    if (keysChanged_)
      for (const char* set : {"proc.User.AppKeyBindings", "proc.User.AppBrlBindings"})
        trap("frmKeys.SaveBindings",
             [&] { automation::toObj(Jex().call(QLatin1String(set), {application_})).call(QStringLiteral("Save")); });
    // An unchanged favourites file is left as it is, lines this dialog cannot read included.
    if (favsChanged_) {
      SaveQMenu();
      forms::run(QStringLiteral("frmQMenu"), QStringLiteral("DestroyMenus"));
    }
    keysChanged_ = favsChanged_ = dirty_ = false;
  });
}

void frmKeys::ReloadBindings() {
  trap("frmKeys.ReloadBindings", [this] {
    WriteLog(QStringLiteral("ReloadBindings ") + application_, kDetail);
    dropKeptKeys();
    checker_.InitForApp(application_, true);
    GetFavorites();
    FillKeys();
    keysChanged_ = favsChanged_ = dirty_ = false;
  });
}

void frmKeys::store() {
  if (dirty_) SaveBindings();
}

void frmKeys::revert() { ReloadBindings(); }

void frmKeys::hideEvent(QHideEvent* event) {
  if (capture_ != NoCapture) setCapture(false, NoCapture);
  assigning_ = false;
  ChildDialog::hideEvent(event);
}

// --- keys ------------------------------------------------------------------------------------

void frmKeys::keyPressEvent(QKeyEvent* event) {
  const auto mods = event->modifiers() & ~Qt::KeypadModifier;
  if ((event->key() == Qt::Key_Tab && mods == Qt::ControlModifier) ||
      (event->key() == Qt::Key_Backtab && (mods & Qt::ControlModifier))) {
    const int n = tabKeys_->count();
    const int tab = (tabKeys_->currentIndex() + (event->key() == Qt::Key_Tab ? 1 : n - 1)) % n;
    if (tab == TabKeys) ShowKeys();
    else if (tab == TabCommands) ShowCMDs();
    else ShowFav();
    event->accept();
    return;
  }
  ChildDialog::keyPressEvent(event);
}

bool frmKeys::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress && watched == cboTask_->view()->viewport()) taskClicked();
  if (type == QEvent::FocusIn) {
    if (watched == txtKeys_) setCapture(true, Assigning);
    else if (watched == treKeys_) setCapture(true, LookUp);
    else if (watched == cboSearch_->lineEdit() || watched == cboSearch_) {
      searchFrom_ = -2;  // set by the first change typed
      QTimer::singleShot(0, cboSearch_->lineEdit(), &QLineEdit::selectAll);
    }
  } else if (type == QEvent::FocusOut) {
    if ((watched == txtKeys_ && capture_ == Assigning) || (watched == treKeys_ && capture_ == LookUp))
      setCapture(false, NoCapture);
    if (watched == txtFavName_ && txtFavName_->isEnabled()) {
      txtFavName_->setEnabled(false);
      lblFavName_->setEnabled(false);
    }
  }
  if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return ChildDialog::eventFilter(watched, event);
  auto* k = static_cast<QKeyEvent*>(event);
  const auto mods = k->modifiers() & ~Qt::KeypadModifier;
  const bool press = type == QEvent::KeyPress;
  bool handled = false;
  if (watched == txtKeys_) {
    if (ui::isEnter(*k) && cmdAssign_->isEnabled()) {
      handled = true;
      if (press) DoAssign();
    } else if (k->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
      handled = true;
      if (press) {
        assigning_ = false;
        txtKeys_->setText(txtKeysTag_);
        cmdAssign_->setEnabled(false);
        treCommands_->setFocus(Qt::OtherFocusReason);
      }
    }
  } else if (watched == txtFavName_) {
    if (ui::isEnter(*k)) {
      handled = true;
      if (press) RenameFav();
    } else if (k->key() == Qt::Key_Escape) {
      handled = true;
      if (press) {
        txtFavName_->setText(lvwQMenu_->currentItem() ? lvwQMenu_->currentItem()->text(0) : QString());
        lvwQMenu_->setFocus(Qt::OtherFocusReason);
      }
    }
  } else if (watched == cboSearch_->lineEdit() || watched == cboSearch_) {
    if (ui::isEnter(*k) && !cboSearch_->currentText().trimmed().isEmpty()) {
      handled = true;
      if (press) SearchTree(Focus);
    } else if (k->key() == Qt::Key_F3) {
      handled = true;
      if (press) SearchTree(Next);
    }
  } else if (watched == lvwQMenu_) {
    if (k->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
      handled = true;
      if (press) DeleteFav();
    } else if ((k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) && mods == Qt::ControlModifier) {
      handled = true;
      if (press) MoveItem(k->key() == Qt::Key_Up ? -1 : 1);
    }
  } else if (watched == treKeys_ || watched == treCommands_) {
    if (k->key() == Qt::Key_F3) {
      handled = true;
      if (press) SearchTree(Next);
    } else if (watched == treKeys_ && k->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
      handled = true;
      if (press) DoDelete();
    }
  }
  if (handled) {
    event->accept();
    return true;
  }
  return ChildDialog::eventFilter(watched, event);
}

JEX_FORM_REGISTRATION(frmKeys, {.create = [] { return std::make_unique<frmKeys>(); },
                                .preload = 4,
                                .menuButton = 3,
                                .commands = {{.name = QStringLiteral("DLGNUMKEY"),
                                              .action = QStringLiteral("ShowKeys"),
                                              .args = {QStringLiteral("NUM")}},
                                             {.name = QStringLiteral("DLGBRAILLEKEY"),
                                              .action = QStringLiteral("ShowKeys"),
                                              .args = {QStringLiteral("BRL")}}},
                                .menuEntries = {
                                    {.name = QStringLiteral("mnuKeysKeys"), .action = QStringLiteral("ShowKeys")},
                                    {.name = QStringLiteral("mnuKeysCommands"), .action = QStringLiteral("ShowCMDs")},
                                    {.name = QStringLiteral("mnuKeysFavorites"), .action = QStringLiteral("ShowFav")}}})

}  // namespace jex
