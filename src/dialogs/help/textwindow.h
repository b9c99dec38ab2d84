// TextWindow: what the help, read-me and text windows share. Each shows a text with a keyboard
// caret that the core's reader follows, and reads it aloud on request:
//
//   Reading   readFromCaret(): the core stops speaking, pending events run (no queued command
//             meanwhile), then the core is asked to read the focused field from its caret
//             ("READEDITCUR"). Enter and Space in a read-only text read; every other character
//             is discarded there. Enter on chkAutoSpeak moves to the text and
//             reads.
//   Echo      while the window shows, the core's character echo (KeyEcho.CharEcho) is off: the
//             value it had is saved once, at the first activation, and put back when the window
//             hides, whichever way it goes (a second activation does not save its own 0).
//   Closing   when the focus goes back to the program the user came from, the core stops
//             speaking and reads that program's field (the program's SpeechStopReadCursor); when
//             it stays in JexUI (the help over a dialog) the screen reader says the control that
//             has it, and nothing stops it.
//   NEWFGWINREAD  the core's announcement that it is about to read the window in front reaches
//             newWindowRead() while the window shows: the window may read itself and empty the
//             command, or replace it.
//   AutoRead  chkAutoSpeak (where a window has it) shows the current user's AutoRead and writes it
//             at once.
#pragma once

class QPushButton;

#include <QElapsedTimer>

#include "dialogs/childdialog.h"

class QCheckBox;
class QTextEdit;

namespace jex {

class TextWindow : public ChildDialog {
  Q_OBJECT
 public:
  TextWindow(const QString& name, const QString& title, QWidget* parent = nullptr);
  ~TextWindow() override;

  QTextEdit* text() const { return text_; }
  QCheckBox* chkAutoSpeak() const { return chkAutoSpeak_; }
  // The character echo saved at activation; none while the window is not showing.
  std::optional<int> savedCharEcho() const { return savedEcho_; }
  // Milliseconds since the text was shown; -1 before.
  qint64 sinceShown() const { return shown_.isValid() ? shown_.elapsed() : -1; }

  // Stops the core's speech, lets pending events run and asks the core to read from the caret.
  static void readFromCaret();
  // The core's speech stopped; errors logged.
  static void speechStop();
  // A command for the core's queue (logged "iAdd2JexCmdQ: " + command).
  static void toCore(const QString& command);
  // The current user's AutoRead (1 when there is no user).
  static int autoRead();

 protected:
  // name: "rtfHelp", "rtfInfo", "rtfClip"; readOnly: keys do not change the text.
  QTextEdit* makeText(const char* name, bool readOnly);
  QCheckBox* makeAutoSpeak();
  // The reading layout of the help and read-me windows: the read-only text "rtfHelp" under the
  // title (its buddy), then the auto-read box and the close button closeName ("s&chließen", the
  // default button) that rejects the window.
  QPushButton* makeReadingLayout(const char* closeName);
  // Notes the time the text was shown.
  void noteShown() { shown_.start(); }
  // NEWFGWINREAD while the window shows; the default leaves it to the core.
  virtual void newWindowRead(QString& command) { (void)command; }

  void sinkCommand(QString& command) override;
  void showValues() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void echoOff();
  void echoBack();

  QTextEdit* text_ = nullptr;
  QCheckBox* chkAutoSpeak_ = nullptr;
  std::optional<int> savedEcho_;
  QElapsedTimer shown_;
};

}  // namespace jex
