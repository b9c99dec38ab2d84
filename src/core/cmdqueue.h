// Commands from JexUI to the core.
#pragma once

#include <QString>

namespace jex {

// Logs "iAdd2JexCmdQ: " + command (level 3) and hands the command to the core's
// proc.AddToCMDQueue; the core owns it from then on. Errors are trapped and logged.
void iAdd2JexCmdQ(const QString& command);

}  // namespace jex
