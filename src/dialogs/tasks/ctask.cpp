#include "dialogs/tasks/ctask.h"

#include <QApplication>
#include <QHash>
#include <QPixmap>
#include <QStyle>

#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "platform/system.h"

namespace jex {

namespace tasks = platform::tasks;

namespace {

constexpr int kBigIcon = 32, kSmallIcon = 16;
constexpr int kActivateWaitMs = 200;  // how long Activate waits for the window to be in front
// Processes that Kill never ends, by their executable's name.
const QStringList kOwnPrograms = {QStringLiteral("jexui"), QStringLiteral("corvane"), QStringLiteral("qmtwcd")};

bool taskTest(const tasks::WindowState& s) { return s.visible && !s.toolWindow && !(s.owner && s.ownerVisible); }

template <class T>
void store(T& field, const T& value, bool& changed) {
  if (field == value) return;
  field = value;
  changed = true;
}

}  // namespace

cTask::cTask(TaskWindow window, int hungTimeout) : hWnd(window), HungTimeout(hungTimeout) {}

QIcon cTask::defaultIcon() {
  const QIcon theme = QIcon::fromTheme(QStringLiteral("application-x-executable"));
  return !theme.isNull() || !qApp ? theme : QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

QIcon cTask::defaultLogoIcon() {
  const QIcon theme = QIcon::fromTheme(QStringLiteral("computer"));
  return !theme.isNull() || !qApp ? theme : QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
}

QIcon cTask::Icon() const { return bigIcon_.isNull() ? defaultIcon() : bigIcon_; }
QIcon cTask::IconSm() const { return smallIcon_.isNull() ? Icon() : smallIcon_; }

void cTask::Update() {
  trap("cTask.Update", [this] {
    const tasks::WindowState s = tasks::readWindow(hWnd);
    const bool answering = !s.answersPing || !tasks::notAnswering({hWnd}, HungTimeout).contains(hWnd);
    apply(s, answering);
  });
}

void cTask::apply(const tasks::WindowState& s, bool answering) {
  Changed = false;
  quint32 style = 0, exStyle = 0;
  if (s.visible) style |= WS_VISIBLE;
  if (s.minimized) style |= WS_MINIMIZE;
  if (s.maximized) style |= WS_MAXIMIZE;
  if (s.toolWindow) exStyle |= WS_EX_TOOLWINDOW;
  store(ClassName, s.className, Changed);
  store(Style, style, Changed);
  store(ExStyle, exStyle, Changed);
  if (!s.exists || !taskTest(s)) {
    IsTask = false;
    return;
  }
  IsTask = true;
  if (!answering) {
    if (Responding) Changed = true;
    Responding = false;
    if (Caption.isEmpty()) Caption = ClassName + QStringLiteral(" time out !");
    return;
  }
  if (!Responding) Changed = true;
  Responding = true;
  if (s.title.isEmpty()) {
    IsTask = false;
    return;
  }
  store(Caption, s.title.left(kMaxCaption), Changed);
  readIcons(s);
  store(Zoomed, s.maximized, Changed);
  store(Iconic, s.minimized, Changed);
}

// The owner's icons first, then the window's own, then the icon theme's for the class. They are
// read again only when the window's icon property changes size or the owner changes.
void cTask::readIcons(const tasks::WindowState& s) {
  if (iconsRead_ && s.iconBytes == iconBytes_ && s.owner == iconOwner_) return;
  iconsRead_ = true;
  iconBytes_ = s.iconBytes;
  iconOwner_ = s.owner;
  const auto fromWindows = [&](int size) {
    QImage img = s.owner ? tasks::windowIcon(s.owner, size) : QImage();
    if (img.isNull()) img = tasks::windowIcon(hWnd, size);
    return img.isNull() ? QIcon::fromTheme(ClassName.toLower()) : QIcon(QPixmap::fromImage(img));
  };
  const QIcon big = fromWindows(kBigIcon), small = fromWindows(kSmallIcon);
  if (big.cacheKey() != bigIcon_.cacheKey() && !(big.isNull() && bigIcon_.isNull())) {
    bigIcon_ = big;
    Changed = true;
  }
  if (small.cacheKey() != smallIcon_.cacheKey() && !(small.isNull() && smallIcon_.isNull())) {
    smallIcon_ = small;
    Changed = true;
  }
}

bool cTask::OfScreenReader() const {
  return trapped("cTask.OfScreenReader", false, [this] {
    const qint64 pid = tasks::processId(hWnd);
    return pid > 0 &&
           (pid == platform::ownProcessId() || kOwnPrograms.contains(tasks::processName(pid), Qt::CaseInsensitive));
  });
}

bool cTask::Kill() {
  return trapped("cTask.Kill", false, [this] {
    const qint64 pid = tasks::processId(hWnd);
    QSet<qint64> refused{platform::ownProcessId()};
    if (kOwnPrograms.contains(tasks::processName(pid), Qt::CaseInsensitive)) refused.insert(pid);
    return tasks::terminateProcessOf(hWnd, refused);
  });
}

void cTask::Minimize() {
  trap("cTask.Minimize", [this] {
    if (!Iconic) tasks::minimize(hWnd);
  });
}

void cTask::Restore() {
  trap("cTask.Restore", [this] {
    if (Iconic || Zoomed) tasks::restore(hWnd);
  });
}

void cTask::Maximize() {
  trap("cTask.Maximize", [this] {
    if (!Zoomed) tasks::maximize(hWnd);
  });
}

bool cTask::Activate() {
  return trapped("cTask.Activate", false, [this] {
    if (Caption.isEmpty()) return false;
    return tasks::activate(hWnd, kActivateWaitMs);
  });
}

QString cTask::GetCaption() {
  return trapped("cTask.GetCaption", QString(), [this] {
    const tasks::WindowState s = tasks::readWindow(hWnd);
    if (!s.exists || (s.answersPing && tasks::notAnswering({hWnd}, HungTimeout).contains(hWnd)))
      return QStringLiteral(" time out !");
    if (s.title.isEmpty()) return QStringLiteral(" NO Titlet !");
    return s.title.left(kMaxCaption);
  });
}

QString cTask::ProcessName() {
  return trapped("cTask.ProcessName", QString(), [this] {
    return Jex().call(QStringLiteral("proc.iSys.GetProcessNameFromWindow"), {QVariant(qint64(hWnd))}).toString();
  });
}

// --- cTaskList ---

cTaskList::cTaskList(QObject* parent) : QObject(parent) {}
cTaskList::~cTaskList() = default;

void cTaskList::setHungTimeout(int ms) {
  if (ms > 0) hungTimeout_ = ms;
}

cTask* cTaskList::TaskByIndex(int n) const {
  return n >= 1 && n <= Count() ? tasks_[std::size_t(n - 1)].get() : nullptr;
}

cTask* cTaskList::TaskByhWnd(TaskWindow window) const {
  for (const auto& t : tasks_)
    if (t->hWnd == window) return t.get();
  return nullptr;
}

void cTaskList::remove(std::size_t index) {
  std::unique_ptr<cTask> task = std::move(tasks_[index]);
  tasks_.erase(tasks_.begin() + std::ptrdiff_t(index));
  emit TaskRemoved(task.get());
}

void cTaskList::Refresh() {
  trap("cTaskList.Refresh", [this] {
    const QList<TaskWindow> walk = tasks::topLevelWindows();
    const QSet<TaskWindow> walked(walk.cbegin(), walk.cend());
    // Stored tasks whose window is gone, or no longer among the top-level windows.
    for (std::size_t i = tasks_.size(); i-- > 0;)
      if (!walked.contains(tasks_[i]->hWnd)) remove(i);
    QHash<TaskWindow, cTask*> known;
    for (const auto& t : tasks_) known.insert(t->hWnd, t.get());

    const QList<tasks::WindowState> states = tasks::readWindows(walk);
    // One ping for every window that may be a task, all answered within one HungTimeout.
    QList<TaskWindow> ask;
    for (qsizetype i = 0; i < walk.size(); ++i)
      if (states[i].exists && states[i].answersPing && taskTest(states[i])) ask << walk[i];
    const QSet<TaskWindow> hung = tasks::notAnswering(ask, hungTimeout_);

    for (qsizetype i = 0; i < walk.size(); ++i) {
      trap("cTaskList.Refresh.Window", [&] {
        const TaskWindow w = walk[i];
        if (cTask* task = known.value(w)) {
          task->apply(states[i], !hung.contains(w));
          if (task->IsTask) {
            if (task->Changed) emit TaskUpdated(task);
          } else {
            for (std::size_t k = 0; k < tasks_.size(); ++k)
              if (tasks_[k].get() == task) {
                remove(k);
                break;
              }
          }
          return;
        }
        auto task = std::make_unique<cTask>(w, hungTimeout_);
        task->apply(states[i], !hung.contains(w));
        if (!task->IsTask) return;
        tasks_.push_back(std::move(task));
        emit TaskAdded(tasks_.back().get());
      });
    }
  });
}

}  // namespace jex
