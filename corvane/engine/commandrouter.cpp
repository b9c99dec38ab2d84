#include "corvane/engine/commandrouter.h"

#include <QTimer>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/eventhub.h"

namespace corvane {

CommandRouter::CommandRouter(EventHub& hub, QObject* parent) : QObject(parent), hub_(hub) {}

QString normaliseCommand(const QString& command) {
  const QString c = command.trimmed();
  const qsizetype colon = c.indexOf(u':');
  return colon < 0 ? c.toUpper() : c.left(colon + 1).toUpper() + c.mid(colon + 1);
}

void CommandRouter::addCommand(const QString& name, Action action) {
  actions_.insert(name.toUpper(), std::move(action));
}

void CommandRouter::queue(const QString& command) {
  const QString c = normaliseCommand(command);
  if (c.isEmpty()) return;
  queue_.enqueue(c);
  if (!scheduled_) {
    scheduled_ = true;
    QTimer::singleShot(0, this, &CommandRouter::drainOne);
  }
}

void CommandRouter::drainOne() {
  scheduled_ = false;
  if (busy_ || queue_.isEmpty()) return;  // a running command reschedules when it ends
  if (hub_.busy()) {                      // an event is being delivered: the command waits for it
    scheduled_ = true;
    QTimer::singleShot(10, this, &CommandRouter::drainOne);
    return;
  }
  route(queue_.dequeue());
  if (!queue_.isEmpty() && !scheduled_) {
    scheduled_ = true;
    QTimer::singleShot(0, this, &CommandRouter::drainOne);
  }
}

QString CommandRouter::route(const QString& command) {
  const QString cmd = normaliseCommand(command);
  if (cmd.isEmpty()) return {};
  busy_ = true;
  QString line = QStringLiteral("CMD: ") + cmd + QStringLiteral(" -> ");
  const bool ok = jex::trap("CommandRouter.route", [&] {
    QString after = normaliseCommand(hub_.offerCommand(cmd));
    if (after.isEmpty()) {
      line += QStringLiteral("consumed by JexUI");
      return;
    }
    const auto fallbackHandles = [&](const QString& c) { return fallback_.handles && fallback_.handles(c); };
    if (after != cmd) {
      line += QStringLiteral("replaced by JexUI with ") + after + QStringLiteral(" -> ");
      if (!actions_.contains(after) && !fallbackHandles(after)) {
        const QString again = normaliseCommand(hub_.offerCommand(after));
        if (again.isEmpty()) {
          line += QStringLiteral("consumed by JexUI");
          return;
        }
        if (again != after) line += QStringLiteral("replaced by JexUI with ") + again + QStringLiteral(" -> ");
        after = again;
      }
    }
    const auto it = actions_.constFind(after);
    if (it == actions_.constEnd()) {
      const std::optional<QString> outcome = fallback_.run ? fallback_.run(after) : std::nullopt;
      line += outcome ? *outcome : QStringLiteral("unhandled: ") + after;
      return;
    }
    const QString outcome = it.value()();
    line += outcome.isEmpty() ? after + QStringLiteral(" done") : outcome;
  });
  if (!ok) line += QStringLiteral(" failed");
  busy_ = false;
  jex::WriteLog(line, jex::kTraffic);
  emit routed(line);
  if (!queue_.isEmpty() && !scheduled_) {
    scheduled_ = true;
    QTimer::singleShot(0, this, &CommandRouter::drainOne);
  }
  return line;
}

}  // namespace corvane
