// cUser: the current user (profile) of the screen-reader core, as JexUI sees it.
//
// Name and directory come from the core; the user-interface switches live in USERSET.INI of the
// user's directory and are written through at once when set. The two verbosity levels swap the
// active output definitions OUTDEF.SPI / OUTDEF.BRI with their numbered copies.
#pragma once

#include <QString>
#include <memory>

#include "ini/cinifil.h"

namespace jex {

class cUser {
 public:
  cUser();
  ~cUser();

  // (Re)loads name, directory and switches from the core and USERSET.INI.
  void InitCurrUser();
  // Asks the core to re-read its current user: User.Init(name, parent directory of Path).
  void ReloadCoreUser();

  QString Name() const { return name_; }
  void setName(const QString& name) { name_ = name; }
  QString Path() const { return path_; }  // ends with a separator

  qint16 UseSounds() const { return useSounds_; }
  void setUseSounds(qint16 v);
  qint16 AutoRead() const { return autoRead_; }
  void setAutoRead(qint16 v);
  qint16 Ask2Save() const { return ask2Save_; }
  void setAsk2Save(qint16 v);
  qint16 SpeakTips() const { return speakTips_; }
  void setSpeakTips(qint16 v);

  qint16 VerbositySpeech() const { return verbositySpeech_; }
  void setVerbositySpeech(qint16 level);
  qint16 VerbosityBraille() const { return verbosityBraille_; }
  void setVerbosityBraille(qint16 level);

  QString ActiveSpeechSet() const { return activeSpeechSet_; }
  void setActiveSpeechSet(const QString& s) { activeSpeechSet_ = s; }

  // The parent directory of Path, ending with a separator ("" without a path).
  QString BaseDir() const;

 private:
  // Writes one [UserInterface] switch through to USERSET.INI.
  void saveSwitch(qint16& field, const char* key, qint16 value, const char* location);
  // Swaps the active output definition (OUTDEF.SPI / .BRI) with the numbered copies.
  void changeVerbosity(qint16& field, const QString& stem, const QString& key, qint16 level, const char* location);
  QString name_;
  QString path_;
  std::unique_ptr<cIniFil> settings_;
  qint16 useSounds_ = 1;
  qint16 autoRead_ = 1;
  qint16 ask2Save_ = 1;
  qint16 speakTips_ = 1;
  qint16 verbosityBraille_ = 1;
  qint16 verbositySpeech_ = 1;
  QString activeSpeechSet_ = QStringLiteral("1");
};

// Creates the current user at main window load: InitCurrUser, then ReloadCoreUser; the object
// becomes gGlobal().UserProfile. Returns it (never null).
std::shared_ptr<cUser> CreateCurrUser();

}  // namespace jex
