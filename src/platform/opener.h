// The desktop's opener: documents and links are handed to the desktop's default application
// (QDesktopServices, which asks xdg-open). Nothing handed over here is ever executed by this
// program, whatever file it names.
//
// Tests install an opener of their own to see what would be opened without starting anything.
#pragma once

#include <QString>
#include <QUrl>

namespace jex::platform {

class DesktopOpener {
 public:
  virtual ~DesktopOpener() = default;
  // Hands url to the desktop; true when the desktop took it.
  virtual bool open(const QUrl& url) = 0;
};

// The opener in use: the desktop's own unless another was installed.
DesktopOpener& desktopOpener();
// Installs opener (the caller keeps it alive while installed); null puts the desktop's own back.
void setDesktopOpener(DesktopOpener* opener);

// The entry of folder whose name equals name without regard to case (the exact spelling wins);
// empty when there is none. dirs: look for a folder, else for a file.
QString findEntryCaseless(const QString& folder, const QString& name, bool dirs);

}  // namespace jex::platform
