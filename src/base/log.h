// The program's log file and its threshold.
//
// One message per line, exactly the message text, each line ended with CR LF; the file is
// opened, appended to and closed for every line so that nothing is lost when the process dies.
// A message is written when the threshold (JEXUI.INI [SERVICE] WriteLogFile) is at least its
// level; the threshold is 0 until the settings file has been read, so only error lines are
// written before that.
#pragma once

#include <QString>

namespace jex {

// The level of a log message; the numbers are the thresholds users write in WriteLogFile.
enum LogLevel : int {
  kFirstRun = 1,  // first-run steps, and the few lines wanted at the lowest threshold
  kTraffic = 3,   // command traffic and focus changes
  kDetail = 5,    // everything else worth following
};

void WriteLog(const QString& message, LogLevel level);
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
