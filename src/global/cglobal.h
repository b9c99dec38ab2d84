// cGlobal: the program's one global settings and state object, and the other process-wide
// objects (the core object). It is the program's AppContext. Created on first use; released in the main window's
// unload.
//
// Paths: AppPath is the core's directory with one trailing separator. The separator is the
// platform's ("/" here), so AppPath + "LNG/" + language + "/" is the language directory.
#pragma once

#include <QString>
#include <memory>

#include "automation/automation.h"
#include "context/appcontext.h"
#include "ini/cinifil.h"

namespace jex {

class cUser;

class cGlobal final : public AppContext {
 public:
  // --- filled by start-up ---
  QString AppPath;               // the core's directory, with a trailing separator
  QString AppTitle;              // localised program title + " " + major.minor
  std::shared_ptr<cIniFil> Ini;  // JEXUI.INI
  std::shared_ptr<cUser> UserProfile;
  qint32 WriteLogFile() const;  // log threshold ([SERVICE] WriteLogFile)
  void setWriteLogFile(qint32 level);
  qint32 SpeedMin = 100;
  qint32 SpeedMax = 500;
  qint32 VolMax = 50000;
  qint32 Features = 0;
  qint16 ParkMouse = 1;
  qint32 TipDelay = 3;
  qint32 ClipTimeOut = 300;
  qint32 ReadTimeOut = 1000;
  qint32 UseForceForeGround = 1;

  // --- state ---
  bool Quitting = false;
  bool InDoEvents = false;
  bool Speaking = false;
  bool InMenu = false;
  // Set while the main window speaks a tool tip: the voices dialog then leaves the core's choice
  // of voice alone, so that tips keep the program messages' voice.
  bool NoVoiceSelect = false;
  QString OldTask, NewTask, PrevOldTask;  // upper case task names of the last switch
  QString NextFGWinCmd;
  QString LastForeApp;  // upper case
  qint64 LastForeWnd = 0;
  Obj LastBrlAI;

  // True when the core names JexUI as the foreground application.
  bool UiActive() const;

  // AppContext, for the layers below the application.
  QString appPath() const override { return AppPath; }
  QString appTitle() const override { return AppTitle; }
  bool quitting() const override { return Quitting; }
  qint32 foregroundMethod() const override { return UseForceForeGround; }
  std::shared_ptr<cUser> currentUser() const override { return UserProfile; }
  void setCurrentUser(std::shared_ptr<cUser> user) override { UserProfile = std::move(user); }
  Obj& core() override;

 private:
  qint32 writeLogFile_ = 0;
};

// The one instance.
cGlobal& gGlobal();
// The core object ("corvane.application"); Nothing until start-up created it.
Obj& Jex();
// Drops every process-wide object (used by shutdown and by tests).
void resetGlobals();

// One object of the core's tree by its member name ("KeyEcho", "BrailleInterface"), kept for
// the dialog that uses it and looked up again when Jex() is another core object (the core came
// back). Nothing without a core; a failing lookup throws like any call to the core.
class CoreMember {
 public:
  explicit CoreMember(QString name) : name_(std::move(name)) {}
  Obj get();

 private:
  QString name_;
  Obj core_, object_;
};

}  // namespace jex
