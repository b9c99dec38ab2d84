// Key-binding sets of the size a heavy user reaches, written as the core keeps them: 5,000 codes
// of one application over the four levels' eight files below appPath (user DEFAULT). Each level
// binds 900 keyboard and 350 Braille codes, a fifth of them taken by a higher level already.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <utility>

namespace jex::bench {

inline void writeBindingSets(const QString& appPath, const QString& app) {
  const QString user = appPath + QStringLiteral("user/DEFAULT/keys/"), shipped = appPath + QStringLiteral("keys/");
  QDir().mkpath(user);
  QDir().mkpath(shipped);
  const struct {
    QString dir, app;
    int level;
  } levels[] = {
      {user, app, 4}, {user, QStringLiteral("DEFAULT"), 3}, {shipped, app, 2}, {shipped, QStringLiteral("DEFAULT"), 1}};
  for (const auto& l : levels) {
    QByteArray kbd, brl;
    for (int i = 0; i < 300; ++i) {
      const int n = (l.level * 240 + i) % 1200;  // overlaps the level above by 60 lines
      kbd += QStringLiteral("CMD%1=CAP_K%1|S CAP_K%1|A L%2N%3_%1\n").arg(n).arg(n % 10).arg(i % 10).toUtf8();
      if (i < 175) brl += QStringLiteral("CMD%1=B%1 SP+B%1\n").arg(n).toUtf8();
    }
    for (const auto& [ext, text] : {std::pair{".KBD", kbd}, std::pair{".BRL", brl}}) {
      QFile f(l.dir + l.app + QString::fromLatin1(ext));
      if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
    }
  }
}

}  // namespace jex::bench
