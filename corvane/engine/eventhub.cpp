#include "corvane/engine/eventhub.h"

#include "base/error.h"
#include "base/log.h"

namespace corvane {

void EventHub::deliver(std::function<void()> fn) {
  if (depth_ > 0) {
    deferred_.append(std::move(fn));
    return;
  }
  ++depth_;
  jex::trap("EventHub.deliver", fn);
  --depth_;
  drainDeferred();
}

void EventHub::drainDeferred() {
  while (depth_ == 0 && !deferred_.isEmpty()) {
    const std::function<void()> next = deferred_.takeFirst();
    ++depth_;
    jex::trap("EventHub.deliver", next);
    --depth_;
  }
}

void EventHub::setSink(const Obj& sink) {
  sink_ = sink;
  enabled_.clear();
  jex::WriteLog(QStringLiteral("sink registered"), jex::kTraffic);
  emit raised(QStringLiteral("SINK: registered"));
  emit sinkChanged(true);
}

void EventHub::clearSink() {
  sink_ = Obj();
  enabled_.clear();
  emit raised(QStringLiteral("SINK: cleared"));
  emit sinkChanged(false);
}

void EventHub::enableEvent(const QString& eventName, bool on) {
  if (on) enabled_.insert(eventName.toLower());
  else enabled_.remove(eventName.toLower());
}

bool EventHub::isEnabled(const QString& eventName) const { return enabled_.contains(eventName.toLower()); }

bool EventHub::installNotifier(const Obj& receiver, qint32 windowHandle) {
  if (receiver.isNothing()) return false;
  notifiers_.insert(windowHandle, receiver);
  emit raised(QStringLiteral("NOTIFIER: installed for window %1").arg(windowHandle));
  return true;
}

bool EventHub::removeNotifier(qint32 windowHandle) {
  const bool had = notifiers_.remove(windowHandle) > 0;
  if (had) emit raised(QStringLiteral("NOTIFIER: removed for window %1").arg(windowHandle));
  return had;
}

EventHub::Delivery EventHub::callOne(const Obj& target, const QString& member, QVariantList& args, const char* where) {
  try {
    target.call(member, args);
    return Delivery::Done;
  } catch (const jex::Error& e) {
    jex::logCurrentException(where);
    // A member the receiver does not have is its own choice.
    if (e.number() == jex::err::UnknownMember) return Delivery::Done;
    if (e.number() == jex::err::ServerUnavailable) return Delivery::Gone;
    emit raised(QStringLiteral("EVENT: ") + member + QStringLiteral(" not delivered (%1), dropped").arg(e.number()));
    return Delivery::Failed;
  } catch (...) {
    jex::logCurrentException(where);
    return Delivery::Failed;
  }
}

EventHub::Delivery EventHub::callSink(const QString& eventName, QVariantList& args) {
  if (sink_.isNothing() || !isEnabled(eventName)) return Delivery::Done;
  emit raised(QStringLiteral("EVENT: sink.") + eventName);
  const Obj sink = sink_;  // the call may clear or replace the sink meanwhile
  const Delivery d = callOne(sink, eventName, args, "EventHub.sink");
  if (d == Delivery::Gone && sink_ == sink) {
    sink_ = Obj();
    enabled_.clear();
    emit raised(QStringLiteral("SINK: dropped, its process has left the bus"));
  }
  return d;
}

void EventHub::callNotifiers(const QString& member) {
  const auto receivers = notifiers_;  // a call may install or remove receivers
  for (auto it = receivers.begin(); it != receivers.end(); ++it) {
    emit raised(QStringLiteral("EVENT: notifier.") + member);
    QVariantList none;
    if (callOne(it.value(), member, none, "EventHub.notifier") == Delivery::Gone) dropNotifier(it.key(), it.value());
  }
}

void EventHub::dropNotifier(qint32 windowHandle, const Obj& receiver) {
  if (notifiers_.value(windowHandle) == receiver && notifiers_.remove(windowHandle) > 0)
    emit raised(QStringLiteral("NOTIFIER: dropped for window %1, its process has left the bus").arg(windowHandle));
}

void EventHub::audioStart(const QVariant& utterance) {
  deliver([this, utterance] {
    callNotifiers(QStringLiteral("AudioStart"));
    QVariantList a{utterance};
    callSink(QStringLiteral("AudioStart"), a);
  });
}

void EventHub::audioStop(const QVariant& utterance) {
  deliver([this, utterance] {
    callNotifiers(QStringLiteral("AudioStop"));
    QVariantList a{utterance};
    callSink(QStringLiteral("AudioStop"), a);
  });
}

bool EventHub::aboutToSpeak(const QVariant& utterance) {
  const QString name = QStringLiteral("AboutToSpeak");
  if (!hasSink() || !isEnabled(name)) return true;
  if (depth_ > 0) return false;
  bool done = false;
  deliver([&] {
    QVariantList a{utterance};
    done = callSink(name, a) == Delivery::Done;
  });
  return done;
}

void EventHub::voiceSelect(const QVariant& voice) {
  deliver([this, voice] {
    QVariantList a{voice};
    callSink(QStringLiteral("VoiceSelect"), a);
  });
}

void EventHub::processSwitch(const QString& oldTask, const QString& newTask) {
  const QString o = oldTask.toUpper(), n = newTask.toUpper();
  deliver([this, o, n] {
    emit raised(QStringLiteral("SWITCH: ") + o + u'/' + n);
    QVariantList a{o, n};
    callSink(QStringLiteral("ProcessSwitch"), a);
    if (n == u"JEXUI") callNotifiers(QStringLiteral("UIGotFocus"));
    if (o == u"JEXUI") callNotifiers(QStringLiteral("UILostFocus"));
    callNotifiers(QStringLiteral("TaskSwitch"));
  });
}

QString EventHub::offerCommand(const QString& command) {
  // The answer is needed now, so a command is never deferred; events raised meanwhile wait.
  ++depth_;
  QString s = command;
  const auto receivers = notifiers_;
  // A receiver that does not answer in time has the command dropped: it is not offered to
  // the sink of the same slow JexUI as well, and the core goes on with it unhandled.
  bool dropped = false;
  for (auto it = receivers.begin(); it != receivers.end() && !s.isEmpty() && !dropped; ++it) {
    QVariantList a{s};
    switch (callOne(it.value(), QStringLiteral("HandleCmd"), a, "EventHub.notifier.HandleCmd")) {
      case Delivery::Gone:
        dropNotifier(it.key(), it.value());
        continue;
      case Delivery::Failed:
        dropped = true;
        continue;
      case Delivery::Done:
        break;
    }
    s = jex::trapped("EventHub.notifier.HandleCmd result", s, [&] { return jex::automation::toStr(a.value(0)); });
  }
  if (!dropped && !s.isEmpty() && hasSink() && isEnabled(QStringLiteral("HandleCmd"))) {
    QVariantList a{s};
    if (callSink(QStringLiteral("HandleCmd"), a) == Delivery::Done)
      s = jex::trapped("EventHub.HandleCmd result", s, [&] { return jex::automation::toStr(a.value(0)); });
  }
  --depth_;
  drainDeferred();
  return s;
}

}  // namespace corvane
