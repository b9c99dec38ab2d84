// frmMDI: the command path (the filter's queue, HandleCmd and the operations table) and the two
// notification channels (the sink handed to the core and the hook library's notifier).
#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QScopedValueRollback>
#include <QTimer>

#include "app/cmdqueue.h"
#include "app/commandfilter.h"
#include "app/frmmdi.h"
#include "app/helpfiles.h"
#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "global/cglobal.h"
#include "global/cnotifysink.h"
#include "global/jexnotifier.h"
#include "global/sounds.h"
#include "localisation/frmlocalizer.h"
#include "users/cuser.h"

namespace jex {
namespace {

std::function<void()>& quitter() {
  // Every event loop returns, inner ones (a modal box, a call waiting) first; the main window
  // is released after the outermost one (ReleaseMainWindow). The posted repeat ends a loop
  // that had not started yet.
  static std::function<void()> quit = [] {
    QCoreApplication::exit(0);
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  };
  return quit;
}

void setSinkEvents(const QStringList& names, bool on) {
  for (const QString& name : names)
    trap("frmMDI.JEX_UI_Notification_Sink_Event_Enable",
         [&] { Jex().set(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), {name}, on); });
}

// The text after the first colon of command; empty when there is none.
bool afterColon(const QString& command, QString& rest) {
  const qsizetype colon = command.indexOf(u':');
  if (colon < 0) return false;
  rest = command.mid(colon + 1);
  return true;
}
}  // namespace

// The main window's operations and the command table's handlers.
struct frmMDI::Operations {
  using Group = commands::Group;
  using W = frmMDI&;
  using N = const QString&;

  static const QList<commands::Command>& rows() {
    static const QList<commands::Command> table{
        {QStringLiteral("TOGGMEN"), Group::Consumed, [](W w, N) { w.TOGGMEN(); }},
        {QStringLiteral("EXITHALDA"), Group::Consumed, [](W w, N) { exitHalda(w); }},
        {QStringLiteral("QUIT"), Group::Consumed, [](W w, N) { quit(w); }},
        {QStringLiteral("DLGRESWIZ"), Group::Consumed, [](W w, N) { resourceWizard(w); }},
        // The form whose registration names the command runs it (widgets/formservice.h).
        {QStringLiteral("DLGSPEECH"), Group::Consumed, nullptr},
        {QStringLiteral("DLGBRAILLEOPT"), Group::Consumed, nullptr},
        {QStringLiteral("EDITCLIPBOARD"), Group::Consumed, nullptr},
        {QStringLiteral("DLGKEYECHO"), Group::Consumed, nullptr},
        {QStringLiteral("DLGNUMKEY"), Group::Consumed, nullptr},
        {QStringLiteral("DLGBRAILLEKEY"), Group::Consumed, nullptr},
        {QStringLiteral("VCOMPRESSIONDLG"), Group::Consumed, nullptr},
        {QStringLiteral("HCOMPRESSIONDLG"), Group::Consumed, nullptr},
        {QStringLiteral("QUICKMEN"), Group::Consumed, nullptr},
        {QStringLiteral("DLGTYPELIB"), Group::Consumed, nullptr},
        {QStringLiteral("SHOWTYPEDOC"), Group::Consumed, nullptr},
        {QStringLiteral("SHOWTASKLIST"), Group::Consumed, nullptr},
        {QStringLiteral("SELCUTEDIT"), Group::Consumed, nullptr},
        // Taken over like SELCUTEDIT, but the main window has no operation of that name.
        {QStringLiteral("CUTEDIT"), Group::Consumed,
         [](W, N name) { throw Error(err::UnknownMember, QStringLiteral("frmMDI has no operation ") + name); }},
        {QStringLiteral("SPEEDUP"), Group::Voices, &voices},
        {QStringLiteral("SPEEDDN"), Group::Voices, &voices},
        {QStringLiteral("SPEEDMAX"), Group::Voices, &voices},
        {QStringLiteral("SPEEDMIN"), Group::Voices, &voices},
        {QStringLiteral("SPEEDUPNOW"), Group::Voices, &voices},
        {QStringLiteral("SPEEDDNNOW"), Group::Voices, &voices},
        {QStringLiteral("VOLUMEUP"), Group::Voices, &voices},
        {QStringLiteral("VOLUMEDN"), Group::Voices, &voices},
        {QStringLiteral("VOLUMEMAX"), Group::Voices, &voices},
        {QStringLiteral("VOLUMEMIN"), Group::Voices, &voices},
        {QStringLiteral("SETSPTOGGLE"), Group::QueuedToo, [](W w, N) { speechState(w, kStateAfterSwitch); }},
        {QStringLiteral("SETSPON"), Group::QueuedToo, [](W w, N) { speechState(w, kStateAfterOn); }},
        {QStringLiteral("SETSPOFF"), Group::QueuedToo, [](W w, N) { speechState(w, kStateAfterSwitch); }},
        {QStringLiteral("USESPSET1"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET2"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET3"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET4"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET5"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET6"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET7"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET8"), Group::QueuedToo, &speechSet},
        {QStringLiteral("USESPSET9"), Group::QueuedToo, &speechSet},
        {QStringLiteral("HELP"), Group::WhileInFront, &passHelp},
        {QStringLiteral("UI_SHOWREADME"), Group::Own, nullptr},
        {QStringLiteral("SHOWSPEECHSTATE"), Group::Own, nullptr},
    };
    return table;
  }

  // The voices dialog's operation of the same name; it need not be visible.
  static void voices(frmMDI& w, const QString& name) { w.formAction(QStringLiteral("frmVoices"), name); }
  // The voices dialog reads the core's state again.
  static void speechSet(frmMDI& w, const QString&) {
    w.formAction(QStringLiteral("frmVoices"), QStringLiteral("GetValues"));
  }

  // A second EXITHALDA while the question is open (its command runs inside the box's loop)
  // does not ask again.
  static void exitHalda(frmMDI& w) {
    if (w.exitQuestionOpen_) {
      WriteLog(QStringLiteral("EXITHALDA: the question is open already"), kDetail);
      return;
    }
    w.exitQuestionOpen_ = true;
    const qint16 answer = MsgBoxEx(w.lblAsk2Quit_->text(), msgbox::kYesNo);
    w.exitQuestionOpen_ = false;
    if (answer != msgbox::Yes || gGlobal().Quitting) return;
    if (!w.QueryHideChild(nullptr)) return;
    iAdd2JexCmdQ(QStringLiteral("EXITHALDANOW"));
  }

  static void quit(frmMDI& w) {
    gGlobal().Quitting = true;
    PlaySound(QString());
    WriteLog(QStringLiteral("QUIT"), kDetail);
    static const QStringList modal{QStringLiteral("frmHelp"), QStringLiteral("frmAbout"), QStringLiteral("frmMsgEx")};
    if (QWidget* active = QApplication::activeModalWidget(); active && modal.contains(active->objectName())) {
      WriteLog(QStringLiteral("Quit with Modal Form open !"), kDetail);
      active->close();
    }
    for (ChildDialog* d : ChildDialog::loaded()) d->ChildUnload();
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top != &w && top->isVisible()) top->close();
    w.Unload();
    quitter()();
  }

  // The main window has no help of its own for the key: the dialog the user is in answers it.
  static void passHelp(frmMDI&, const QString& name) {
    const QScopedValueRollback<bool> passing(ChildDialog::helpPassedOn(), true);
    iNotify(name);
  }

  static void resourceWizard(frmMDI&) {
    const auto& ini = gGlobal().Ini;
    const qint32 enabled = ini ? ini->GetLong(QStringLiteral("SERVICE"), QStringLiteral("LocalizerEnabled"), 0) : 0;
    if (enabled < 1 || !gGlobal().UiActive()) return;
    WriteLog(QStringLiteral("DLGRESWIZ - gLocEnabled"), kDetail);
    if (QWidget* form = QApplication::activeWindow()) frmLocalizer().EditControls(form);
  }

  // How often the speech state is shown after a speech switch: once after "on", twice after
  // "off" and "toggle" (the core says the state once it has changed).
  static constexpr int kStateAfterOn = 1;
  static constexpr int kStateAfterSwitch = 2;
  static void speechState(frmMDI& w, int times) {
    for (int i = 0; i < times; ++i) w.commandQueue().add(QStringLiteral("SHOWSPEECHSTATE"));
  }
};

// ---------------------------------------------------------------- commands

const QList<commands::Command>& commands::table() { return frmMDI::Operations::rows(); }

CommandQueue& frmMDI::commandQueue() {
  if (!commandQueue_) commandQueue_ = new CommandQueue([this](const QString& c) { HandleCmd(c); }, this);
  return *commandQueue_;
}

void frmMDI::HandleCmd(const QString& command) {
  trap("frmMDI.HandleCMD", [&] {
    WriteLog(QStringLiteral("MDI.HandleCMD: ") + command, kDetail);
    const commands::Command* row = commands::find(command);
    if (!row) {
      // The voices dialog's commands are compared without regard to case.
      for (const commands::Command& c : commands::table())
        if (c.group == commands::Group::Voices && c.name.compare(command, Qt::CaseInsensitive) == 0) row = &c;
    }
    if (row && row->run) {
      row->run(*this, row->name);
      return;
    }
    if (const forms::Target* target = forms::command(command)) {
      openTarget(*target);
      return;
    }
    if (row) return;
    QString file;
    if (command.contains(QLatin1String("UI_HELP:")) && afterColon(command, file)) {
      OpenHelpFile(file, "frmMDI.HandleCMD UI_HELP");
    } else if (command.contains(QLatin1String("UI_OPEN:")) && afterColon(command, file)) {
      WriteLog(QStringLiteral("UI_Open: ") + file, kDetail);
      OpenDocument(file, "frmMDI.HandleCMD UI_OPEN");
    } else if (command.contains(QLatin1String("USESPSET"))) {
      formAction(QStringLiteral("frmVoices"), QStringLiteral("GetValues"));
    }
  });
}

void frmMDI::setQuitter(std::function<void()> quit) { quitter() = std::move(quit); }
void frmMDI::quitApplication() { quitter()(); }

// ---------------------------------------------------------------- notification channels

void frmMDI::registerSink() {
  WriteLog(QStringLiteral("Init_Notification_Sink, READY for CMDs !"), kDetail);
  sink_ = cNotifySink::create();
  // Dialogs loaded before the sink existed (the home child) listen from now on.
  for (ChildDialog* d : ChildDialog::loaded())
    if (d->parentWidget() == client_) d->listen(sink_);
  Jex().call(QStringLiteral("Init_JEX_UI_Notification_Sink"), {automation::fromObj(Obj(sink_))});
  setSinkEvents({QStringLiteral("HandleCmd"), QStringLiteral("AudioStart"), QStringLiteral("AudioStop"),
                 QStringLiteral("ProcessSwitch")},
                true);
}

// The core lost sink and notifier (see CoreWatch): the same sink is handed to the core again
// with its events, and a new notifier receiver is installed for the core as Jex() reaches it.
void frmMDI::registerAgain() {
  trap("frmMDI.RegisterAgain", [this] {
    if (unloading_ || gGlobal().Quitting) return;
    if (!sink_) {
      registerSink();
    } else {
      Jex().call(QStringLiteral("Init_JEX_UI_Notification_Sink"), {automation::fromObj(Obj(sink_))});
      setSinkEvents({QStringLiteral("HandleCmd"), QStringLiteral("AudioStart"), QStringLiteral("AudioStop"),
                     QStringLiteral("ProcessSwitch")},
                    true);
      if (tmrReader_->isActive())  // JexUI has the focus
        setSinkEvents({QStringLiteral("AboutToSpeak"), QStringLiteral("VoiceSelect")}, true);
    }
    if (notifier_) {
      disconnect(notifier_, nullptr, this, nullptr);
      notifier_->deleteLater();
      notifier_ = nullptr;
    }
    installHook();
  });
}

void frmMDI::installHook() {
  notifier_ = new JexNotifier(Jex(), this);
  connect(notifier_, &JexNotifier::HandleCmdEvent, this, &frmMDI::notifierCmd, Qt::DirectConnection);
  connect(notifier_, &JexNotifier::UIGotFocusEvent, this, &frmMDI::gotFocus);
  connect(notifier_, &JexNotifier::UILostFocusEvent, this, &frmMDI::lostFocus);
  connect(notifier_, &JexNotifier::AudioStartEvent, this, &frmMDI::audioStart);
  connect(notifier_, &JexNotifier::AudioStopEvent, this, &frmMDI::audioStop);
  connect(notifier_, &JexNotifier::TaskSwitchEvent, this, &frmMDI::taskSwitch);
  const bool result = notifier_->InstallHook(qint64(winId()), true);
  WriteLog(QStringLiteral("Hook installed: ") + (result ? QStringLiteral("True") : QStringLiteral("False")), kDetail);
}

void frmMDI::removeHook() {
  if (notifier_) {
    const bool result = notifier_->InstallHook(qint64(winId()), false);
    WriteLog(QStringLiteral("Unhook: ") + (result ? QStringLiteral("True") : QStringLiteral("False")), kDetail);
    delete notifier_;
    notifier_ = nullptr;
  }
  sink_.reset();
}

void frmMDI::notifierCmd(QString& s) { FilterCommand(s, commandQueue(), this); }

void frmMDI::gotFocus() {
  trap("frmMDI.JexNotifier_UIGotFocus", [this] {
    WriteLog(QStringLiteral("UI_GotFocus"), kTraffic);
    clearTip();
    tmrReader_->start();
    setSinkEvents({QStringLiteral("AudioStart"), QStringLiteral("AudioStop"), QStringLiteral("AboutToSpeak"),
                   QStringLiteral("VoiceSelect")},
                  true);
  });
}

void frmMDI::lostFocus() {
  trap("frmMDI.JexNotifier_UILostFocus", [this] {
    WriteLog(QStringLiteral("UI_LostFocus"), kDetail);
    tmrReader_->stop();
    tmrTip_->stop();
    gGlobal().Speaking = false;
    setSinkEvents({QStringLiteral("AboutToSpeak"), QStringLiteral("VoiceSelect"), QStringLiteral("AudioStart"),
                   QStringLiteral("AudioStop")},
                  false);
  });
}

// Tips never interrupt speech: tmrTip is held off from AudioStart to AudioStop.
void frmMDI::audioStart() {
  gGlobal().Speaking = true;
  tmrTip_->stop();
}

void frmMDI::audioStop() {
  trap("frmMDI.JexNotifier_AudioStop", [this] {
    gGlobal().Speaking = false;
    if (!tipPending_) {
      tmrTip_->stop();
      return;
    }
    const cUser* user = gGlobal().UserProfile.get();
    if (user && user->SpeakTips() == 0) return;
    if (now() - tipRequested_ >= kTipAfterSpeechMs) tmrTip_->start();  // else the next stop
  });
}

void frmMDI::taskSwitch() {
  trap("frmMDI.JexNotifier_TaskSwitch", [] {
    QVariantList args{0, QStringLiteral("OnInitAppSettings"), QVariant(), gGlobal().NewTask};
    Jex().call(QStringLiteral("proc.CallBack"), args);
  });
}

}  // namespace jex
