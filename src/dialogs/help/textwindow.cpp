#include "dialogs/help/textwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/buttonkeys.h"
#include "widgets/named.h"

namespace jex {
namespace {
const QString kCharEcho = QStringLiteral("KeyEcho.CharEcho");
bool plain(const QKeyEvent& k) { return (k.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier; }
}  // namespace

TextWindow::TextWindow(const QString& name, const QString& title, QWidget* parent) : ChildDialog(name, title, parent) {}

TextWindow::~TextWindow() = default;

QTextEdit* TextWindow::makeText(const char* name, bool readOnly) {
  text_ = named<QTextEdit>(this, name);
  text_->setTabChangesFocus(true);
  text_->setAcceptRichText(!readOnly);
  if (readOnly) {
    text_->setReadOnly(true);
    // A caret the keys move and the reader follows.
    text_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  }
  text_->installEventFilter(this);
  return text_;
}

QPushButton* TextWindow::makeReadingLayout(const char* closeName) {
  QTextEdit* rtf = makeText("rtfHelp", true);
  ui::setBuddy(lblTitle(), rtf);
  content()->addWidget(rtf, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(makeAutoSpeak());
  row->addStretch(1);
  auto* close = named<QPushButton>(this, closeName, QString::fromUtf8("s&chließen"));
  close->setDefault(true);
  row->addWidget(close);
  content()->addLayout(row);
  const QString location = objectName() + u'.' + QLatin1String(closeName) + QStringLiteral("_Click");
  connect(close, &QPushButton::clicked, this, [this, location] { trap(qPrintable(location), [this] { reject(); }); });
  return close;
}

QCheckBox* TextWindow::makeAutoSpeak() {
  chkAutoSpeak_ = named<QCheckBox>(this, "chkAutoSpeak", QStringLiteral("automatisch &vorlesen"));
  storedAtOnce(chkAutoSpeak_);
  chkAutoSpeak_->installEventFilter(this);
  connect(chkAutoSpeak_, &QCheckBox::toggled, this, [this](bool on) {
    if (loading()) return;
    trap(qPrintable(objectName() + QStringLiteral(".chkAutoSpeak_Click")), [on] {
      if (const auto& user = gGlobal().UserProfile) user->setAutoRead(on ? 1 : 0);
    });
  });
  return chkAutoSpeak_;
}

void TextWindow::showValues() {
  if (chkAutoSpeak_) chkAutoSpeak_->setChecked(autoRead() == 1);
}

int TextWindow::autoRead() {
  const auto& user = gGlobal().UserProfile;
  return user ? user->AutoRead() : 1;
}

void TextWindow::speechStop() {
  trap("TextWindow.SpeechStop", [] { Jex().call(QStringLiteral("proc.SpeechStop")); });
}

void TextWindow::toCore(const QString& command) {
  trap("TextWindow.iAdd2JexCmdQ", [&] {
    WriteLog(QStringLiteral("iAdd2JexCmdQ: ") + command, kTraffic);
    Jex().call(QStringLiteral("proc.AddToCMDQueue"), {command});
  });
}

void TextWindow::readFromCaret() {
  trap("TextWindow.ReadFromCaret", [] {
    speechStop();
    cGlobal& g = gGlobal();
    const bool before = g.InDoEvents;
    g.InDoEvents = true;
    QCoreApplication::processEvents();
    g.InDoEvents = before;
    toCore(QStringLiteral("READEDITCUR"));
  });
}

void TextWindow::sinkCommand(QString& command) {
  if (command.compare(QLatin1String("NEWFGWINREAD"), Qt::CaseInsensitive) == 0) {
    if (isVisible()) trap(qPrintable(objectName() + QStringLiteral(".NEWFGWINREAD")), [&] { newWindowRead(command); });
    return;
  }
  ChildDialog::sinkCommand(command);
}

bool TextWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == text_ || watched == chkAutoSpeak_)) {
    auto* k = static_cast<QKeyEvent*>(event);
    const bool enter = ui::isEnter(*k) && plain(*k);
    if (watched == chkAutoSpeak_ && enter) {
      trap(qPrintable(objectName() + QStringLiteral(".chkAutoSpeak_KeyDown")), [this] {
        text_->setFocus(Qt::OtherFocusReason);
        readFromCaret();
      });
      return true;
    }
    if (watched == text_ && text_->isReadOnly() && (enter || (k->key() == Qt::Key_Space && plain(*k)))) {
      if (!k->isAutoRepeat()) trap(qPrintable(objectName() + QStringLiteral(".rtf_KeyDown")), [] { readFromCaret(); });
      return true;
    }
    // Characters typed into a read-only text are dropped here, before the dialog's keys.
    if (watched == text_ && text_->isReadOnly() && !k->text().isEmpty() && k->text().at(0).isPrint() &&
        !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
      return true;
  }
  return ChildDialog::eventFilter(watched, event);
}

void TextWindow::echoOff() {
  if (savedEcho_) return;  // saved once per showing
  trap(qPrintable(objectName() + QStringLiteral(".CharEchoOff")), [this] {
    Obj& core = Jex();
    if (core.isNothing()) return;
    savedEcho_ = core.i32(kCharEcho);
    core.set(kCharEcho, 0);
  });
}

void TextWindow::echoBack() {
  if (!savedEcho_) return;
  const int echo = *savedEcho_;
  savedEcho_.reset();
  trap(qPrintable(objectName() + QStringLiteral(".CharEchoBack")), [echo] { Jex().set(kCharEcho, echo); });
}

void TextWindow::showEvent(QShowEvent* event) {
  ChildDialog::showEvent(event);
  echoOff();
}

void TextWindow::changeEvent(QEvent* event) {
  ChildDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isVisible() && isActiveWindow()) echoOff();
}

void TextWindow::hideEvent(QHideEvent* event) {
  ChildDialog::hideEvent(event);
  // Hidden with the main window (the user went to another program) the echo comes back too.
  echoBack();
  // Closed (not hidden with the window around it, which may be going): once the main window has
  // settled (it hides when the user came from another program), the core stops reading the text
  // and reads the field of that program. Where the focus stays in JexUI the screen reader says
  // the control that has it, which stopping the speech would cut off.
  if (isHidden() && !gGlobal().Quitting) {
    QTimer::singleShot(0, this, [this] {
      trap(qPrintable(objectName() + QStringLiteral(".Unload")), [this] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (w != this && w->isVisible() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip) return;
        speechStop();
        toCore(QStringLiteral("READEDITCUR"));
      });
    });
  }
}

}  // namespace jex
