// Arbitrary bytes as a menu file: reading its sections must cope without crashing, stop cycles
// and runaway nesting, and give entries of the documented shape. The list functions answer with
// a list, with nothing, or fail, depending on their names.
#include "dialogs/keys/menufile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "base/error.h"

namespace {

const QString& menuPath() {
  static QTemporaryDir dir;
  static const QString path = dir.path() + QStringLiteral("/QMenu.ini");
  return path;
}

void check(bool condition) {
  if (!condition) std::abort();
}

std::optional<QStringList> lists(const QString& function) {
  switch (function.size() % 3) {
    case 0:
      return QStringList{function + QStringLiteral("=") + function, QStringLiteral("-=-"), function};
    case 1:
      return std::nullopt;
    default:
      throw jex::Error(jex::err::InvalidCall, QStringLiteral("failing list ") + function);
  }
}

int walk(const QList<jex::MenuLine>& lines, int depth) {
  check(depth <= jex::kMaxMenuDepth + 1);
  int n = 0;
  for (const jex::MenuLine& line : lines) {
    ++n;
    switch (line.kind) {
      case jex::MenuLine::Kind::Separator:
        check(line.caption.isEmpty() && line.key.isEmpty() && line.children.isEmpty());
        break;
      case jex::MenuLine::Kind::Entry:
        check(!line.caption.isEmpty() && line.children.isEmpty());
        break;
      case jex::MenuLine::Kind::Submenu:
        check(!line.caption.isEmpty() && line.key.isEmpty());
        n += walk(line.children, depth + 1);
        break;
    }
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString& file = menuPath();
  {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  for (const char* section : {"Menu", "User", "A"}) {
    const QList<jex::MenuLine> lines = jex::readMenuSection(file, QString::fromLatin1(section), lists);
    check(walk(lines, 0) <= jex::kMaxMenuLines);
  }
  jex::menuLinesFromStrings(
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split(QLatin1Char('\n')));
  return 0;
}
