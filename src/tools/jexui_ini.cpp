// jexui-ini: command-line access to INI files through the program's own settings layer.
//
//   jexui-ini get FILE SECTION KEY [DEFAULT]      the value (or DEFAULT, or an empty line)
//   jexui-ini getint FILE SECTION KEY [DEFAULT]   the value as an integer (DEFAULT: 0)
//   jexui-ini section FILE SECTION                the section's lines, one per line
//   jexui-ini sections FILE                       the section names, one per line
//   jexui-ini set FILE SECTION KEY VALUE          writes key=value
//   jexui-ini delete-section FILE SECTION         removes the section
//
// Output is UTF-8. Exit status: 0 done, 1 a write failed, 2 bad arguments.
#include "ini/privateprofile.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

namespace pp = jex::ini;

constexpr quint32 kValueBuffer = 65536;
constexpr quint32 kListStep = 5096;

int usage(const char* problem) {
  std::fprintf(stderr,
               "jexui-ini: %s\n"
               "usage: jexui-ini get FILE SECTION KEY [DEFAULT]\n"
               "       jexui-ini getint FILE SECTION KEY [DEFAULT]\n"
               "       jexui-ini section FILE SECTION\n"
               "       jexui-ini sections FILE\n"
               "       jexui-ini set FILE SECTION KEY VALUE\n"
               "       jexui-ini delete-section FILE SECTION\n",
               problem);
  return 2;
}

void printLine(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
  std::fputc('\n', stdout);
}

// A NUL-separated list read with a buffer that grows to the list's size while the result is cut.
template <class Read>
void printList(const QString& section, const QString& file, Read read) {
  quint32 size = kListStep;
  QString buffer(static_cast<qsizetype>(size), QChar(0));
  quint32 count = read(buffer, size);
  while (count == size - 2) {
    size = std::max(size + kListStep, pp::GetPrivateProfileSectionSize(section, file));
    buffer.fill(QChar(0), size);
    count = read(buffer, size);
  }
  QStringList items = buffer.left(count).split(QChar(0));
  if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
  for (const QString& item : items) printLine(item);
}

bool parseInt(const QString& text, qint32& value) {
  bool ok = false;
  value = text.toInt(&ok);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
  if (args.isEmpty()) return usage("no command given");
  const QString command = args.takeFirst();
  const auto count = args.size();
  for (qsizetype i = 1; i < std::min<qsizetype>(count, 3); ++i)
    if (args[i].trimmed().isEmpty()) return usage("SECTION and KEY must not be empty");

  if (command == QLatin1String("get")) {
    if (count < 3 || count > 4) return usage("get needs FILE SECTION KEY [DEFAULT]");
    QString buffer(kValueBuffer, QChar(0));
    const QString def = count == 4 ? args[3] : QStringLiteral("");
    const quint32 n = pp::GetPrivateProfileString(args[1], args[2], def, buffer, kValueBuffer, args[0]);
    printLine(buffer.left(n));
    return 0;
  }
  if (command == QLatin1String("getint")) {
    if (count < 3 || count > 4) return usage("getint needs FILE SECTION KEY [DEFAULT]");
    qint32 def = 0;
    if (count == 4 && !parseInt(args[3], def)) return usage("DEFAULT must be an integer");
    printLine(QString::number(pp::GetPrivateProfileInt(args[1], args[2], def, args[0])));
    return 0;
  }
  if (command == QLatin1String("section")) {
    if (count != 2) return usage("section needs FILE SECTION");
    printList(args[1], args[0], [&](QString& buffer, quint32 size) {
      return pp::GetPrivateProfileSection(args[1], buffer, size, args[0]);
    });
    return 0;
  }
  if (command == QLatin1String("sections")) {
    if (count != 1) return usage("sections needs FILE");
    printList(QString(), args[0],
              [&](QString& buffer, quint32 size) { return pp::GetPrivateProfileSectionNames(buffer, size, args[0]); });
    return 0;
  }
  if (command == QLatin1String("set")) {
    if (count != 4) return usage("set needs FILE SECTION KEY VALUE");
    if (pp::WritePrivateProfileString(args[1], args[2], args[3], args[0])) return 0;
    std::fprintf(stderr, "jexui-ini: cannot write %s\n", argv[2]);
    return 1;
  }
  if (command == QLatin1String("delete-section")) {
    if (count != 2) return usage("delete-section needs FILE SECTION");
    if (pp::WritePrivateProfileString(args[1], QString(), QString(), args[0])) return 0;
    std::fprintf(stderr, "jexui-ini: cannot write %s\n", argv[2]);
    return 1;
  }
  return usage("unknown command");
}
