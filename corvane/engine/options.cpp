#include "corvane/engine/options.h"

namespace corvane {

Options parseOptions(const QStringList& args) {
  Options o;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto valueOf = [&](QString& into) {
      const qsizetype eq = a.indexOf(u'=');
      if (eq > 0) {
        into = a.mid(eq + 1);
      } else if (i + 1 < args.size()) {
        into = args[++i];
      } else {
        o.error = QStringLiteral("missing value for ") + a;
      }
    };
    if (a == u"--appdir" || a.startsWith(u"--appdir=")) valueOf(o.appDir);
    else if (a == u"--datadir" || a.startsWith(u"--datadir=")) valueOf(o.dataDir);
    else if (a == u"--write-idl" || a.startsWith(u"--write-idl=")) valueOf(o.writeIdl);
    else if (a == u"--no-jexui") o.noJexUi = true;
    else if (a == u"--no-monitor") o.noMonitor = true;
    else if (a == u"--no-audio") o.noAudio = true;
    else if (a == u"--no-foreground") o.noForeground = true;
    else if (a == u"--paced") o.paced = true;
    else if (a == u"--trust-bus") o.trustBus = true;
    else if (a == u"--report-begun") o.reportBegun = true;
    else if (a == u"--help" || a == u"-h") o.help = true;
    else if (a.startsWith(u'-') && a.size() > 1) o.error = QStringLiteral("unknown option ") + a;
    // Other words (for example Qt's own -platform handled earlier) are ignored.
    if (!o.error.isEmpty()) break;
  }
  return o;
}

QString usageText() {
  return QStringLiteral(
      "usage: corvane [--appdir DIR] [--datadir DIR] [--no-jexui] [--no-monitor] [--no-audio] [--paced] "
      "[--no-foreground] [--trust-bus] [--report-begun] [--write-idl FILE]\n"
      "  --appdir DIR    the core's own directory (default $XDG_DATA_HOME/corvane/)\n"
      "  --datadir DIR   shipped data copied into a new directory\n"
      "  --no-jexui      do not start JexUI\n"
      "  --no-monitor    keep the monitor window hidden\n"
      "  --no-audio      synthesise speech without playing it\n"
      "  --paced         speech that is not played still takes as long as if it were\n"
      "  --no-foreground do not follow the active window of the window system\n"
      "  --trust-bus     answer every program on the bus, not only JexUI (for tests and tools;\n"
      "                  [Security] TrustedCallers in corvane.ini names single ones)\n"
      "  --report-begun  a line \"BEGUN: \" + the text when an utterance begins to be heard; one\n"
      "                  replaced before it began has none (for tests that must not cut it off)\n"
      "  --write-idl FILE  write the IDL of the core's objects (its type library) and end\n"
      "Standard input takes one command per line; \":help\" lists the console commands.\n");
}

}  // namespace corvane
