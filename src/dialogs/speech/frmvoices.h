// frmVoices: the voices dialog. The user gives each of the eight speech sources a voice, tunes
// speed, pitch and volume of the voices (each change is heard at once), creates, renames and
// deletes voices and picks a source's character table. All data live in the core's objects; the
// dialog reads and writes them through its VoiceProfile (voiceprofile.h), which holds no widgets.
// OK makes the core store the voices, No to the save question makes it reload them.
//
// The form also carries the speed and volume commands the core sends while the dialog is closed
// (SPEEDUP ... VOLUMEMIN, compared without regard to case by the dispatcher) and the script calls
// AllSpeeds / AllVolumes; they work whether the dialog is visible or not (frmvoices_actions.cpp).
//
// Layout, top to bottom: source and voice with the voice-management button; the parameters panel
// picSettings (frame nl_Parameter with the three slider pairs, the table list and the information
// text) or, in its place, the new-voice panel picNew (tree of the installed modes, name, add;
// frmvoices_newvoice.cpp); the place of the speech-set frame (speechSetPlace()); the dialog kit's
// OK, Abbrechen, Hilfe. While the information text or the new-voice panel is open, OK and Escape
// close that first.
//
// The voice-management menu (mnuVoices with its delete entries mnuVoiceDel(0) to (11)) is the
// main window's; the dialog fills in the delete entries' captions and switches the entries on
// and off.
//
// Message texts are the captions of invisible labels, localised with the form (hiddenText()).
#pragma once

#include <QVariant>
#include <functional>

#include "dialogs/childdialog.h"
#include "dialogs/speech/voiceprofile.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QMenu;
class QPushButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace jex {

class cMySlider;
class SpeechsetFrame;

class frmVoices : public ChildDialog {
  Q_OBJECT
 public:
  // Item data of the two special entries of cboVoice.
  static constexpr int kDiffVoices = -3;
  static constexpr int kNoVoice = 1;
  static constexpr int kSources = VoiceProfile::kSources;
  static constexpr int kMaxVoiceEntries = 10;  // the two reserved entries and nine voices, less one
  static constexpr int kVoiceMenuEntries = 11;

  explicit frmVoices(QWidget* parent = nullptr);
  ~frmVoices() override;

  // The core's voices and profile shown again (the commands USESPSETn, a speech set saved or
  // loaded), as at a showing.
  Q_INVOKABLE void GetValues() { loadValues(); }
  Q_INVOKABLE void VoiceDel(const QVariant& index);
  Q_INVOKABLE void VoiceNew();
  Q_INVOKABLE void VoiceInfo();
  Q_INVOKABLE void VoiceRename();
  Q_INVOKABLE void SPEEDUP();
  Q_INVOKABLE void SPEEDDN();
  Q_INVOKABLE void SpeedMax();
  Q_INVOKABLE void SpeedMin();
  Q_INVOKABLE void SPEEDUPNOW();
  Q_INVOKABLE void SPEEDDNNOW();
  Q_INVOKABLE void VOLUMEUP();
  Q_INVOKABLE void VOLUMEDN();
  Q_INVOKABLE void VOLUMEMAX();
  Q_INVOKABLE void VOLUMEMIN();
  Q_INVOKABLE void AllSpeeds(const QVariant& percent);
  Q_INVOKABLE void AllVolumes(const QVariant& percent);
  // The speech-set frame (speechsetframe.h), opened to save the voices as a set or to load one.
  Q_INVOKABLE void SpeechsetSave();
  Q_INVOKABLE void SpeechsetLoad();
  SpeechsetFrame* speechsetFrame() const { return speechset_; }

  bool assignmentChanged() const { return assignChanged_; }
  bool voicesChanged() const { return voicesChanged_; }

  QComboBox* cboSource() const { return cboSource_; }
  QComboBox* cboVoice() const { return cboVoice_; }
  QComboBox* cboTable() const { return cboTable_; }
  QPushButton* cmdVoiceMenu() const { return cmdVoiceMenu_; }
  QPushButton* cmdAddVoice() const { return cmdAddVoice_; }
  QPlainTextEdit* txtInfo() const { return txtInfo_; }
  QLineEdit* txtName() const { return txtName_; }
  QTreeWidget* treModes() const { return treModes_; }
  QWidget* picNew() const { return picNew_; }
  QWidget* picSettings() const { return picSettings_; }
  cMySlider* ctlSpeed() const { return ctlSpeed_; }
  cMySlider* ctlPitch() const { return ctlPitch_; }
  cMySlider* ctlVolume() const { return ctlVolume_; }
  // The main window's voice-management menu entry "mnuVoiceDel(i)"; null without a main window.
  QAction* voiceDelEntry(int i) const;
  // The place where the speech-set frame goes, between the parameters and the buttons.
  QVBoxLayout* speechSetPlace() const { return speechSetPlace_; }

  // The voice-select question of the core before it speaks (the event argument has Voice).
  void voiceSelect(const QVariant& o);

 protected:
  // The voices and the profile as the core holds them: every showing takes them from the core
  // and shows all sources.
  void showValues() override;
  // The changes live in the core, not in controls.
  bool untrackedChanges() const override { return assignChanged_ || voicesChanged_; }
  void store() override;
  void revert() override;
  void accept() override;
  void reject() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build();
  void LoadVoiceList();
  void UpdateNoVoiceEntry();
  void sourceSelected();
  void voiceSelected();
  void LoadTableList();
  void tableSelected();
  void sliderChanged(cMySlider* slider);
  // The current voice's values and information.
  void showVoice();
  void ShowNewVoicePanel(bool show);
  void fillModes();
  void modeClicked(QTreeWidgetItem* item);
  void cmdAddVoiceClick();
  void cmdVoiceMenuClick();
  void SpeakTestText();
  void refreshAfterCommand(bool speak);
  // Sets each voice the profile uses to the value to() gives it (where: the command's name).
  void changeUsedVoices(const char* where, VoiceProfile::Value which,
                        const std::function<qint32(const VoiceProfile::Voice&)>& to);
  QString shownName(int source) const;
  bool sourceUnchanged() const;
  int itemData(int index) const;
  bool showsDiffVoices() const;
  void setVoiceIndex(int index);
  void setMenuEnabled(const char* name, bool on);
  QMenu* voicesMenu() const;
  void queueForCore(const QString& command);
  static bool isModeKey(const QString& key);

  QComboBox* cboSource_ = nullptr;
  QComboBox* cboVoice_ = nullptr;
  QComboBox* cboTable_ = nullptr;
  QLabel* lblTable_ = nullptr;
  QPushButton* cmdVoiceMenu_ = nullptr;
  QWidget* picSettings_ = nullptr;
  QGroupBox* nl_Parameter_ = nullptr;
  QPlainTextEdit* txtInfo_ = nullptr;
  QWidget* picNew_ = nullptr;
  QTreeWidget* treModes_ = nullptr;
  QLabel* lblName_ = nullptr;
  QLineEdit* txtName_ = nullptr;
  QPushButton* cmdAddVoice_ = nullptr;
  QVBoxLayout* speechSetPlace_ = nullptr;
  SpeechsetFrame* speechset_ = nullptr;
  cMySlider* ctlSpeed_ = nullptr;
  cMySlider* ctlPitch_ = nullptr;
  cMySlider* ctlVolume_ = nullptr;

  VoiceProfile model_;
  bool assignChanged_ = false;
  bool voicesChanged_ = false;
  int prevItemData_ = 0;
  QString sourceTag_, voiceTag_, tableTag_;
  QList<VoiceProfile::Table> tables_;
  int entry_ = 0;  // the current source entry (from 1); 0 none
  QString voice_;  // the current voice's internal name; empty none
  qint32 pitchLow_ = 0, pitchHigh_ = 100;
};

}  // namespace jex
