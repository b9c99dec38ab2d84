// Commands typed on standard input (one per line) or in the monitor window.
// Lines starting with ":" are console commands; anything else is a key command.
#pragma once

#include <QObject>
#include <QStringList>

class QSocketNotifier;

namespace corvane {

struct ConsoleLine {
  enum Kind { Empty, Key, Switch, Say, Quit, Help, Objects, Funcs, Braille, Type, Memory, KeyCode, BrlCode, Invalid };
  Kind kind = Empty;
  QStringList args;  // Key: the upper-cased command; Switch: old, new; Say, Type, Braille: text; Funcs: the call;
                     // KeyCode, BrlCode: the code; Invalid: the message
};

ConsoleLine parseConsoleLine(const QString& line);
QString consoleHelp();

// Reads standard input without blocking the event loop; end of input only stops reading.
class StdinReader : public QObject {
  Q_OBJECT
 public:
  explicit StdinReader(QObject* parent = nullptr);
  bool atEnd() const { return atEnd_; }

 signals:
  void lineRead(const QString& line);

 private:
  void readAvailable();
  QSocketNotifier* notifier_ = nullptr;
  QByteArray buffer_;
  bool atEnd_ = false;
  bool emitting_ = false;  // lines are being handed on further up the stack
};

}  // namespace corvane
