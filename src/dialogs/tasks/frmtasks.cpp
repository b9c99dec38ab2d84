#include "dialogs/tasks/frmtasks.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/tasks/tasklistview.h"
#include "global/cglobal.h"
#include "platform/foreground.h"
#include "platform/system.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {

namespace {

constexpr int kTimerMs = 1000;
constexpr int kHungTimeoutMs = 1000;
constexpr int kIconSize = 16;
enum Column { kTaskColumn = 0, kInfoColumn = 1, kHandleColumn = 2 };
const QString kPlaceholderKey = QStringLiteral("h0");
constexpr int kKeyRole = Qt::UserRole;
constexpr int kTagRole = Qt::UserRole + 1;

}  // namespace

frmTasks::frmTasks(QWidget* parent)
    : ChildDialog(QStringLiteral("frmTasks"), QStringLiteral("Programm Wizard"), parent) {
  lvwTasks_ = named<TaskListView>(this, "lvwTasks");  // heard as a list of programs, not as a tree
  lvwTasks_->setColumnCount(3);
  lvwTasks_->setHeaderLabels({QStringLiteral("Task"), QStringLiteral("Info"), QStringLiteral("hWnd")});
  lvwTasks_->setRootIsDecorated(false);
  lvwTasks_->setUniformRowHeights(true);
  lvwTasks_->setIconSize(QSize(kIconSize, kIconSize));
  lvwTasks_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvwTasks_->header()->setSectionsClickable(true);
  lvwTasks_->installEventFilter(this);
  content()->addWidget(lvwTasks_, 1);
  ui::setBuddy(lblTitle(), lvwTasks_);

  auto* row = new QHBoxLayout;
  // Its own buttons: Enter presses the default one, switching to the program (closing the
  // dialog while the list is empty).
  const auto button = [&](const char* name, const char* text) {
    auto* b = named<QPushButton>(this, name, QString::fromUtf8(text));
    row->addWidget(b);
    return b;
  };
  cmdSwitchTo_ = button("cmdSwitchTo", "&Wechseln zu");
  cmdMinimize_ = button("cmdMinimize", "Mi&nimieren");
  cmdMaximize_ = button("cmdMaximize", "Ma&ximieren");
  cmdRestore_ = button("cmdRestore", "&Wiederherstellen");
  cmdEndTask_ = button("cmdEndTask", "&Task beenden");
  cmdClose_ = button("cmdClose", "schließen");
  cmdClose_->setVisible(false);
  content()->addLayout(row);
  cmdSwitchTo_->setDefault(true);
  for (QPushButton* b : {cmdSwitchTo_, cmdMinimize_, cmdMaximize_, cmdRestore_, cmdEndTask_, cmdClose_})
    b->installEventFilter(this);
  hiddenTexts({{"lblRunning", "läuft"},
               {"lblNotResponding", "reagiert nicht"},
               {"lblNormal", "normal"},
               {"lblMaximized", "maximiert"},
               {"lblMinimized", "minimiert"},
               {"lblNoTask", "keine Tasks !"},
               {"lblKill", "wirklich beenden ?"},
               {"lblEndTask", "Task wirklich beenden ?"},
               {"lblStatus", "Status"},
               {"lblTask", "Task"}});

  clock_.start();
  tasks_.setHungTimeout(kHungTimeoutMs);
  timer_.setObjectName(QStringLiteral("Timer1"));
  timer_.setInterval(kTimerMs);
  timer_.setSingleShot(false);
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  connect(&tasks_, &cTaskList::TaskAdded, this, &frmTasks::showTask);
  connect(&tasks_, &cTaskList::TaskUpdated, this, &frmTasks::showTask);
  connect(&tasks_, &cTaskList::TaskRemoved, this, &frmTasks::removeTask);
  connect(lvwTasks_, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });
  connect(lvwTasks_, &QTreeWidget::itemDoubleClicked, this, [this] { switchTo(); });
  connect(lvwTasks_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    trap("frmTasks.lvwTasks_ColumnClick", [&] {
      if (column != kTaskColumn) return;
      const Qt::SortOrder next =
          lvwTasks_->property("jexSortedAscending").toBool() ? Qt::DescendingOrder : Qt::AscendingOrder;
      lvwTasks_->sortItems(kTaskColumn, next);
      lvwTasks_->setProperty("jexSortedAscending", next == Qt::AscendingOrder);
    });
  });
  const auto click = [this](QPushButton* b, auto fn) {
    connect(b, &QPushButton::clicked, this, [this, b, fn] {
      trap(qPrintable(QStringLiteral("frmTasks.") + b->objectName() + QStringLiteral("_Click")), [&] { fn(); });
    });
  };
  click(cmdSwitchTo_, [this] { switchTo(); });
  click(cmdMinimize_, [this] {
    if (cTask* t = selectedTask()) t->Minimize();
  });
  click(cmdMaximize_, [this] {
    if (cTask* t = selectedTask()) t->Maximize();
  });
  click(cmdRestore_, [this] {
    if (cTask* t = selectedTask()) t->Restore();
  });
  click(cmdEndTask_, [this] { endTask(); });
  click(cmdClose_, [this] { reject(); });
  applyHeaders();
  updateButtons();
}

frmTasks::~frmTasks() { timer_.stop(); }

QPushButton* frmTasks::button(const char* name) const { return findChild<QPushButton*>(QString::fromLatin1(name)); }

QString frmTasks::keyOf(TaskWindow window) { return QStringLiteral("h") + QString::number(window, 16).toUpper(); }

QString frmTasks::stateText(const cTask& task) const {
  const QString running = hiddenText(task.Responding ? "lblRunning" : "lblNotResponding");
  const char* shape = task.Zoomed ? "lblMaximized" : task.Iconic ? "lblMinimized" : "lblNormal";
  return running + u' ' + hiddenText(shape);
}

// The headers follow the language; the list is announced by the dialog's title.
void frmTasks::applyHeaders() {
  lvwTasks_->setHeaderLabels({hiddenText("lblTask"), hiddenText("lblStatus"), QStringLiteral("hWnd")});
  lvwTasks_->setAccessibleName(ui::plainCaption(lblTitle()->text()));
}

bool frmTasks::handleCmd(const QString& command) {
  const bool common = ChildDialog::handleCmd(command);
  if (command == QLatin1String("UI_LNGCHANGE")) trap("frmTasks.HandleCmd", [this] { applyHeaders(); });
  return common;
}

void frmTasks::ShowTasks() {
  trap("frmTasks.ShowTasks", [this] {
    applyHeaders();
    if (isVisible()) {
      tick();
      selectLastForeground();
    } else {
      show();  // the showing fills the list (showValues)
    }
    timer_.start();
    platform::ForceForeground(window(), gGlobal().UseForceForeGround);
    lvwTasks_->setFocus(Qt::OtherFocusReason);
    updateButtons();
  });
}

void frmTasks::selectLastForeground() {
  trap("frmTasks.SelectLastForeground", [this] {
    const QString wanted = QStringLiteral("&h") + QString::number(quint32(gGlobal().LastForeWnd), 16).toUpper();
    for (int i = 0; i < lvwTasks_->topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = lvwTasks_->topLevelItem(i);
      if (item->text(kHandleColumn) != wanted) continue;
      lvwTasks_->setCurrentItem(item);
      lvwTasks_->scrollToItem(item);
      break;
    }
  });
}

void frmTasks::tick() {
  trap("frmTasks.Timer1_Timer", [this] {
    timer_.stop();
    tasks_.Refresh();
    announceLasting();
    QTreeWidgetItem* placeholder = rowByKey(kPlaceholderKey);
    const bool rows = lvwTasks_->topLevelItemCount() > (placeholder ? 1 : 0);
    if (rows) {
      delete placeholder;
      cmdClose_->setVisible(false);
    } else if (!placeholder) {
      auto* item = new QTreeWidgetItem(lvwTasks_, {hiddenText("lblNoTask")});
      item->setData(kTaskColumn, kKeyRole, kPlaceholderKey);
      lvwTasks_->setCurrentItem(item);
      cmdClose_->setVisible(true);
    }
    cmdSwitchTo_->setDefault(rows);
    cmdClose_->setDefault(!rows);
    if (!lvwTasks_->currentItem() && lvwTasks_->topLevelItemCount() > 0)
      lvwTasks_->setCurrentItem(lvwTasks_->topLevelItem(0));
    updateButtons();
    if (isVisible()) timer_.start();
  });
  trap("frmTasks.Timer1_Timer.Restart", [this] {
    if (isVisible() && !timer_.isActive()) timer_.start();
  });
}

// The screen reader's own windows by their captions (which may change), and by their process
// (asked once per window), which holds whatever the caption says ("corvane time out !").
bool frmTasks::ownWindow(const cTask& task) {
  if (task.Caption.contains(QLatin1String("jexui"), Qt::CaseInsensitive)) return true;
  if (task.Caption == u"Sim" || task.Caption == u"Corvane") return true;
  // internalWinId: asking a child widget for winId() would make it a native window of its own.
  if (task.hWnd == TaskWindow(window()->internalWinId())) return true;
  auto own = windowOfOwnProcess_.constFind(task.hWnd);
  if (own == windowOfOwnProcess_.cend()) own = windowOfOwnProcess_.insert(task.hWnd, task.OfScreenReader());
  return *own;
}

QTreeWidgetItem* frmTasks::rowByKey(const QString& key) const {
  for (int i = 0; i < lvwTasks_->topLevelItemCount(); ++i)
    if (QTreeWidgetItem* item = lvwTasks_->topLevelItem(i); item->data(kTaskColumn, kKeyRole).toString() == key)
      return item;
  return nullptr;
}

void frmTasks::showTask(cTask* task) {
  trap("frmTasks.TaskList_TaskUpdated", [&] {
    if (!task) return;
    const QString key = keyOf(task->hWnd);
    if (ownWindow(*task)) {  // also when its caption has only now shown it as one
      delete rowByKey(key);
      heard_.remove(task->hWnd);
      return;
    }
    QTreeWidgetItem* item = rowByKey(key);
    const bool isNew = !item;
    if (isNew) {
      item = new QTreeWidgetItem(lvwTasks_);
      item->setData(kTaskColumn, kKeyRole, key);
      item->setText(kHandleColumn, QStringLiteral("&h") + QString::number(task->hWnd, 16).toUpper());
    }
    if (item->icon(kTaskColumn).isNull()) item->setIcon(kTaskColumn, task->IconSm());
    if (item->text(kTaskColumn) != task->Caption) item->setText(kTaskColumn, task->Caption);
    const QString state = stateText(*task);
    const QString before = item->data(kTaskColumn, kTagRole).toString();
    if (state != before) {
      item->setText(kInfoColumn, state);
      item->setData(kTaskColumn, kTagRole, state);
    }
    // A change of the first word (running / not responding) is said once it has lasted.
    Heard& heard = heard_[task->hWnd];
    if (isNew) heard = Heard{task->Responding};
    if (task->Responding == heard.responding) {
      heard.pending = false;
    } else if (!heard.pending) {
      heard.pending = true;
      heard.pendingSinceMs = clock_.elapsed();
    }
    // A row is announced with its state: the Info column is not read with the focused cell.
    const QString spoken = item->text(kTaskColumn) + u' ' + state;
    if (item->data(kTaskColumn, Qt::AccessibleTextRole).toString() != spoken)
      item->setData(kTaskColumn, Qt::AccessibleTextRole, spoken);
    if (item == lvwTasks_->currentItem()) updateButtons();
  });
}

void frmTasks::announceLasting() {
  trap("frmTasks.AnnounceLasting", [this] {
    const qint64 now = clock_.elapsed();
    for (auto it = heard_.begin(); it != heard_.end(); ++it) {
      if (!it->pending || now - it->pendingSinceMs < kSettleMs) continue;
      const cTask* task = tasks_.TaskByhWnd(it.key());
      it->pending = false;
      if (!task || !rowByKey(keyOf(it.key()))) continue;
      it->responding = task->Responding;
      if (isVisible()) say(task->Caption + u' ' + hiddenText(task->Responding ? "lblRunning" : "lblNotResponding"));
    }
  });
}

void frmTasks::removeTask(cTask* task) {
  trap("frmTasks.TaskList_TaskRemoved", [&] {
    if (!task) return;
    windowOfOwnProcess_.remove(task->hWnd);
    heard_.remove(task->hWnd);
    delete rowByKey(keyOf(task->hWnd));
  });
}

void frmTasks::say(const QString& text) {
  trap("frmTasks.Say", [&] {
    if (!Jex()) return;
    Jex().call(QStringLiteral("proc.SpeechOutVoice"), {text});
  });
}

cTask* frmTasks::selectedTask() const {
  QTreeWidgetItem* item = lvwTasks_->currentItem();
  if (!item) return nullptr;
  const QString key = item->data(kTaskColumn, kKeyRole).toString();
  if (key == kPlaceholderKey) return nullptr;
  bool ok = false;
  const TaskWindow w = key.mid(1).toUInt(&ok, 16);
  return ok ? tasks_.TaskByhWnd(w) : nullptr;
}

void frmTasks::updateButtons() {
  trap("frmTasks.UpdateButtons", [this] {
    const cTask* t = selectedTask();
    cmdSwitchTo_->setEnabled(t);
    cmdEndTask_->setEnabled(t);
    cmdMinimize_->setEnabled(t && !t->Iconic);
    cmdMaximize_->setEnabled(t && !t->Zoomed);
    cmdRestore_->setEnabled(t && (t->Iconic || t->Zoomed));
  });
}

void frmTasks::switchTo() {
  trap("frmTasks.cmdSwitchTo_Click", [this] {
    cTask* t = selectedTask();
    if (!t) return;
    const bool inFront = t->Activate();
    WriteLog(QStringLiteral("frmTasks: switched to ") + t->Caption +
                 (inFront ? QString() : QStringLiteral(" (not in front)")),
             kTraffic);
    hideChild();
  });
}

void frmTasks::endTask() {
  trap("frmTasks.cmdEndTask_Click", [this] {
    cTask* t = selectedTask();
    if (!t) return;
    const TaskWindow w = t->hWnd;
    const QString question = lvwTasks_->currentItem()->text(kTaskColumn) + u' ' + hiddenText("lblKill");
    if (MsgBoxEx(question, msgbox::kYesNo) != msgbox::Yes) return;
    if (cTask* still = tasks_.TaskByhWnd(w)) still->Kill();  // the question may have outlived it
  });
}

// The rows and the selected one are there before the showing gives the list the focus: a row
// made current while the list has the focus is announced in place of the list.
void frmTasks::showValues() {
  const bool opened = lvwTasks_->topLevelItemCount() == 0;  // not shown again with the main window
  applyHeaders();
  tick();
  if (opened) selectLastForeground();
  timer_.start();
}

// Hidden with the main window the rows stay; closed, the list is emptied.
void frmTasks::hideEvent(QHideEvent* event) {
  ChildDialog::hideEvent(event);
  trap("frmTasks.Hide", [this] {
    timer_.stop();
    if (!parentWidget() || !isVisibleTo(parentWidget())) {
      lvwTasks_->clear();
      heard_.clear();
    }
  });
}

// "/" on the list or a button asks for the help of that control (in the list it would search
// the rows).
bool frmTasks::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Slash) {
    trap("frmTasks.Form_KeyDown", [this] { help(); });
    return true;
  }
  return ChildDialog::eventFilter(watched, event);
}

JEX_FORM_REGISTRATION(frmTasks,
                      {.create = [] { return std::make_unique<frmTasks>(); },
                       .preload = 9,
                       .menuButton = 5,
                       .commands = {{.name = QStringLiteral("SHOWTASKLIST"), .action = QStringLiteral("ShowTasks")}}})

}  // namespace jex
