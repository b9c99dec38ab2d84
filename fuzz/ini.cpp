// Arbitrary bytes as an INI file: every read of the private-profile layer and of cIniFil must
// cope without crashing, and list results must keep their documented shape.
#include "ini/cinifil.h"
#include "ini/privateprofile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

namespace pp = jex::ini;

const QString& iniPath() {
  static QTemporaryDir dir;
  static const QString path = dir.path() + QStringLiteral("/fuzz.ini");
  return path;
}

void check(bool condition) {
  if (!condition) std::abort();
}

// Buffers live across runs, as a caller's buffer would; the functions must not rely on contents.
QString buffer, lines, keys, value;

void readLists(const QString& file, int codePage, quint32 size) {
  const quint32 names = pp::GetPrivateProfileSectionNames(buffer, size, file, codePage);
  check(size == 0 || names < size);
  QStringList sections = buffer.left(names).split(QChar(0), Qt::SkipEmptyParts);
  sections = sections.mid(0, 16);
  sections.append(QStringLiteral("General"));
  for (const QString& section : sections) {
    const quint32 n = pp::GetPrivateProfileSection(section, lines, size, file, codePage);
    check(size == 0 || n < size);
    // The size the layer names for the list holds it whole.
    const quint32 needed = pp::GetPrivateProfileSectionSize(section, file, codePage);
    const quint32 whole = pp::GetPrivateProfileSection(section, lines, needed, file, codePage);
    check(whole + 1 == needed || (needed == 2 && whole == 0));
    // A list cut short gives size - 2; a buffer of one character holds only the ending NUL.
    check(size == 0 || (size == 1 && n == 0) || n == size - 2 || n == whole);
    const quint32 k = pp::GetPrivateProfileString(section, QString(), QStringLiteral(""), keys, size, file, codePage);
    check(size == 0 || k < size);
    for (const QString& key : keys.left(k).split(QChar(0), Qt::SkipEmptyParts).mid(0, 16)) {
      const quint32 v = pp::GetPrivateProfileString(section, key, QStringLiteral("def"), value, size, file, codePage);
      check(size == 0 || v < size);
      pp::GetPrivateProfileInt(section, key, -1, file, codePage);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const int codePages[] = {0, 1252, 1253, 1251, 932, 950};
  const int codePage = codePages[data[0] % 6];
  const QString& file = iniPath();
  {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
  }
  for (quint32 bufferSize : {0u, 1u, 2u, 3u, 7u, 64u, 5096u}) readLists(file, codePage, bufferSize);

  jex::cIniFil ini;
  ini.Init(file, false, codePage);
  jex::Array1<QString> names;
  ini.SectionEnum(names);
  for (int i = 1; i <= names.ubound(); ++i) {
    const QString& section = names(i);
    ini.SectionExists(section);
    jex::Array1<QString> lines;
    ini.SectionLoad(lines, section);
    jex::Array2<QString> split;
    ini.SectionLoad(split, section);
    for (int j = 1; j <= split.ubound(2); ++j) {
      ini.GetStr(section, split(1, j), QStringLiteral("d"));
      ini.GetLong(section, split(1, j), 7);
      ini.GetLeftSide(section, split(1, j));
      ini.GetRightSide(section, split(1, j));
    }
    jex::CiCollection<QString> col;
    ini.LoadSectionToCollection(section, col);
    ini.LoadSectionToString(section);
  }
  return 0;
}
