#include "platform/opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace jex::platform {
namespace {

class SystemOpener : public DesktopOpener {
 public:
  bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

DesktopOpener*& installed() {
  static DesktopOpener* opener = nullptr;
  return opener;
}

}  // namespace

DesktopOpener& desktopOpener() {
  static SystemOpener system;
  return installed() ? *installed() : system;
}

void setDesktopOpener(DesktopOpener* opener) { installed() = opener; }

QString findEntryCaseless(const QString& folder, const QString& name, bool dirs) {
  if (folder.isEmpty() || name.isEmpty()) return {};
  const QDir dir(folder);
  const QFileInfo exact(dir.filePath(name));
  if (exact.exists() && exact.isDir() == dirs && exact.fileName() == name) return exact.filePath();
  const QDir::Filters filter = (dirs ? QDir::Dirs : QDir::Files) | QDir::NoDotAndDotDot | QDir::Hidden;
  for (const QString& entry : dir.entryList(filter, QDir::Name))
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
  return {};
}

}  // namespace jex::platform
