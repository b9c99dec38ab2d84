// AppContext: the program state that localisation, the users and the dialogs read, without
// depending on the application's global object. cGlobal implements it and is the program's
// context once it is linked in; without it, appContext() is a context that holds nothing.
#pragma once

#include <QString>
#include <memory>

#include "automation/automation.h"

namespace jex {

class cUser;

class AppContext {
 public:
  virtual ~AppContext() = default;
  virtual QString appPath() const = 0;          // the core's directory, with a trailing separator
  virtual QString appTitle() const = 0;         // localised program title + " " + major.minor
  virtual bool quitting() const = 0;            // the orderly shutdown has begun
  virtual qint32 foregroundMethod() const = 0;  // how a box brings itself to the front
  virtual std::shared_ptr<cUser> currentUser() const = 0;
  virtual void setCurrentUser(std::shared_ptr<cUser> user) = 0;
  virtual Obj& core() = 0;  // the core object; Nothing before start-up created it
};

// The program's context.
AppContext& appContext();
// Where appContext() comes from; set once by the implementation when the program starts.
using AppContextSource = AppContext& (*)();
void setAppContextSource(AppContextSource source);

}  // namespace jex
