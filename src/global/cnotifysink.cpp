#include "global/cnotifysink.h"

#include "base/log.h"
#include "global/cglobal.h"

namespace jex {
namespace {
const QString kJexUi = QStringLiteral("JEXUI");
}  // namespace

std::shared_ptr<cNotifySink> cNotifySink::create() { return std::shared_ptr<cNotifySink>(new cNotifySink()); }

cNotifySink::cNotifySink() : automation::Dispatchable(QStringLiteral("cNotifySink")) {
  WriteLog(QStringLiteral("cNotifySink_Initialize"), kDetail);
  using automation::Args;
  method(QStringLiteral("AudioStart"), 1, 1, [this](Args& a) {
    AudioStart(a.at(0));
    return QVariant();
  });
  method(QStringLiteral("AudioStop"), 1, 1, [this](Args& a) {
    AudioStop(a.at(0));
    return QVariant();
  });
  method(QStringLiteral("ProcessSwitch"), 2, 2, [this](Args& a) {
    ProcessSwitch(a.str(0), a.str(1));
    return QVariant();
  });
  method(QStringLiteral("VoiceSelect"), 1, 1, [this](Args& a) {
    VoiceSelect(a.at(0));
    return QVariant();
  });
  method(QStringLiteral("HandleCmd"), 1, 1, [this](Args& a) {
    QString s = a.str(0);
    HandleCmd(s);
    a.set(0, s);
    return QVariant();
  });
  method(QStringLiteral("AboutToSpeak"), 1, 1, [this](Args& a) {
    AboutToSpeak(a.at(0));
    return QVariant();
  });
}

cNotifySink::~cNotifySink() { WriteLog(QStringLiteral("cNotifySink_Terminate"), kDetail); }

void cNotifySink::AudioStart(const QVariant&) { emit AudioStartEvent(); }
void cNotifySink::AudioStop(const QVariant&) { emit AudioStopEvent(); }
void cNotifySink::VoiceSelect(const QVariant& o) { emit VoiceSelectEvent(o); }
void cNotifySink::HandleCmd(QString& s) { emit HandleCmdEvent(s); }
void cNotifySink::AboutToSpeak(const QVariant& o) { emit AboutToSpeakEvent(o); }

void cNotifySink::ProcessSwitch(const QString& oldTask, const QString& newTask) {
  WriteLog(QStringLiteral("SWITCH: ") + oldTask + u'/' + newTask, kDetail);
  cGlobal& g = gGlobal();
  g.PrevOldTask = g.OldTask;
  g.OldTask = oldTask.toUpper();
  g.NewTask = newTask.toUpper();
  if (g.NewTask == kJexUi) emit UIGotFocusEvent();
  if (g.OldTask == kJexUi) emit UILostFocusEvent();
  emit TaskSwitchEvent();
}

}  // namespace jex
