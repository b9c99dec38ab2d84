#include "corvane/engine/monitorwindow.h"

#include "corvane/engine/braillepane.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

MonitorWindow::MonitorWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmMonitor"));
  setWindowTitle(QStringLiteral("Corvane"));

  auto* logLabel = new QLabel(tr("&Spoken text and events:"), this);
  log_ = new QPlainTextEdit(this);
  log_->setObjectName(QStringLiteral("txtMonitor"));
  log_->setReadOnly(true);
  log_->setMaximumBlockCount(2000);
  log_->setAccessibleName(tr("Spoken text and events"));
  logLabel->setBuddy(log_);

  auto* spokenLabel = new QLabel(tr("Last &utterances:"), this);
  spoken_ = new QListWidget(this);
  spoken_->setObjectName(QStringLiteral("lstUtterances"));
  spoken_->setAccessibleName(tr("Last utterances"));
  spokenLabel->setBuddy(spoken_);

  braille_ = new BraillePane(this);

  auto* cmdLabel = new QLabel(tr("&Command:"), this);
  command_ = new QLineEdit(this);
  command_->setObjectName(QStringLiteral("txtCommand"));
  command_->setAccessibleName(tr("Command"));
  command_->setAccessibleDescription(tr("A command as if its key was pressed, or :help"));
  cmdLabel->setBuddy(command_);
  auto* send = new QPushButton(tr("S&end"), this);
  send->setObjectName(QStringLiteral("cmdSend"));
  send->setAccessibleName(tr("Send command"));

  auto* row = new QHBoxLayout;
  row->addWidget(cmdLabel);
  row->addWidget(command_, 1);
  row->addWidget(send);
  auto* logColumn = new QVBoxLayout;
  logColumn->addWidget(logLabel);
  logColumn->addWidget(log_, 1);
  auto* spokenColumn = new QVBoxLayout;
  spokenColumn->addWidget(spokenLabel);
  spokenColumn->addWidget(spoken_, 1);
  auto* columns = new QHBoxLayout;
  columns->addLayout(logColumn, 3);
  columns->addLayout(spokenColumn, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addWidget(braille_);
  layout->addLayout(row);

  command_->installEventFilter(this);
  connect(command_, &QLineEdit::returnPressed, this, &MonitorWindow::send);
  connect(send, &QPushButton::clicked, this, &MonitorWindow::send);
  setTabOrder(command_, send);
  setTabOrder(send, log_);
  setTabOrder(log_, spoken_);
  setTabOrder(spoken_, braille_->cells());
  resize(760, 360);
}

void MonitorWindow::appendLine(const QString& line) { log_->appendPlainText(line); }

void MonitorWindow::appendUtterance(const QString& text) {
  spoken_->addItem(text.left(300));
  while (spoken_->count() > kUtterancesShown) delete spoken_->takeItem(0);
  spoken_->scrollToBottom();
}

void MonitorWindow::send() {
  const QString text = command_->text().trimmed();
  if (text.isEmpty()) return;
  command_->clear();
  emit commandEntered(text);
}

namespace {
// The key's name in the key codes; "" for a key of no name there.
QString codeName(int key) {
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return QString(QChar(key));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
  static const QHash<int, QString> kNames{
      {Qt::Key_Up, QStringLiteral("Up")},
      {Qt::Key_Down, QStringLiteral("Down")},
      {Qt::Key_Left, QStringLiteral("Left")},
      {Qt::Key_Right, QStringLiteral("Right")},
      {Qt::Key_Home, QStringLiteral("Home")},
      {Qt::Key_End, QStringLiteral("End")},
      {Qt::Key_PageUp, QStringLiteral("PageUp")},
      {Qt::Key_PageDown, QStringLiteral("PageDown")},
      {Qt::Key_Insert, QStringLiteral("Insert")},
      {Qt::Key_Delete, QStringLiteral("Delete")},
      {Qt::Key_Backspace, QStringLiteral("Backspace")},
      {Qt::Key_Return, QStringLiteral("Enter")},
      {Qt::Key_Enter, QStringLiteral("Enter")},
      {Qt::Key_Escape, QStringLiteral("Escape")},
      {Qt::Key_Tab, QStringLiteral("Tab")},
      {Qt::Key_Backtab, QStringLiteral("Tab")},
      {Qt::Key_Space, QStringLiteral("Space")},
      {Qt::Key_Menu, QStringLiteral("Apps")},
      {Qt::Key_CapsLock, QStringLiteral("CapsLock")},
      {Qt::Key_Shift, QStringLiteral("Shift")},
      {Qt::Key_Alt, QStringLiteral("Alt")},
      {Qt::Key_Control, QStringLiteral("Ctrl")},
  };
  return kNames.value(key);
}
}  // namespace

bool MonitorWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == command_ && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
    const auto* k = static_cast<QKeyEvent*>(e);
    const QString name = codeName(k->key());
    if (e->type() == QEvent::KeyRelease) {
      if (!k->isAutoRepeat()) chords_.release(name);
      return QWidget::eventFilter(watched, e);
    }
    // The modifiers as the event has them: a Shift or Alt pressed before the window had the
    // focus counts too.
    if (name != u"CapsLock" && !name.isEmpty()) {
      for (const auto& [mod, modName] :
           {std::pair{Qt::ShiftModifier, QStringLiteral("Shift")}, std::pair{Qt::AltModifier, QStringLiteral("Alt")}})
        k->modifiers().testFlag(mod) ? chords_.press(modName) : chords_.release(modName);
    }
    const QStringList codes = k->isAutoRepeat() && name == u"CapsLock" ? QStringList() : chords_.press(name);
    for (const QString& code : codes) emit screenReaderKey(code);
    if (!codes.isEmpty() || name == u"CapsLock") return true;
    emit commandKey({k->key(), k->text(), int(k->modifiers()) & ~int(Qt::KeypadModifier)}, command_->text(),
                    command_->cursorPosition());
  }
  return QWidget::eventFilter(watched, e);
}

void MonitorWindow::closeEvent(QCloseEvent* e) {
  e->ignore();
  hide();
}

void MonitorWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  command_->setFocus();
  emit visibilityChanged(true);
}

void MonitorWindow::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  emit visibilityChanged(false);
}

}  // namespace corvane
