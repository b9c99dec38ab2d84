// The program's log file and its threshold.
//
// One message per line, exactly the message text, each line ended with CR LF; the file is
// opened, appended to and closed for every line so that nothing is lost when the process dies.
// Levels: 1 first run, 3 command traffic and focus changes, 5 detail. A message is written when
// the threshold (JEXUI.INI [SERVICE] WriteLogFile) is at least its level; the threshold is 0
// until the settings file has been read, so only error lines are written before that.
#pragma once

#include <QString>

namespace jex {

void WriteLog(const QString& message, int level);
// Always written, whatever the threshold: "!!! ERROR " + message.
void WriteErrorLog(const QString& message);

namespace logfile {
void setPath(const QString& path);  // full path of jexui.log; empty disables the log
QString path();
void setThreshold(int level);
int threshold();
// Deletes the log file (every run starts a new log).
void remove();
}  // namespace logfile

}  // namespace jex
