// AppPath + "speech.log": what the core said, one line per utterance, written when it ends or
// is cut (or at once when speech is off). New at every start. Tests and benchmarks read it.
//
// Fields, separated by tabs: local time with milliseconds, monotonic milliseconds of its start,
// duration in milliseconds, speech source, voice, done / cut / muted, text (tabs and line ends
// as blanks).
#pragma once

#include <QString>

#include "corvane/engine/speechengine.h"

namespace corvane {

class SpeechLog {
 public:
  // Starts the file anew.
  explicit SpeechLog(QString path);
  void write(const Spoken& s, const QString& outcome);
  const QString& path() const { return path_; }
  static QString line(const Spoken& s, const QString& outcome);

  struct Entry {
    qint64 startMs = 0;
    qint64 durationMs = 0;
    int source = 0;
    QString voice, outcome, text;
  };
  // One line back into its fields; false for a line that is not one.
  static bool parse(const QString& line, Entry* e);

 private:
  QString path_;
  bool failed_ = false;  // reported once
};

}  // namespace corvane
