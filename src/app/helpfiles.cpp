#include "app/helpfiles.h"

#include <QDir>
#include <QFileInfo>

#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "platform/opener.h"

namespace jex {
namespace {

void refuse(const QString& what, const QString& name, const QString& why) {
  throw Error(err::InvalidCall, what + QStringLiteral(" \"") + name + QStringLiteral("\" refused: ") + why);
}

void open(const QUrl& url) {
  if (!platform::desktopOpener().open(url))
    throw Error(err::FileError, QStringLiteral("the desktop could not open ") + url.toDisplayString());
}
}  // namespace

QString HelpFilePath(const QString& appPath, const QString& lng, const QString& name) {
  const QString help = QStringLiteral("help name");
  if (name.trimmed().isEmpty()) refuse(help, name, QStringLiteral("empty"));
  if (name.contains(u'/') || name.contains(u'\\')) refuse(help, name, QStringLiteral("it contains a path separator"));
  if (name.contains(u':')) refuse(help, name, QStringLiteral("it names a drive or a scheme"));
  if (name == u"." || name == u"..") refuse(help, name, QStringLiteral("it names a folder"));
  for (QChar c : name)
    if (c.unicode() < 0x20) refuse(help, name, QStringLiteral("it contains a control character"));
  if (lng.isEmpty() || lng.contains(u'/') || lng.contains(u'\\') || lng.contains(QLatin1String("..")))
    throw Error(err::InvalidCall, QStringLiteral("no usable language for help files: \"") + lng + u'"');

  const QString folder = platform::findEntryCaseless(appPath, QStringLiteral("Help"), true);
  if (folder.isEmpty()) throw Error(err::FileError, QStringLiteral("no help folder in ") + appPath);
  const QString language = platform::findEntryCaseless(folder, lng, true);
  if (language.isEmpty())
    throw Error(err::FileError, QStringLiteral("no help folder for language ") + lng + QStringLiteral(" in ") + folder);
  const QString file = platform::findEntryCaseless(language, name, false);
  if (file.isEmpty())
    throw Error(err::FileError, QStringLiteral("no help file ") + name + QStringLiteral(" in ") + language);
  return file;
}

QUrl DocumentUrl(const QString& name) {
  const QString doc = QStringLiteral("document");
  const QString text = name.trimmed();
  if (text.isEmpty()) refuse(doc, name, QStringLiteral("empty"));
  if (QDir::isAbsolutePath(text) && !text.contains(QLatin1String("://"))) {
    const QFileInfo fi(QDir::cleanPath(text));
    if (!fi.isFile()) throw Error(err::FileError, QStringLiteral("no such file: ") + text);
    return QUrl::fromLocalFile(fi.absoluteFilePath());
  }
  if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
    return QUrl(QStringLiteral("http://") + text, QUrl::StrictMode);
  const QUrl url(text, QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  static const QStringList links{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),
                                 QStringLiteral("mailto")};
  if (url.isValid() && links.contains(scheme) && (scheme == u"mailto" || !url.host().isEmpty())) return url;
  if (url.isValid() && scheme == u"file" && url.isLocalFile()) return DocumentUrl(url.toLocalFile());
  refuse(doc, name, QStringLiteral("neither an absolute path of a file nor a link"));
  return {};
}

bool OpenHelpFile(const QString& name, const char* location) {
  return trap(location, [&] {
    const QString path = HelpFilePath(gGlobal().AppPath, frmLocalizer().LNG(), name);
    WriteLog(QStringLiteral("Call HelpFile: ") + path, kDetail);
    open(QUrl::fromLocalFile(path));
  });
}

bool OpenDocument(const QString& name, const char* location) {
  return trap(location, [&] { open(DocumentUrl(name)); });
}

}  // namespace jex
