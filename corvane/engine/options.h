// Command line of the core.
#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

struct Options {
  QString appDir;             // --appdir DIR (empty: default location)
  QString dataDir;            // --datadir DIR (empty: the compiled-in data folder)
  bool noJexUi = false;       // --no-jexui: do not start JexUI
  bool noMonitor = false;     // --no-monitor: monitor window hidden at start
  bool noAudio = false;       // --no-audio: synthesise to nowhere even when a device exists
  bool paced = false;         // --paced: speech without a device takes as long as played speech
  bool noForeground = false;  // --no-foreground: do not follow the window system's active window
  bool trustBus = false;      // --trust-bus: every connection of the bus may call the core
  bool reportBegun = false;   // --report-begun: the output tells when each utterance begins
  QString writeIdl;           // --write-idl FILE: write the core's type library as IDL and end
  bool help = false;
  QString error;  // non-empty for an unknown option or a missing value
};

Options parseOptions(const QStringList& arguments);  // arguments without the program name
QString usageText();

}  // namespace corvane
