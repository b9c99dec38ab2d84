// The core's command queue: key commands and commands from AddToCMDQueue are offered to JexUI
// first (HandleCmd on the notifier receivers, then on the sink). An emptied string means JexUI
// consumed the command; a replaced one is what the core acts on instead. What is left is run
// when it is one of the core's own commands, else given to the fallback (the script calls),
// else reported as unhandled. A command JexUI gives back in place of another (NEWFGWIN! becomes
// the quick menu's choice) that is neither the core's own nor the fallback's is offered to JexUI
// once more as itself, so that JexUI's own commands run there.
//
// Commands are run one per event-loop turn, in arrival order, never inside one another.
#pragma once

#include <QHash>
#include <QObject>
#include <QQueue>
#include <functional>
#include <optional>

namespace corvane {

class EventHub;

// A command as the core passes it on: the command word in upper case. Text after the first
// colon ("UI_OPEN:" + file) is an argument and keeps its case, since it may be a file name.
QString normaliseCommand(const QString& command);

class CommandRouter : public QObject {
  Q_OBJECT
 public:
  using Action = std::function<QString()>;  // returns the outcome text ("" means "done")
  explicit CommandRouter(EventHub& hub, QObject* parent = nullptr);

  void addCommand(const QString& name, Action action);
  // Runs a command that is not one of the core's own: its outcome, or nullopt when the command is
  // not the fallback's either (unhandled). handles() tells without running it.
  struct Fallback {
    std::function<bool(const QString&)> handles;
    std::function<std::optional<QString>(const QString&)> run;
  };
  void setFallback(Fallback fallback) { fallback_ = std::move(fallback); }
  bool isOwnCommand(const QString& name) const { return actions_.contains(name.toUpper()); }

  // Queues a command (upper-cased, trimmed); it is routed on a later event-loop turn.
  void queue(const QString& command);
  int pending() const { return int(queue_.size()); }
  // Routes one command now and returns the report line "CMD: X -> outcome".
  QString route(const QString& command);

 signals:
  void routed(const QString& line);

 private:
  void drainOne();

  EventHub& hub_;
  QHash<QString, Action> actions_;
  Fallback fallback_;
  QQueue<QString> queue_;
  bool busy_ = false;
  bool scheduled_ = false;
};

}  // namespace corvane
