#include "ini/privateprofile.h"

#include "base/codepages.h"
#include "base/error.h"
#include "base/log.h"
#include "platform/filestore.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace jex::ini {
namespace {

using platform::FileStamp;

// ---------------------------------------------------------------------------------------------
// Encoding

enum class Encoding { Utf8, Utf16Le, CodePage };

struct FileFormat {
  Encoding encoding = Encoding::Utf8;
  int codePage = 0;  // with Encoding::CodePage
  bool bom = false;
  bool crlf = true;
};

bool isAscii(QByteArrayView bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Whole files pass through buffers that each thread keeps from one read or write to the next:
// fresh buffers of a file's size would cost a page fault per page on every save. Buffers grown
// by an unusually large file are given back after its use (release()).
struct FileBuffers {
  QByteArray bytes;  // the file as read or as about to be written
  QString text;      // the file as text
  void release() {
    constexpr qsizetype kKeep = 4 << 20;
    if (bytes.capacity() > kKeep) bytes = QByteArray();
    if (text.capacity() > kKeep) text = QString();
  }
};
FileBuffers& buffers() {
  thread_local FileBuffers b;
  return b;
}

// Decodes in into out, reusing out's memory; false when the input is not valid for d.
bool decodeInto(QStringDecoder& d, QByteArrayView in, QString& out) {
  out.resize(d.requiredSpace(in.size()));
  QChar* end = d.appendToBuffer(out.data(), in);
  out.resize(end - out.constData());
  return !d.hasError();
}

// Opening a code-page converter is costly: one decoder per code page and thread is kept.
void decodeCodePage(QByteArrayView bytes, int codePage, QString& text) {
  thread_local std::map<int, QStringDecoder> decoders;
  auto it = decoders.find(codePage);
  if (it == decoders.end()) {
    QStringDecoder decoder(codepage::converterName(codePage).constData());
    if (!decoder.isValid()) {
      WriteLog(QStringLiteral("INI: unknown code page %1, reading as %2").arg(codePage).arg(codepage::kWestern),
               kDetail);
      decoder = QStringDecoder(codepage::converterName(codepage::kWestern).constData());
    }
    it = decoders.emplace(codePage, std::move(decoder)).first;
  }
  it->second.resetState();
  decodeInto(it->second, bytes, text);
}

// Decodes the file's bytes into text and tells how the file is written.
void decodeFile(QByteArrayView bytes, int codePage, FileFormat& format, QString& text) {
  format = FileFormat{};
  format.crlf = bytes.contains("\r\n") || !bytes.contains('\n');
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    format.bom = true;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    decodeInto(utf8, bytes.sliced(3), text);
    return;
  }
  if (bytes.startsWith("\xFF\xFE")) {
    format.encoding = Encoding::Utf16Le;
    format.bom = true;
    QStringDecoder utf16(QStringConverter::Utf16LE);
    decodeInto(utf16, bytes.sliced(2), text);
    return;
  }
  if (codePage != 0 && isAscii(bytes)) {
    format.encoding = Encoding::CodePage;
    format.codePage = codePage;
    QStringDecoder latin1(QStringConverter::Latin1);
    decodeInto(latin1, bytes, text);
    return;
  }
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  if (decodeInto(utf8, bytes, text)) return;
  format.encoding = Encoding::CodePage;
  format.codePage = codePage != 0 ? codePage : codepage::kWestern;
  decodeCodePage(bytes, format.codePage, text);
}

// Encodes text as the file is written into bytes, reusing bytes' memory.
void encodeFile(const QString& text, const FileFormat& format, const QString& fileName, QByteArray& bytes) {
  bytes.resize(0);
  auto encode = [&](QStringEncoder& e) {
    const qsizetype start = bytes.size();
    bytes.resize(start + e.requiredSpace(text.size()));
    char* end = e.appendToBuffer(bytes.data() + start, text);
    bytes.resize(end - bytes.constData());
  };
  switch (format.encoding) {
    case Encoding::Utf8: {
      if (format.bom) bytes.append("\xEF\xBB\xBF");
      QStringEncoder utf8(QStringConverter::Utf8);
      encode(utf8);
      return;
    }
    case Encoding::Utf16Le: {
      bytes.append("\xFF\xFE");
      QStringEncoder utf16(QStringConverter::Utf16LE);
      encode(utf16);
      return;
    }
    case Encoding::CodePage:
      break;
  }
  QStringEncoder encoder(codepage::converterName(format.codePage).constData());
  if (!encoder.isValid()) encoder = QStringEncoder(codepage::converterName(codepage::kWestern).constData());
  encode(encoder);
  if (encoder.hasError())
    WriteLog(QStringLiteral("INI: characters not in code page %1 written as substitutes to %2")
                 .arg(format.codePage)
                 .arg(fileName),
             kFirstRun);
}

// True when the file's encoding holds every character of text: always for UTF-8 and UTF-16; for
// a code page when the text comes back unchanged from being encoded and decoded.
bool encodable(const QString& text, const FileFormat& format) {
  if (format.encoding != Encoding::CodePage) return true;
  bool ascii = true;
  for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
  if (ascii) return true;
  const QByteArray name = codepage::converterName(format.codePage);
  QStringEncoder encoder(name.constData());
  QStringDecoder decoder(name.constData());
  if (!encoder.isValid() || !decoder.isValid()) return false;
  const QByteArray bytes = encoder.encode(text);
  return !encoder.hasError() && QString(decoder.decode(bytes)) == text;
}

// ---------------------------------------------------------------------------------------------
// Parsed file

QString fold(const QString& name) { return name.trimmed().toCaseFolded(); }

struct Entry {
  // Views into the document's own lines, which stay unchanged as long as the document lives.
  QStringView text;   // the trimmed line, as section reads return it
  QStringView key;    // trimmed key name (the whole line when it has no "=")
  QStringView value;  // trimmed value
  int line = 0;
  bool comment = false;
  bool hasValue = false;  // false for a line without "=": a key that reads as missing
};

struct Section {
  QString name;
  int headerLine = -1;  // -1: the lines before the first header (never found by name)
  int endLine = 0;      // first line after the section
  int lastContentLine = -1;
  std::vector<Entry> entries;
  QHash<QString, int> keys;  // folded key -> first entry with that key

  const Entry* find(const QString& key) const {
    auto it = keys.constFind(fold(key));
    return it == keys.constEnd() ? nullptr : &entries[static_cast<size_t>(*it)];
  }
};

struct IniDoc {
  QStringList lines;
  std::vector<Section> sections;
  QHash<QString, int> index;  // folded section name -> first section with that name
  FileFormat format;

  const Section* find(const QString& name) const {
    auto it = index.constFind(fold(name));
    return it == index.constEnd() ? nullptr : &sections[static_cast<size_t>(*it)];
  }
};

using DocPtr = std::shared_ptr<const IniDoc>;

std::shared_ptr<IniDoc> parse(const QString& text, const FileFormat& format) {
  auto doc = std::make_shared<IniDoc>();
  doc->format = format;
  doc->lines =
      text.contains(QChar(0)) ? QString(text).remove(QChar(0)).split(QLatin1Char('\n')) : text.split(QLatin1Char('\n'));
  if (!doc->lines.isEmpty() && doc->lines.last().isEmpty()) doc->lines.removeLast();
  for (QString& line : doc->lines)
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);

  Section current;  // the lines before the first header
  auto close = [&](int end) {
    current.endLine = end;
    if (current.headerLine >= 0 && !doc->index.contains(fold(current.name)))
      doc->index.insert(fold(current.name), static_cast<int>(doc->sections.size()));
    doc->sections.push_back(std::move(current));
  };
  for (int i = 0; i < doc->lines.size(); ++i) {
    const QStringView trimmed = QStringView(doc->lines[i]).trimmed();
    if (trimmed.isEmpty()) continue;
    // A header needs its "]": a line "[Name" opens no section and stays a line of the current one.
    const qsizetype end = trimmed.startsWith(QLatin1Char('[')) ? trimmed.indexOf(QLatin1Char(']')) : -1;
    if (end > 0) {
      close(i);
      current = Section{};
      current.name = trimmed.mid(1, end - 1).trimmed().toString();
      current.headerLine = i;
      current.lastContentLine = i;
      continue;
    }
    Entry entry;
    entry.text = trimmed;
    entry.line = i;
    entry.comment = trimmed.startsWith(QLatin1Char(';'));
    if (!entry.comment) {
      qsizetype eq = trimmed.indexOf(QLatin1Char('='));
      entry.key = eq < 0 ? trimmed : trimmed.left(eq).trimmed();
      entry.value = eq < 0 ? QStringView() : trimmed.mid(eq + 1).trimmed();
      entry.hasValue = eq >= 0;
      QString folded = entry.key.toString().toCaseFolded();
      if (!current.keys.contains(folded)) current.keys.insert(folded, static_cast<int>(current.entries.size()));
    }
    current.lastContentLine = i;
    current.entries.push_back(std::move(entry));
  }
  close(static_cast<int>(doc->lines.size()));
  return doc;
}

// ---------------------------------------------------------------------------------------------
// Reading files, with the cache of parsed files

struct CacheEntry {
  QString fileName;
  int codePage = 0;
  FileStamp stamp;
  DocPtr doc;
  quint64 lastUse = 0;
};

constexpr size_t kCacheFiles = 8;

class DocCache {
 public:
  DocPtr find(const QString& fileName, int codePage, const FileStamp& stamp) {
    std::lock_guard lock(mutex_);
    for (CacheEntry& e : entries_)
      if (e.codePage == codePage && e.stamp == stamp && e.fileName == fileName) {
        e.lastUse = ++clock_;
        return e.doc;
      }
    return nullptr;
  }
  void store(const QString& fileName, int codePage, const FileStamp& stamp, DocPtr doc) {
    std::lock_guard lock(mutex_);
    dropLocked(fileName, codePage);
    if (entries_.size() >= kCacheFiles) {
      auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                     [](const CacheEntry& a, const CacheEntry& b) { return a.lastUse < b.lastUse; });
      entries_.erase(oldest);
    }
    entries_.push_back(CacheEntry{fileName, codePage, stamp, std::move(doc), ++clock_});
  }
  void drop(const QString& fileName) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const CacheEntry& e) { return e.fileName == fileName; });
  }
  void clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
  }

 private:
  void dropLocked(const QString& fileName, int codePage) {
    std::erase_if(entries_, [&](const CacheEntry& e) { return e.fileName == fileName && e.codePage == codePage; });
  }
  std::mutex mutex_;
  std::vector<CacheEntry> entries_;
  quint64 clock_ = 0;
};

DocCache& cache() {
  static DocCache instance;
  return instance;
}

// A FIFO, a device or a socket in place of an INI file would block a read for ever or have side
// effects: such a file is never opened for reading nor replaced. Reported once per name.
void refuseSpecialFile(const QString& fileName) {
  static std::mutex mutex;
  static QSet<QString> reported;
  std::lock_guard lock(mutex);
  if (!reported.contains(fileName)) {
    reported.insert(fileName);
    WriteErrorLog(
        QStringLiteral("INI %1: %2 not a regular file, neither read nor written").arg(fileName).arg(err::FileError));
  }
}

// Reads and parses the file; null when it does not exist, is no regular file or cannot be read.
DocPtr readFile(const QString& fileName, int codePage, FileStamp* stampOut = nullptr) {
  FileBuffers& b = buffers();
  FileStamp stamp;
  QString problem;
  switch (platform::readRegularFile(fileName, b.bytes, &stamp, problem)) {
    case platform::ReadResult::Read:
      break;
    case platform::ReadResult::Missing:
      return nullptr;
    case platform::ReadResult::Special:
      refuseSpecialFile(fileName);
      return nullptr;
    case platform::ReadResult::Failed:
      WriteLog(QStringLiteral("INI: cannot read %1: %2").arg(fileName, problem), kDetail);
      return nullptr;
  }
  FileFormat format;
  decodeFile(b.bytes, codePage, format, b.text);
  if (stampOut) *stampOut = stamp;
  DocPtr doc = parse(b.text, format);
  b.release();
  return doc;
}

DocPtr loadDoc(const QString& fileName, int codePage) {
  if (fileName.isEmpty()) return nullptr;
  FileStamp stamp;
  switch (platform::fileKind(fileName, &stamp)) {
    case platform::FileKind::Missing:
      return nullptr;
    case platform::FileKind::Special:
      refuseSpecialFile(fileName);
      return nullptr;
    case platform::FileKind::Regular:
      break;
  }
  if (!stamp.recent())
    if (DocPtr doc = cache().find(fileName, codePage, stamp)) return doc;
  FileStamp readStamp;
  DocPtr doc = readFile(fileName, codePage, &readStamp);
  if (doc && !readStamp.recent()) cache().store(fileName, codePage, readStamp, doc);
  return doc;
}

// ---------------------------------------------------------------------------------------------
// Buffers

quint32 copyValue(QStringView value, QString& buffer, quint32 size) {
  if (size == 0) return 0;
  if (static_cast<quint32>(buffer.size()) < size) buffer.resize(size);
  QChar* out = buffer.data();
  quint32 n = std::min<quint32>(static_cast<quint32>(value.size()), size - 1);
  std::copy_n(value.constData(), n, out);
  out[n] = QChar(0);
  return n;
}

// Writes a list into a caller's buffer as it is produced: each item followed by a NUL, the list
// by a second NUL; a list that does not fit is cut and ends with two NULs (count size - 2).
class ListWriter {
 public:
  ListWriter(QString& buffer, quint32 size) : size_(size) {
    if (size == 0) return;
    if (static_cast<quint32>(buffer.size()) < size) buffer.resize(size);
    out_ = buffer.data();
    out_[0] = QChar(0);
  }

  // Appends one item made of the given parts; false once the list is full.
  bool add(std::initializer_list<QStringView> parts) {
    if (size_ < 2 || cut_) return false;
    quint32 len = 0;
    for (QStringView p : parts) len += static_cast<quint32>(p.size());
    if (pos_ + len + 1 > size_ - 1) {                          // item, its NUL and the final NUL must fit
      quint32 room = pos_ < size_ - 2 ? size_ - 2 - pos_ : 0;  // the list may be full already
      for (QStringView p : parts) {
        const quint32 n = std::min(room, static_cast<quint32>(p.size()));
        std::copy_n(p.data(), n, out_ + pos_);
        pos_ += n;
        room -= n;
      }
      out_[size_ - 2] = QChar(0);
      out_[size_ - 1] = QChar(0);
      cut_ = true;
      return false;
    }
    for (QStringView p : parts) {
      std::copy_n(p.data(), p.size(), out_ + pos_);
      pos_ += static_cast<quint32>(p.size());
    }
    out_[pos_++] = QChar(0);
    return true;
  }

  quint32 finish() {
    if (size_ < 2) return 0;
    if (cut_) return size_ - 2;
    out_[pos_] = QChar(0);
    if (pos_ == 0) out_[1] = QChar(0);
    return pos_;
  }

 private:
  quint32 size_;
  QChar* out_ = nullptr;
  quint32 pos_ = 0;
  bool cut_ = false;
};

// Counts what a list needs without writing it: each item and its NUL, and the final NUL.
class ListMeasure {
 public:
  bool add(std::initializer_list<QStringView> parts) {
    for (QStringView p : parts) size_ += static_cast<quint64>(p.size());
    ++size_;
    return true;
  }
  quint64 finish() const { return std::max<quint64>(size_ + 1, 2); }

 private:
  quint64 size_ = 0;
};

template <class Out>
void sectionNames(const IniDoc* doc, Out& out) {
  if (doc)
    for (const Section& s : doc->sections)
      if (s.headerLine >= 0 && !out.add({s.name})) return;
}

// The section's lines as a whole-section read gives them: "key=value" without the blanks around
// "=", a key without "=" alone, comments as they stand.
template <class Out>
void sectionLines(const Section* section, Out& out) {
  if (!section) return;
  const QStringView eq(u"=");
  for (const Entry& e : section->entries) {
    const bool more = e.hasValue ? out.add({e.key, eq, e.value}) : out.add({e.comment ? e.text : e.key});
    if (!more) return;
  }
}

// A value in double or single quotes is read without them ("" and '' are empty values).
QStringView unquote(QStringView value) {
  if (value.size() > 1 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    return value.sliced(1, value.size() - 2);
  return value;
}

QString stripTrailingBlanks(QString s) {
  qsizetype n = s.size();
  while (n > 0 && (s[n - 1] == QLatin1Char(' ') || s[n - 1] == QLatin1Char('\t'))) --n;
  s.truncate(n);
  return s;
}

// ---------------------------------------------------------------------------------------------
// Writing

// A writer waits this long for the lock of another, then gives up: all writes happen on the
// interface thread, which must not hang on a stuck process.
constexpr int kLockWaitMs = 1000;

bool hasLineBreak(const QString& s) {
  return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')) || s.contains(QChar(0));
}

QString checkSectionName(const QString& name) {
  if (hasLineBreak(name) || name.contains(QLatin1Char(']')))
    return QStringLiteral("section name \"%1\" contains a line break or \"]\"").arg(name);
  return {};
}

QString checkKeyName(const QString& key) {
  const QString t = key.trimmed();
  if (t.isEmpty()) return QStringLiteral("empty key name");
  if (hasLineBreak(t) || t.contains(QLatin1Char('=')) || t.startsWith(QLatin1Char(';')) ||
      t.startsWith(QLatin1Char('[')))
    return QStringLiteral("key name \"%1\" cannot be written").arg(key);
  return {};
}

// Read-only as on Windows: no write permission at all counts even for a privileged user.
bool isReadOnly(const QFileInfo& info) {
  constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
  return !(info.permissions() & anyWrite) || !info.isWritable();
}

void writeFailed(const QString& fileName, const QString& reason) {
  WriteErrorLog(QStringLiteral("INI write %1: %2 %3").arg(fileName).arg(err::FileError).arg(reason));
}

// An edit of the file's lines; returns false (with a reason) when it cannot be made.
using Edit = std::function<bool(QStringList& lines, const IniDoc& doc, QString& reason)>;

// Logs the failed write and hands its reason to the caller that asked for it; false.
bool failed(const QString& fileName, const QString& reason, QString* problem) {
  writeFailed(fileName, reason);
  if (problem) *problem = reason;
  return false;
}

bool modifyFile(const QString& fileName, int codePage, const Edit& edit, QString* problem = nullptr) {
  return trapped("WritePrivateProfile", false, [&] {
    if (fileName.isEmpty()) return failed(fileName, QStringLiteral("no file name"), problem);
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) return failed(fileName, QStringLiteral("not a regular file"), problem);
    if (info.exists() && isReadOnly(info))
      return failed(fileName, QStringLiteral("the file is read-only or not a file"), problem);
    if (isReadOnly(QFileInfo(info.absolutePath())))
      return failed(fileName, QStringLiteral("the folder is missing or read-only"), problem);
    platform::FileLock lock;  // on a lock file beside the INI file
    QString lockProblem;
    if (!lock.acquire(fileName + QStringLiteral(".lock"), kLockWaitMs, lockProblem))
      return failed(fileName, lockProblem, problem);
    std::shared_ptr<const IniDoc> doc = readFile(fileName, codePage);
    if (!doc) {
      if (QFileInfo::exists(fileName)) return failed(fileName, QStringLiteral("cannot read the file"), problem);
      doc = parse(QString(), FileFormat{});  // a new file: UTF-8, CR LF
    }
    QStringList lines = doc->lines;
    QString reason;
    if (!edit(lines, *doc, reason)) return failed(fileName, reason, problem);
    const QString eol = doc->format.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    FileBuffers& b = buffers();
    b.text.resize(0);
    for (const QString& line : lines) {
      b.text += line;
      b.text += eol;
    }

    platform::FileReplacement out(fileName);
    QString ioProblem;
    if (!out.open(ioProblem)) return failed(fileName, ioProblem, problem);
    encodeFile(b.text, doc->format, fileName, b.bytes);
    const bool written = out.commit(b.bytes, ioProblem);
    b.release();
    if (!written) return failed(fileName, ioProblem, problem);
    cache().drop(fileName);
    return true;
  });
}

// Where a new line of a section goes: after its last non-blank line.
int insertionLine(const Section& s) { return s.lastContentLine + 1; }

void appendSection(QStringList& lines, const QString& name, const QStringList& body) {
  if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines.append(QString());
  lines.append(QLatin1Char('[') + name + QLatin1Char(']'));
  lines.append(body);
}

bool deleteSection(QStringList& lines, const IniDoc& doc, const QString& name) {
  const QString wanted = fold(name);
  for (auto it = doc.sections.rbegin(); it != doc.sections.rend(); ++it)
    if (it->headerLine >= 0 && fold(it->name) == wanted)
      lines.erase(lines.begin() + it->headerLine, lines.begin() + it->endLine);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

quint32 GetPrivateProfileString(const QString& appName, const QString& keyName, const QString& defaultValue,
                                QString& returnedString, quint32 size, const QString& fileName, int codePage) {
  return trapped("GetPrivateProfileString", quint32{0}, [&]() -> quint32 {
    DocPtr doc = loadDoc(fileName, codePage);
    if (appName.isNull()) {
      ListWriter out(returnedString, size);
      sectionNames(doc.get(), out);
      return out.finish();
    }
    const Section* section = doc ? doc->find(appName) : nullptr;
    if (keyName.isNull()) {
      ListWriter out(returnedString, size);
      if (section)
        for (const Entry& e : section->entries)
          if (!e.comment && !out.add({e.key})) break;
      return out.finish();
    }
    const Entry* entry = section ? section->find(keyName) : nullptr;
    if (entry && entry->hasValue) return copyValue(unquote(entry->value), returnedString, size);
    return copyValue(stripTrailingBlanks(defaultValue), returnedString, size);
  });
}

qint32 GetPrivateProfileInt(const QString& appName, const QString& keyName, qint32 defaultValue,
                            const QString& fileName, int codePage) {
  return trapped("GetPrivateProfileInt", defaultValue, [&]() -> qint32 {
    if (appName.isNull() || keyName.isNull()) return defaultValue;
    DocPtr doc = loadDoc(fileName, codePage);
    const Section* section = doc ? doc->find(appName) : nullptr;
    const Entry* entry = section ? section->find(keyName) : nullptr;
    const QStringView value = entry && entry->hasValue ? unquote(entry->value) : QStringView();
    if (value.isEmpty()) return defaultValue;
    qsizetype i = 0;
    bool negative = false;
    if (value[0] == QLatin1Char('-') || value[0] == QLatin1Char('+')) {
      negative = value[0] == QLatin1Char('-');
      ++i;
    }
    quint32 result = 0;  // wraps around like the 32-bit conversion of the system
    for (; i < value.size() && value[i] >= QLatin1Char('0') && value[i] <= QLatin1Char('9'); ++i)
      result = result * 10u + static_cast<quint32>(value[i].unicode() - u'0');
    return static_cast<qint32>(negative ? 0u - result : result);
  });
}

quint32 GetPrivateProfileSection(const QString& appName, QString& returnedString, quint32 size, const QString& fileName,
                                 int codePage) {
  return trapped("GetPrivateProfileSection", quint32{0}, [&]() -> quint32 {
    DocPtr doc = loadDoc(fileName, codePage);
    const Section* section = doc && !appName.isNull() ? doc->find(appName) : nullptr;
    ListWriter out(returnedString, size);
    sectionLines(section, out);
    return out.finish();
  });
}

quint32 GetPrivateProfileSectionSize(const QString& appName, const QString& fileName, int codePage) {
  return trapped("GetPrivateProfileSectionSize", quint32{2}, [&]() -> quint32 {
    DocPtr doc = loadDoc(fileName, codePage);
    ListMeasure out;
    if (appName.isNull()) sectionNames(doc.get(), out);
    else sectionLines(doc ? doc->find(appName) : nullptr, out);
    return static_cast<quint32>(std::min<quint64>(out.finish(), std::numeric_limits<quint32>::max()));
  });
}

quint32 GetPrivateProfileSectionNames(QString& returnedString, quint32 size, const QString& fileName, int codePage) {
  return trapped("GetPrivateProfileSectionNames", quint32{0}, [&]() -> quint32 {
    DocPtr doc = loadDoc(fileName, codePage);
    ListWriter out(returnedString, size);
    sectionNames(doc.get(), out);
    return out.finish();
  });
}

QList<std::pair<QString, QStringList>> GetPrivateProfileSections(const QString& fileName, int codePage) {
  using Sections = QList<std::pair<QString, QStringList>>;
  return trapped("GetPrivateProfileSections", Sections(), [&] {
    Sections out;
    DocPtr doc = loadDoc(fileName, codePage);
    if (!doc) return out;
    // Collects a section's lines as separate strings.
    struct LineList {
      QStringList lines;
      bool add(std::initializer_list<QStringView> parts) {
        QString line;
        for (QStringView p : parts) line += p;
        lines.append(std::move(line));
        return true;
      }
    };
    for (const Section& s : doc->sections) {
      if (s.headerLine < 0) continue;
      LineList list;
      sectionLines(doc->find(s.name), list);
      out.append({s.name, std::move(list.lines)});
    }
    return out;
  });
}

bool WritePrivateProfileString(const QString& appName, const QString& keyName, const QString& value,
                               const QString& fileName, int codePage) {
  if (appName.isNull()) {
    FlushPrivateProfileCache();  // the documented way to flush the system's cache
    return true;
  }
  const QString section = appName.trimmed();
  const QString key = keyName.trimmed();
  QString problem = checkSectionName(section);
  if (problem.isEmpty() && !keyName.isNull()) problem = checkKeyName(key);
  if (problem.isEmpty() && hasLineBreak(value)) problem = QStringLiteral("the value contains a line break");
  if (!problem.isEmpty()) {
    writeFailed(fileName, problem);
    return false;
  }
  return modifyFile(fileName, codePage, [&](QStringList& lines, const IniDoc& doc, QString&) {
    if (keyName.isNull()) return deleteSection(lines, doc, section);
    const Section* s = doc.find(section);
    const Entry* e = s ? s->find(key) : nullptr;
    if (value.isNull()) {
      if (e) lines.removeAt(e->line);
      return true;
    }
    if (e) lines[e->line] = e->key.toString() + QLatin1Char('=') + value;
    else if (s) lines.insert(insertionLine(*s), key + QLatin1Char('=') + value);
    else appendSection(lines, section, {key + QLatin1Char('=') + value});
    return true;
  });
}

bool WritePrivateProfileSection(const QString& appName, const QString& block, const QString& fileName, int codePage) {
  const QString section = appName.trimmed();
  QString problem = appName.isNull() ? QStringLiteral("no section name") : checkSectionName(section);
  QStringList body;
  if (!block.isNull())
    for (const QString& line : block.split(QChar(0))) {
      if (line.isEmpty()) break;  // the list ends at the first empty string
      if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')) ||
          line.trimmed().startsWith(QLatin1Char('[')))
        problem = QStringLiteral("line \"%1\" cannot be written").arg(line);
      body.append(line);
    }
  if (!problem.isEmpty()) {
    writeFailed(fileName, problem);
    return false;
  }
  return modifyFile(fileName, codePage, [&](QStringList& lines, const IniDoc& doc, QString&) {
    if (block.isNull()) return deleteSection(lines, doc, section);
    const Section* s = doc.find(section);
    if (!s) {
      appendSection(lines, section, body);
      return true;
    }
    // Rebuilt in one pass: inserting line by line would cost the rest of the file per line.
    QStringList rebuilt;
    rebuilt.reserve(lines.size() - (s->lastContentLine - s->headerLine) + body.size());
    rebuilt.append(lines.mid(0, s->headerLine + 1));
    rebuilt.append(body);
    rebuilt.append(lines.mid(s->lastContentLine + 1));
    lines = std::move(rebuilt);
    return true;
  });
}

QString QuotedValue(const QString& value) {
  if (value.isEmpty()) return value;
  const auto blankOrQuote = [](QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('"') || c == QLatin1Char('\'');
  };
  return blankOrQuote(value.front()) || blankOrQuote(value.back()) ? QLatin1Char('"') + value + QLatin1Char('"')
                                                                   : value;
}

bool WritePrivateProfileEntries(const QString& appName, const QList<std::pair<QString, QString>>& entries,
                                const QString& fileName, int codePage, QString* problem) {
  if (appName.isNull()) return failed(fileName, QStringLiteral("no section name"), problem);
  QList<ProfileEntry> all;
  all.reserve(entries.size());
  for (const auto& [key, value] : entries) all.append({appName, key, value});
  return WritePrivateProfileBatch(all, fileName, codePage, problem);
}

bool WritePrivateProfileBatch(const QList<ProfileEntry>& entries, const QString& fileName, int codePage,
                              QString* problem) {
  QString refused;
  for (const ProfileEntry& e : entries) {
    refused = checkSectionName(e.section.trimmed());
    if (refused.isEmpty()) refused = checkKeyName(e.key);
    if (refused.isEmpty() && hasLineBreak(e.value))
      refused = QStringLiteral("the value of \"%1\" contains a line break").arg(e.key.trimmed());
    if (!refused.isEmpty()) return failed(fileName, refused, problem);
  }
  return modifyFile(
      fileName, codePage,
      [&](QStringList& lines, const IniDoc& doc, QString& reason) {
        for (const ProfileEntry& e : entries)
          if (!encodable(e.key + e.value, doc.format)) {
            reason = QStringLiteral("the value of \"%1\" holds characters that code page %2 cannot hold")
                         .arg(e.key.trimmed())
                         .arg(doc.format.codePage ? doc.format.codePage : codepage::kWestern);
            return false;
          }
        // Per section in the order first named: the keys it does not have yet, in the order given
        // (a key given twice: its last value counts).
        QStringList order;
        QHash<QString, QStringList> added;
        QHash<QString, QString> names;
        for (const ProfileEntry& e : entries) {
          const QString section = e.section.trimmed(), key = e.key.trimmed(), folded = fold(section);
          const Section* s = doc.find(section);
          const Entry* found = s ? s->find(key) : nullptr;
          if (found) {
            lines[found->line] = found->key.toString() + QLatin1Char('=') + e.value;
            continue;
          }
          if (!names.contains(folded)) {
            names.insert(folded, section);
            order << folded;
          }
          QStringList& list = added[folded];
          const auto same = std::find_if(list.begin(), list.end(), [&](const QString& line) {
            return fold(line.section(QLatin1Char('='), 0, 0)) == fold(key);
          });
          if (same != list.end()) *same = key + QLatin1Char('=') + e.value;
          else list << key + QLatin1Char('=') + e.value;
        }
        // New keys of sections the file has, from the last section up so that line numbers hold;
        // then the new sections at the end.
        std::vector<std::pair<int, QString>> inserts;
        for (const QString& folded : order)
          if (const Section* s = doc.find(names.value(folded))) inserts.push_back({insertionLine(*s), folded});
        std::sort(inserts.begin(), inserts.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [at, folded] : inserts) {
          const QStringList& list = added.value(folded);
          QStringList rebuilt;
          rebuilt.reserve(lines.size() + list.size());
          rebuilt.append(lines.mid(0, at));
          rebuilt.append(list);
          rebuilt.append(lines.mid(at));
          lines = std::move(rebuilt);
        }
        for (const QString& folded : order)
          if (!doc.find(names.value(folded))) appendSection(lines, names.value(folded), added.value(folded));
        return true;
      },
      problem);
}

QList<bool> Encodable(const QStringList& texts, const QString& fileName, int codePage) {
  return trapped("Encodable", QList<bool>(texts.size(), false), [&] {
    DocPtr doc = loadDoc(fileName, codePage);  // once: a file just written is read again on every call
    const FileFormat format = doc ? doc->format : FileFormat{};
    QList<bool> fits;
    fits.reserve(texts.size());
    for (const QString& text : texts) fits.append(encodable(text, format));
    return fits;
  });
}

void FlushPrivateProfileCache() { cache().clear(); }

}  // namespace jex::ini
