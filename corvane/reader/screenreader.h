// The core's screen reader: it hears JexUI's windows over the accessibility bus and speaks them
// with the focus voice (speech source 1), as a blind user's screen reader does.
//
// The listener (atspilistener.h) runs on a thread of its own; what it reports comes here, to
// the core's thread, through a one-place mailbox, and is spoken through the core's usual speech
// path. Only JexUI's process is heard: the owner of its bus name, followed as it comes and goes.
#pragma once

#include <QObject>
#include <memory>

#include "corvane/reader/readerevent.h"

namespace corvane {
class CoreModel;
}

namespace corvane::reader {

class AtspiListener;

// What the reader says for one event with the settings it has now; empty: nothing.
struct ReaderSettings {
  bool german = true;
  bool tooltips = true;  // proc.TooltipsStatus: descriptions are spoken
  int charEcho = 1;      // KeyEcho.CharEcho
  // [MIXED] READState, what a window coming to the front says: 0 nothing (its focus alone),
  // 1 its title, 2 its title before its focus, 4 the whole window. A box's text (its message)
  // goes with its title whenever the title is heard. 1, 2 and 4 sound alike here: the window and
  // its first focus make one utterance, and the reader knows no more of a window than its
  // title, a box's text and the focus, so "the whole window" is these. The stored value is read
  // (as the users dialog saves it); one set but not saved applies once saved.
  int readState = 1;
  bool navBeep = false;  // [MIXED] NavBeep: a tone on each move of the focus
};

class Speaking {
 public:
  // lastValue: what was last said as the focused object's value; kept up to date here, so
  // that a change event that repeats it (one change often comes as two events) stays silent.
  // logged: set where the output and the logs must give another text (a field's text that may
  // have been typed, by its length), else empty.
  static QString textFor(const ReaderEvent& e, const ReaderSettings& s, QString& lastValue, bool* unnamed = nullptr,
                         QString* logged = nullptr);
  // Whether what is said for e is the text of a field the user types into (the line or the
  // character at a caret that moved, an editable drop-down list's new value): it is spoken as
  // it is, but the core's output and its logs give only its length (CoreModel::speakTyped).
  // Whether the user or the program put the text there cannot be told, so every such text
  // counts as typed.
  static bool isTyped(const ReaderEvent& e);
};

class ScreenReader : public QObject {
  Q_OBJECT
 public:
  explicit ScreenReader(CoreModel& model, QObject* parent = nullptr);
  ~ScreenReader() override;

  // Asks the session bus for the accessibility bus and starts listening once the answer is
  // there; the question does not wait, so the core answers its callers meanwhile (asking may
  // start the accessibility bus first). Without an accessibility bus, or when the listener
  // cannot start, one log line and one monitor line; the core runs on as before.
  void start();
  void stop();
  bool listening() const { return listening_; }
  // Speaks one event as the reader hears it: text typed or deleted goes to the key echo (its
  // characters, words and Backspace rules, interrupting or appending), everything else is said
  // in the focus voice.
  void hear(const ReaderEvent& e);
  // "READEDITCUR": the focused field of the program in front is read from its caret in the
  // focus voice (speech source 1); false when the reader does not listen. Its text may be
  // what the user typed: the output and the logs give its length only.
  bool readEditCur();
  void sayFocusedText(const FocusedText& t);

 private:
  void followJexUi();
  void drain();
  // Reads the accessibility bus's ScreenReaderEnabled, then sets it when it was off.
  void enableScreenReader();
  void setScreenReaderEnabled(bool on);
  ReaderSettings settings() const;

  CoreModel& model_;
  std::unique_ptr<AtspiListener> listener_;
  LatestEvent mailbox_;
  QString lastValue_;
  qint64 pid_ = 0;
  bool listening_ = false;
  bool starting_ = false;
  bool enabledByUs_ = false;  // ScreenReaderEnabled was off at the start and set here
  void listen(const QString& address, const QString& why);
  void started(const QString& failure);  // the listener listens, or cannot (why)
};

}  // namespace corvane::reader
