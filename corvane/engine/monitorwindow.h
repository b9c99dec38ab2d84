// The core's window "Corvane": what is spoken and the events, and a command line that sends a
// command as if a screen-reader key had been pressed.
#pragma once

#include <QWidget>

#include "corvane/engine/keyecho.h"
#include "corvane/engine/keyinput.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace corvane {

class BraillePane;

class MonitorWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MonitorWindow(QWidget* parent = nullptr);
  void appendLine(const QString& line);
  // The last utterances, newest last.
  void appendUtterance(const QString& text);
  QListWidget* utterances() const { return spoken_; }
  static constexpr int kUtterancesShown = 20;
  QPlainTextEdit* log() const { return log_; }
  QLineEdit* commandLine() const { return command_; }
  // What the Braille display shows (braillepane.h).
  BraillePane* braillePane() const { return braille_; }

 signals:
  void commandEntered(const QString& text);
  // A key pressed in the command line, with the line's text and caret before the key acts.
  void commandKey(const corvane::TypedKey& key, const QString& before, int caret);
  void visibilityChanged(bool visible);
  // A key pressed in the command line while Caps Lock, the screen-reader key, is held: its
  // code ("CAP_Up|S"); the key does not reach the line.
  void screenReaderKey(const QString& code);

 protected:
  void closeEvent(QCloseEvent* e) override;  // closing only hides the window
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void send();
  QPlainTextEdit* log_;
  QListWidget* spoken_;
  QLineEdit* command_;
  BraillePane* braille_;
  KeyChords chords_;
};

}  // namespace corvane
