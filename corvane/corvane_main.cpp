// corvane: the screen-reader core as far as JexUI sees it. Owns the bus name
// "corvane.application" for its whole run and serves its automation object at "/".
#include <QApplication>
#include <cstdio>

#include "corvane/engine/corvaneapp.h"
#include "corvane/engine/hostplatform.h"
#include "corvane/engine/options.h"
#include "corvane/reader/screenreader.h"

#ifndef JEX_DATA_DIR
#define JEX_DATA_DIR ""
#endif

int main(int argc, char** argv) {
  corvane::ignoreBrokenPipes();
  // Without a display the core still runs: its window simply stays hidden.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("corvane"));
  QApplication::setQuitOnLastWindowClosed(false);

  const corvane::Options options = corvane::parseOptions(QApplication::arguments().mid(1));
  if (options.help) {
    std::fputs(qPrintable(corvane::usageText()), stdout);
    return 0;
  }
  if (!options.error.isEmpty()) {
    std::fprintf(stderr, "corvane: %s\n%s", qPrintable(options.error), qPrintable(corvane::usageText()));
    return 2;
  }
  corvane::CorvaneApp core(options, QStringLiteral(JEX_DATA_DIR));
  if (!options.writeIdl.isEmpty()) return core.writeIdl(options.writeIdl);
  const int rc = core.start();
  if (rc >= 0) return rc;
  // Hears JexUI's windows; without an accessibility bus the core runs on without it.
  corvane::reader::ScreenReader reader(core);
  reader.start();
  return QApplication::exec();
}
