#include "dialogs/textwiz/frmtextwiz.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <chrono>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "global/cglobal.h"
#include "global/cnotifysink.h"
#include "platform/filestore.h"
#include "platform/foreground.h"
#include "platform/keystrokes.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {
namespace {
frmTextWiz::FileChooser& chooser() {
  static frmTextWiz::FileChooser c = [](QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QString(), QString(), QStringLiteral("All (*.*)"), nullptr,
                                        QFileDialog::DontUseNativeDialog);
  };
  return c;
}

void letEventsRun() {
  cGlobal& g = gGlobal();
  const bool before = g.InDoEvents;
  g.InDoEvents = true;
  QCoreApplication::processEvents();
  g.InDoEvents = before;
}

void keys(const QList<platform::Keystroke>& chords) {
  QString problem;
  if (!platform::sendKeystrokes(chords, problem))
    throw Error(err::InvalidCall, QStringLiteral("keystrokes: ") + problem);
}

bool yes(const QString& s) { return s == u"1" || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0; }
}  // namespace

void frmTextWiz::setFileChooser(FileChooser c) { chooser() = std::move(c); }

frmTextWiz::frmTextWiz(QWidget* parent)
    : TextWindow(QStringLiteral("frmTextWiz"), QStringLiteral("TextWizard"), parent) {
  QTextEdit* rtf = makeText("rtfClip", false);
  ui::setBuddy(lblTitle(), rtf);
  content()->addWidget(rtf, 1);
  auto* row = new QHBoxLayout;
  cmdSave_ = named<QPushButton>(this, "cmdSave", QStringLiteral("speichern"));
  auto* cmdOptions = named<QPushButton>(this, "cmdOptions", QStringLiteral("&Optionen"));
  auto* cmdCancel = named<QPushButton>(this, "cmdCancel", QString::fromUtf8("schließen"));
  row->addWidget(cmdSave_);
  row->addWidget(cmdOptions);
  row->addStretch(1);
  row->addWidget(cmdCancel);
  content()->addLayout(row);
  connect(cmdSave_, &QPushButton::clicked, this, [this] {
    trap("frmTextWiz.cmdSave_Click", [this] {
      const QString file = chooser()(this);
      if (!file.isEmpty()) saveTo(file);
    });
  });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { trap("frmTextWiz.cmdCancel_Click", [this] { reject(); }); });
  viewer_.InitClipboardChangeNotification(this);
  connect(&viewer_, &platform::cClipboardViewer::ClipboardChanged, this, &frmTextWiz::clipboardChanged);
}

frmTextWiz::~frmTextWiz() {
  WriteLog(QStringLiteral("frmTextWiz_Unload"), kDetail);
  viewer_.StopClipboardChangeNotification();
}

qint64 frmTextWiz::nowMs() {
  const qint64 ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  return ms > 0 ? ms : 1;
}

void frmTextWiz::EditClip() {
  trap("frmTextWiz.EditClip", [this] {
    WriteLog(QStringLiteral("EditClip"), kDetail);
    if (ChildHost* h = host()) h->storeLastForeApp();
    keys({{Qt::ControlModifier, 'a'}});
    noteCopyRequest();
    letEventsRun();
    keys({{Qt::ControlModifier, 'c'}, {Qt::ControlModifier, platform::kKeysymHome}});
    letEventsRun();
  });
}

void frmTextWiz::clipboardChanged() {
  trap("frmTextWiz.m_ClipViewer_ClipboardChanged", [this] {
    const qint64 diff = requestedAt_ > 0 ? nowMs() - requestedAt_ : -1;
    WriteLog(QStringLiteral("m_ClipViewer_ClipboardChanged, tDiff: ") + QString::number(diff), kDetail);
    const bool asked = requestedAt_ > 0 && diff <= gGlobal().ClipTimeOut;
    requestedAt_ = 0;  // a request waits for the next change only
    if (!asked) return;
    if (ChildHost* h = host()) h->queueCommand(QStringLiteral("EDITCLIPBOARD"));
  });
}

void frmTextWiz::GetClip() {
  trap("frmTextWiz.GetClip", [this] {
    readNow_ = false;
    autoClose_ = false;
    showTextNow(platform::cClipboardViewer::text());
  });
}

void frmTextWiz::ShowText(const QVariant& args) {
  const QStringList a = args.toStringList();
  ShowText(a.value(0), yes(a.value(1)), yes(a.value(2)));
}

void frmTextWiz::ShowText(const QString& text, bool autoRead, bool autoClose) {
  trap("frmTextWiz.ShowText", [&] {
    readNow_ = autoRead;
    autoClose_ = autoClose;
    showTextNow(text);
    if (autoRead) readFromCaret();
  });
}

void frmTextWiz::showTextNow(const QString& text) {
  if (!isVisible()) forms::open(objectName());  // through the child switch
  if (!isVisible()) return;                     // the open dialog stays
  if (autoClose_ && sink())
    connect(sink(), &cNotifySink::UILostFocusEvent, this, &frmTextWiz::lostFocus, Qt::UniqueConnection);
  QTextEdit* t = this->text();
  t->setPlainText(text);
  t->setTextCursor(QTextCursor(t->document()));
  platform::ForceForeground(window(), gGlobal().UseForceForeGround);
  t->setFocus(Qt::OtherFocusReason);
  noteShown();
}

void frmTextWiz::lostFocus() {
  if (autoClose_ && isVisible()) trap("frmTextWiz.AutoClose", [this] { reject(); });
}

void frmTextWiz::newWindowRead(QString& command) {
  const qint64 since = sinceShown();
  if (since <= kReadAfterMs || since >= kReadBeforeMs) return;
  if (autoRead() != 1 && !readNow_) return;
  command.clear();
  readFromCaret();
}

bool frmTextWiz::saveTo(const QString& file) {
  return trapped("frmTextWiz.SaveFile", false, [&] {
    QString problem;
    platform::FileReplacement out(file);
    if (out.open(problem) && out.commit(text()->toPlainText().toUtf8(), problem)) {
      WriteLog(QStringLiteral("frmTextWiz saved ") + QString::number(text()->toPlainText().size()) +
                   QStringLiteral(" characters"),
               kDetail);
      return true;
    }
    WriteErrorLog(QStringLiteral("frmTextWiz: cannot save ") + file + QStringLiteral(": ") + problem);
    MsgBoxEx(file + QStringLiteral("\n") + problem, msgbox::kOkOnly);
    return false;
  });
}

void frmTextWiz::reject() {
  WriteLog(QStringLiteral("frmTextWiz.cmdCancel"), kDetail);
  autoClose_ = false;
  if (sink()) disconnect(sink(), &cNotifySink::UILostFocusEvent, this, &frmTextWiz::lostFocus);
  hideChild();
}

JEX_FORM_REGISTRATION(
    frmTextWiz,
    {.create = [] { return std::make_unique<frmTextWiz>(); },
     .commands = {{.name = QStringLiteral("EDITCLIPBOARD"), .action = QStringLiteral("GetClip"), .show = false},
                  {.name = QStringLiteral("SELCUTEDIT"), .action = QStringLiteral("EditClip"), .show = false}}})

}  // namespace jex
