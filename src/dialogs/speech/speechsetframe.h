// The speech-set frame of the voices dialog: fraSpeechset ("Speechset:") with the editable list
// cboSpeechSet, speichern (cmdSaveSet) or laden (cmdLoadSet), Abbrechen (cmdSetCancel) and the
// zero-size nl_Tabstop that sends Tab back to the list. Its controls are the dialog's own (so the
// localiser and the dialog's tab order find them); the frame lives in the dialog's
// speechSetPlace().
//
// Save mode lists the nine sets as "n: name" or "n: <leer>"; the "n: " prefix cannot be edited
// (Home, Shift+Home, Left and Backspace stop at it). Load mode lists the filled sets only, takes
// only Enter, Esc, Up, Down, F1 and F4, and a digit selects the set of that number. The number is
// always the entry's first character. While the frame is open its button is the default and
// Abbrechen the cancel button; a 50 ms timer closes the frame once the focus has left it.
// After a save or a load the user's active speech set is that number ([SpeechSet] Active).
#pragma once

#include <QObject>

#include "automation/automation.h"

class QComboBox;
class QGroupBox;
class QPushButton;
class QTimer;

namespace jex {

class frmVoices;

class SpeechsetFrame : public QObject {
  Q_OBJECT
 public:
  explicit SpeechsetFrame(frmVoices& form);

  void SpeechsetSave() { open(false); }
  void SpeechsetLoad() { open(true); }
  bool isOpen() const;

  QGroupBox* fraSpeechset() const { return fraSpeechset_; }
  QComboBox* cboSpeechSet() const { return cboSpeechSet_; }
  QPushButton* cmdSaveSet() const { return cmdSaveSet_; }
  QPushButton* cmdLoadSet() const { return cmdLoadSet_; }
  QPushButton* cmdSetCancel() const { return cmdSetCancel_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void open(bool load);
  void close();
  void tick();
  void saveSet();
  void loadSet();
  void activeSetIs(int nr);
  bool inFrame(QWidget* w) const;
  // Save mode's protected prefix; true when the key is swallowed.
  bool saveKeyDown(int key, Qt::KeyboardModifiers mods);
  bool loadKeyDown(int key, const QString& text);
  void keyUp(int key);
  void selectName();
  Obj profiles(const char* where);

  frmVoices& form_;
  QGroupBox* fraSpeechset_;
  QComboBox* cboSpeechSet_;
  QPushButton* cmdSaveSet_;
  QPushButton* cmdLoadSet_;
  QPushButton* cmdSetCancel_;
  QPushButton* nl_Tabstop_;
  QTimer* Timer1_;
  bool loadMode_ = false;
};

}  // namespace jex
