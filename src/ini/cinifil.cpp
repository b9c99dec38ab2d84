#include "ini/cinifil.h"

#include "base/error.h"
#include "ini/privateprofile.h"

#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <tuple>

namespace jex {

namespace pp = jex::ini;

namespace {
// A section's line split at its first "=", both sides trimmed (no "=": the line and no value).
std::pair<QString, QString> keyAndValue(const QString& line) {
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  return {(eq < 0 ? line : line.left(eq)).trimmed(), eq < 0 ? QString() : line.mid(eq + 1).trimmed()};
}
}  // namespace

cIniFil::cIniFil() : buffer_(kBufferStep, QChar(0)) {}

bool cIniFil::Init(const QString& FileName, bool WriteDefaults, int codePage) {
  return trapped("cIniFil.Init", false, [&] {
    fileName_ = FileName;
    writeDefaults_ = WriteDefaults;
    codePage_ = codePage;
    return QFileInfo(FileName).isFile();
  });
}

bool cIniFil::SectionDelete(const QString& Section) {
  return trapped("cIniFil.SectionDelete", false,
                 [&] { return pp::WritePrivateProfileString(Section, QString(), QString(), fileName_, codePage_); });
}

QString cIniFil::readList(ListKind kind, const QString& Section) {
  auto read = [&] {
    return kind == ListKind::SectionNames
               ? pp::GetPrivateProfileSectionNames(buffer_, bufferSize_, fileName_, codePage_)
               : pp::GetPrivateProfileSection(Section, buffer_, bufferSize_, fileName_, codePage_);
  };
  quint32 count = read();
  while (count == static_cast<quint32>(bufferSize_ - 2)) {  // the system's sign of a cut list
    // Grow by as many steps as the list needs now, so that a large section costs one more read
    // instead of one per step; a list grown meanwhile goes round again.
    const qint64 needed =
        pp::GetPrivateProfileSectionSize(kind == ListKind::SectionNames ? QString() : Section, fileName_, codePage_);
    const qint64 steps = std::max<qint64>(1, (needed - bufferSize_ + kBufferStep - 1) / kBufferStep);
    bufferSize_ = static_cast<int>(std::min<qint64>(bufferSize_ + steps * kBufferStep, INT_MAX - kBufferStep));
    buffer_.fill(QChar(0), bufferSize_);
    count = read();
  }
  return buffer_.left(count);
}

void cIniFil::SectionEnum(Array1<QString>& Arr) {
  trap("cIniFil.SectionEnum", [&] {
    const QString list = readList(ListKind::SectionNames, QString());
    if (list.isEmpty()) return;
    QStringList names = list.split(QChar(0));
    if (names.last().isEmpty()) names.removeLast();
    Arr.redim(static_cast<int>(names.size()));
    for (int i = 0; i < names.size(); ++i) Arr(i + 1) = names[i];
  });
}

bool cIniFil::SectionExists(const QString& Section) {
  return trapped("cIniFil.SectionExists", false, [&] {
    const QString list = readList(ListKind::SectionNames, QString());
    if (list.size() < 2) return false;
    // Whole names only: the name must start the list or follow a separator.
    const QString wanted = Section + QChar(0);
    for (qsizetype at = list.indexOf(wanted, 0, Qt::CaseInsensitive); at >= 0;
         at = list.indexOf(wanted, at + 1, Qt::CaseInsensitive))
      if (at == 0 || list[at - 1] == QChar(0)) return true;
    return false;
  });
}

QStringList cIniFil::sectionLines(const QString& Section) {
  QString list = readList(ListKind::SectionLines, Section);
  if (list.isEmpty()) return {};
  if (!list.endsWith(QChar(0))) list += QChar(0);  // supply a missing final separator
  QStringList lines = list.split(QChar(0));
  lines.removeLast();
  lines.removeIf([](const QString& line) { return line.startsWith(QLatin1Char(';')); });
  return lines;
}

void cIniFil::SectionLoad(Array1<QString>& Arr, const QString& Section) {
  trap("cIniFil.SectionLoad", [&] {
    const QStringList lines = sectionLines(Section);
    Arr.redim(static_cast<int>(lines.size()));
    for (int i = 0; i < lines.size(); ++i) Arr(i + 1) = lines[i];
  });
}

void cIniFil::SectionLoad(Array2<QString>& Arr, const QString& Section) {
  trap("cIniFil.SectionLoad", [&] {
    const QStringList lines = sectionLines(Section);
    Arr.redim(2, static_cast<int>(lines.size()));
    for (int i = 0; i < lines.size(); ++i) std::tie(Arr(1, i + 1), Arr(2, i + 1)) = keyAndValue(lines[i]);
  });
}

QList<cIniFil::LoadedSection> cIniFil::SectionsLoad() {
  return trapped("cIniFil.SectionsLoad", QList<LoadedSection>(), [&] {
    QList<LoadedSection> out;
    for (auto& [name, lines] : pp::GetPrivateProfileSections(fileName_, codePage_)) {
      LoadedSection s{name, {}};
      for (const QString& line : lines)
        if (!line.startsWith(QLatin1Char(';'))) s.entries.append(keyAndValue(line));
      out.append(std::move(s));
    }
    return out;
  });
}

bool cIniFil::LoadSectionToCollection(const QString& Section, CiCollection<QString>& Col) {
  return trapped("cIniFil.LoadSectionToCollection", false, [&] {
    if (!SectionExists(Section)) return false;
    Array2<QString> entries;
    SectionLoad(entries, Section);
    for (int i = 1; i <= entries.ubound(2); ++i) Col.add(entries(2, i), entries(1, i));
    return true;
  });
}

QString cIniFil::LoadSectionToString(const QString& Section) {
  return trapped("cIniFil.LoadSectionToString", QString(), [&] {
    QString text;
    for (const QString& line : sectionLines(Section)) text += line + QStringLiteral("\r\n");
    return text;
  });
}

bool cIniFil::SectionWrite(const QString& Section, const Array1<QString>& Arr) {
  return trapped("cIniFil.SectionWrite", false, [&] {
    QString block;
    for (const QString& line : Arr) block += line + QChar(0);
    block += QChar(0);
    block += QChar(0);
    return pp::WritePrivateProfileSection(Section, block, fileName_, codePage_);
  });
}

qint32 cIniFil::GetLong(const QString& Section, const QString& Key, std::optional<qint32> Default) {
  return trapped("cIniFil.GetLong", Default.value_or(0), [&] {
    const qint32 value = pp::GetPrivateProfileInt(Section, Key, kMissing, fileName_, codePage_);
    if (value != kMissing) return value;
    if (!Default) return 0;
    if (writeDefaults_) SettingSave(Section, Key, QString::number(*Default));
    return *Default;
  });
}

QString cIniFil::GetStr(const QString& Section, const QString& Key, const std::optional<QString>& Default) {
  return trapped("cIniFil.GetStr", Default.value_or(QString()), [&] {
    QString buffer(kStringBuffer, QChar(0));
    const quint32 count =
        pp::GetPrivateProfileString(Section, Key, QStringLiteral(""), buffer, kStringBuffer, fileName_, codePage_);
    if (count > 0) return buffer.left(count);
    if (!Default) return QString();
    if (writeDefaults_) SettingSave(Section, Key, *Default);
    return *Default;
  });
}

bool cIniFil::SettingSave(const QString& Section, const QString& Key, const QString& Value) {
  return trapped("cIniFil.SettingSave", false,
                 [&] { return pp::WritePrivateProfileString(Section, Key, Value, fileName_, codePage_); });
}

bool cIniFil::SettingsSave(const QString& Section, const QList<std::pair<QString, QString>>& Entries,
                           QString* problem) {
  return trapped("cIniFil.SettingsSave", false,
                 [&] { return pp::WritePrivateProfileEntries(Section, Entries, fileName_, codePage_, problem); });
}

QString cIniFil::GetLeftSide(const QString& Section, const QString& Key) {
  return trapped("cIniFil.GetLeftSide", QString(), [&] {
    const QString value = GetStr(Section, Key, QString());
    const qsizetype bar = value.indexOf(QLatin1Char('|'));
    return bar < 0 ? value : value.left(bar);
  });
}

QString cIniFil::GetRightSide(const QString& Section, const QString& Key) {
  return trapped("cIniFil.GetRightSide", QString(), [&] {
    const QString value = GetStr(Section, Key, QString());
    const qsizetype bar = value.indexOf(QLatin1Char('|'));
    return bar < 0 ? QString() : value.mid(bar + 1);
  });
}

}  // namespace jex
