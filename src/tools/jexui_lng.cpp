// jexui-lng: a language of the interface as a gettext PO file, for translators' own tools.
//
//   jexui-lng [--appdir DIR] export-po LNG FILE          writes the PO file of language LNG
//   jexui-lng [--appdir DIR] import-po LNG FILE [--check] writes what the PO file changes into
//                                                        LNG/<LNG>/JEXUIDLG.INI (--check: nothing)
//
// DIR is the core's directory (default: $XDG_DATA_HOME/corvane/), which holds LNG/. The forms
// are made offscreen from the program's registry, as the program makes them, and never shown.
// The PO format and the rules of import are in localisation/pocatalog.h. Import prints what it
// wrote, skipped and counted. Exit status: 0 done, 1 refused or not written, 2 bad arguments.
#include "app/formlist.h"
#include "base/codepages.h"
#include "ini/cinifil.h"
#include "localisation/frmlocalizer.h"
#include "localisation/pocatalog.h"
#include "widgets/formservice.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

int usage(const char* problem) {
  std::fprintf(stderr,
               "jexui-lng: %s\n"
               "usage: jexui-lng [--appdir DIR] export-po LNG FILE\n"
               "       jexui-lng [--appdir DIR] import-po LNG FILE [--check]\n",
               problem);
  return 2;
}

void say(FILE* to, const QString& text) { std::fprintf(to, "%s\n", text.toUtf8().constData()); }

QString languageFile(const QString& appDir, const QString& lng) {
  return jex::frmLocalizer::languageFile(appDir + QStringLiteral("LNG/") + lng + QLatin1Char('/'));
}

// The code page a language file that is no UTF-8 is read in: its [Global] Charset's.
int codePageOf(const QString& file) {
  jex::cIniFil ini;
  ini.Init(file, false);
  return jex::codepage::ofCharset(ini.GetLong(QStringLiteral("Global"), QStringLiteral("Charset"), 0));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments().mid(1);
  QString appDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/corvane/");
  if (args.value(0) == QLatin1String("--appdir")) {
    if (args.size() < 2) return usage("--appdir needs DIR");
    appDir = args[1];
    args = args.mid(2);
  }
  if (!appDir.endsWith(QLatin1Char('/'))) appDir += QLatin1Char('/');
  const bool check = args.removeAll(QStringLiteral("--check")) > 0;
  if (args.size() != 3) return usage("a command, LNG and FILE are needed");
  const QString command = args[0], lng = args[1], poFile = args[2];
  bool number = false;
  lng.toUInt(&number);
  if (!number) return usage("LNG is a locale number such as 1033");

  jex::registerForms();
  std::vector<std::unique_ptr<QWidget>> made;
  QList<QWidget*> forms;
  for (const QString& name : jex::forms::names())
    if (std::unique_ptr<QWidget> form = jex::forms::create(name)) {
      forms << form.get();
      made.push_back(std::move(form));
    }
  const QString german = languageFile(appDir, QStringLiteral("1031"));
  const QList<jex::po::Part> parts = jex::po::collect(forms, german);
  const QString file = languageFile(appDir, lng);
  const int codePage = codePageOf(file);

  if (command == QLatin1String("export-po")) {
    if (check) return usage("--check belongs to import-po");
    QFile out(poFile);
    const QByteArray text = jex::po::exportPo(parts, lng, file, codePage, german);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size()) {
      say(stderr, QStringLiteral("jexui-lng: cannot write ") + poFile);
      return 1;
    }
    say(stdout, QStringLiteral("%1 entries written to %2").arg(parts.size()).arg(poFile));
    return 0;
  }
  if (command == QLatin1String("import-po")) {
    QFile in(poFile);
    if (!in.open(QIODevice::ReadOnly)) {
      say(stderr, QStringLiteral("jexui-lng: cannot read ") + poFile);
      return 1;
    }
    if (!check) QDir().mkpath(QFileInfo(file).absolutePath());
    const jex::po::ImportResult r = jex::po::importPo(parts, in.readAll(), poFile, lng, file, codePage, check);
    for (const QString& s : r.skipped) say(stdout, QStringLiteral("skipped ") + s);
    if (!r.ok) {
      say(stderr, QStringLiteral("jexui-lng: ") + r.error + QStringLiteral("; nothing written"));
      return 1;
    }
    say(stdout, QStringLiteral("%1 %2, %3 fuzzy, %4 untranslated, %5 skipped")
                    .arg(r.written)
                    .arg(check ? QStringLiteral("to write") : QStringLiteral("written"))
                    .arg(r.fuzzy)
                    .arg(r.untranslated)
                    .arg(r.skipped.size()));
    return 0;
  }
  return usage("unknown command");
}
