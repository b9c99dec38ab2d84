// UI_Application: the object by which other programs ask which JexUI runs and where.
//
// Published on the session bus under "JexUI.UI_Application" for the whole run; as only one
// process can own that name, publishing it is also the test for another running copy.
#pragma once

#include <QString>

#include "automation/dispatchable.h"

namespace jex {

inline constexpr char kUiProgId[] = "JexUI.UI_Application";

class UI_Application : public automation::Dispatchable {
 public:
  UI_Application();
  // major.minor.revision of the program, decimal numbers without blanks.
  static QString VersionString();
  // The program directory as the system reports it, without a trailing separator.
  static QString ExeLocation();
};

}  // namespace jex
