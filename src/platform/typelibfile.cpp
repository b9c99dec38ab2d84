#include "platform/typelibfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QtEndian>
#include <cstring>
#include <memory>

#include "base/codepages.h"
#include "base/error.h"

// The layout read here: a header (magic "MSFT", library identity, the number of type
// descriptions), an optional help-DLL string offset, one offset per type description, and a
// directory of fifteen segments (offset, length, two reserved words). Segments: 0 the type
// descriptions (100 bytes each), 1 import entries, 2 imported files, 3 implemented-interface
// entries, 4 GUID hash, 5 GUIDs, 6 name hash, 7 names, 8 strings, 9 type descriptors, 10 array
// descriptors, 11 custom data and constant values, 12 custom-data GUIDs, 13 and 14 reserved. The
// members of each type description lie after the segments at the description's member offset:
// their total length, the records, then one member id, one name offset and one record offset per
// member.

namespace jex::platform {

using namespace typeinfo;

namespace {

struct Fault {
  QString text;
};

[[noreturn]] void fail(const QString& text) { throw Fault{text}; }

constexpr qint64 kHeaderBytes = 0x54;
constexpr qint64 kTypeInfoBytes = 100;
constexpr int kSegments = 15;
constexpr int kMaxTypeDepth = 32;  // pointer to pointer to ... deeper than any real library

enum Seg {
  SegTypeInfo = 0,
  SegImpInfo = 1,
  SegImpFiles = 2,
  SegRefTab = 3,
  SegGuids = 5,
  SegNames = 7,
  SegStrings = 8,
  SegTypeDesc = 9,
  SegArrayDesc = 10,
  SegCustData = 11
};

const char* segName(int s) {
  static const char* names[kSegments] = {
      "type descriptions", "imports",  "imported files", "interface references", "GUID hash",         "GUIDs",
      "name hash",         "names",    "strings",        "type descriptors",     "array descriptors", "values",
      "custom-data GUIDs", "reserved", "reserved"};
  return names[s];
}

// The identifiers every automation library knows without reading stdole.
QString wellKnownName(const QString& guid) {
  static const QHash<QString, QString> names{
      {QStringLiteral("{00000000-0000-0000-C000-000000000046}"), QStringLiteral("IUnknown")},
      {QStringLiteral("{00020400-0000-0000-C000-000000000046}"), QStringLiteral("IDispatch")},
      {QStringLiteral("{00020404-0000-0000-C000-000000000046}"), QStringLiteral("IEnumVARIANT")}};
  return names.value(guid);
}

class Parser {
 public:
  Parser(const QByteArray& data, QString file, ImportFinder finder, int importDepth)
      : d_(data), size_(data.size()), file_(std::move(file)), finder_(std::move(finder)), depth_(importDepth) {}

  Library parse();
  // The names and identifiers of the type descriptions, in file order (for an importing library).
  QVector<QPair<QString, QString>> typeNames() const { return typeNames_; }

 private:
  struct Segment {
    qint64 off = -1;
    qint64 len = 0;
  };

  qint32 i32(qint64 at) const {
    if (at < 0 || at > size_ - 4) fail(QStringLiteral("offset %1 lies outside the file").arg(at));
    return qFromLittleEndian<qint32>(d_.constData() + at);
  }
  quint16 u16(qint64 at) const {
    if (at < 0 || at > size_ - 2) fail(QStringLiteral("offset %1 lies outside the file").arg(at));
    return qFromLittleEndian<quint16>(d_.constData() + at);
  }
  // The file offset of rel within segment s, with need bytes there.
  qint64 inSeg(int s, qint64 rel, qint64 need) const {
    const Segment& g = seg_[s];
    if (g.off < 0 || rel < 0 || need < 0 || rel > g.len - need)
      fail(QStringLiteral("offset %1 lies outside the %2 segment").arg(rel).arg(QLatin1String(segName(s))));
    return g.off + rel;
  }
  QString text(qint64 at, qint64 len) const {
    return codepage::decode(QByteArrayView(d_.constData() + at, len), codepage::kWestern);
  }
  QString name(qint32 rel) const {
    if (rel == -1) return {};
    const qint64 at = inSeg(SegNames, rel, 12);
    const qint64 len = i32(at + 8) & 0xFF;
    inSeg(SegNames, rel, 12 + len);
    return text(at + 12, len);
  }
  QString string(qint32 rel) const {
    if (rel == -1) return {};
    const qint64 at = inSeg(SegStrings, rel, 2);
    const qint64 len = u16(at);
    inSeg(SegStrings, rel, 2 + len);
    return text(at + 2, len);
  }
  QString guid(qint32 rel) const {
    if (rel == -1) return {};
    const qint64 at = inSeg(SegGuids, rel, 16);
    const auto* p = reinterpret_cast<const uchar*>(d_.constData() + at);
    QString s = QStringLiteral("{%1-%2-%3-")
                    .arg(qFromLittleEndian<quint32>(p), 8, 16, QLatin1Char('0'))
                    .arg(qFromLittleEndian<quint16>(p + 4), 4, 16, QLatin1Char('0'))
                    .arg(qFromLittleEndian<quint16>(p + 6), 4, 16, QLatin1Char('0'));
    for (int i = 8; i < 16; ++i) {
      if (i == 10) s += u'-';
      s += QStringLiteral("%1").arg(p[i], 2, 16, QLatin1Char('0'));
    }
    return s.toUpper() + u'}';
  }

  void readHeader(Library& lib);
  void readTypeInfo(int index, Library& lib);
  Type type(qint32 encoded, int depth = 0);
  QString userTypeName(qint32 href);
  QString importedName(qint32 href);
  int localIndex(qint32 href) const { return byOffset_.value(href, -1); }
  QVariant value(qint32 encoded) const;
  void readMembers(qint64 memOffset, int functions, int variables, Class& cls);

  const QByteArray& d_;
  const qint64 size_;
  QString file_;
  ImportFinder finder_;
  int depth_;
  Segment seg_[kSegments];
  QVector<qint64> typeInfoAt_;   // file offsets of the type descriptions
  QHash<qint32, int> byOffset_;  // segment offset -> index
  QVector<QPair<QString, QString>> typeNames_;
  struct Imported {
    bool tried = false;
    QVector<QPair<QString, QString>> names;
  };
  QHash<QString, Imported> imports_;  // by lower-case file name
  QStringList importFiles_;
};

void Parser::readHeader(Library& lib) {
  if (size_ < 4) fail(QStringLiteral("not a type library"));
  if (std::memcmp(d_.constData(), "MSFT", 4) != 0) fail(QStringLiteral("not a type library"));
  if (size_ < kHeaderBytes) fail(QStringLiteral("the header is cut off"));
  if (i32(4) != 0x00010002) fail(QStringLiteral("not a type library"));
  const qint32 varFlags = i32(0x14);
  const qint64 count = i32(0x20);
  if (count < 0) fail(QStringLiteral("a negative number of types"));
  qint64 at = kHeaderBytes + ((varFlags & 0x100) ? 4 : 0);
  if (count > (size_ - at) / 4) fail(QStringLiteral("%1 types are more than the file holds").arg(count));
  const qint64 offsetsAt = at;
  at += count * 4;
  if (at > size_ - kSegments * 16) fail(QStringLiteral("the segment directory is cut off"));
  for (int s = 0; s < kSegments; ++s) {
    const qint64 off = i32(at + s * 16);
    const qint64 len = i32(at + s * 16 + 4);
    if (off == -1) continue;
    if (off < 0 || len < 0 || off > size_ || len > size_ - off)
      fail(QStringLiteral("the %1 segment lies outside the file").arg(QLatin1String(segName(s))));
    seg_[s] = {off, len};
  }
  typeInfoAt_.reserve(count);
  for (qint64 i = 0; i < count; ++i) {
    const qint32 rel = i32(offsetsAt + i * 4);
    typeInfoAt_.append(inSeg(SegTypeInfo, rel, kTypeInfoBytes));
    byOffset_.insert(rel, int(i));
  }

  const int sys = varFlags & 0xF;
  if (sys > 3) fail(QStringLiteral("unknown system kind %1").arg(sys));
  lib.systemKind = SystemKind(sys);
  lib.guid = guid(i32(0x08));
  const quint32 version = quint32(i32(0x18));
  lib.majorVersion = int(version & 0xFFFF);
  lib.minorVersion = int(version >> 16);
  lib.help = string(i32(0x24));
  lib.name = name(i32(0x38));
  lib.helpFile = string(i32(0x3C));
  for (qint64 i = 0; i < count; ++i) {
    const qint64 ti = typeInfoAt_[i];
    typeNames_.append({name(i32(ti + 0x34)), guid(i32(ti + 0x2C))});
  }
}

QString Parser::importedName(qint32 href) {
  const qint64 at = inSeg(SegImpInfo, href & ~3, 12);
  const qint32 flags = i32(at);
  const qint32 fileRel = i32(at + 4);
  const qint32 ref = i32(at + 8);
  const qint64 fileAt = inSeg(SegImpFiles, fileRel, 14);
  const qint64 nameLen = u16(fileAt + 12) >> 2;
  inSeg(SegImpFiles, fileRel, 14 + nameLen);
  const QString importFile = text(fileAt + 14, nameLen);
  const bool byGuid = flags & 0x10000;
  const QString typeGuid = byGuid ? guid(ref) : QString();
  if (!importFiles_.contains(importFile, Qt::CaseInsensitive)) importFiles_ << importFile;

  Imported& imp = imports_[importFile.toLower()];
  if (!imp.tried && depth_ == 0 && !importFile.isEmpty() && !importFile.contains(QChar(0))) {
    imp.tried = true;
    // Beside the library, when it was read from a file; else where the finder says.
    QString path;
    if (QFileInfo(file_).isFile()) path = QFileInfo(QFileInfo(file_).dir(), importFile).filePath();
    if (!QFileInfo(path).isFile() && finder_) path = finder_(importFile);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
      QFile f(path);
      const QFileInfo info(path);
      if (info.size() <= kMaxTypeLibraryBytes && f.open(QIODevice::ReadOnly)) {
        const QByteArray data = f.read(kMaxTypeLibraryBytes);
        Parser inner(data, path, {}, depth_ + 1);
        try {
          inner.parse();
          imp.names = inner.typeNames();
        } catch (const Fault&) {
          // The type keeps its identifier; the library itself still reads.
        }
      }
    }
  }
  if (byGuid) {
    for (const auto& [n, g] : imp.names)
      if (g == typeGuid) return n;
    const QString known = wellKnownName(typeGuid);
    return known.isEmpty() ? typeGuid : known;
  }
  if (ref >= 0 && ref < imp.names.size()) return imp.names[ref].first;
  return importFile + u'#' + QString::number(ref);
}

QString Parser::userTypeName(qint32 href) {
  if (href & 1) return importedName(href);
  const int index = localIndex(href);
  if (index < 0) fail(QStringLiteral("type reference %1 names no type").arg(href));
  return typeNames_[index].first;
}

Type Parser::type(qint32 encoded, int depth) {
  if (depth > kMaxTypeDepth) fail(QStringLiteral("type references run in a circle"));
  Type t;
  if (encoded < 0) {
    t.varType = encoded & 0xFFFF;
    return t;
  }
  const qint64 at = inSeg(SegTypeDesc, encoded, 8);
  const int vtNumber = i32(at) & 0xFFFF;
  const qint32 ref = i32(at + 4);
  switch (vtNumber) {
    case vt::Ptr:
      t = type(ref, depth + 1);
      ++t.pointerLevel;
      return t;
    case vt::SafeArray:
      t = type(ref, depth + 1);
      t.isArray = true;
      t.bounds.clear();
      return t;
    case vt::CArray: {
      const qint64 a = inSeg(SegArrayDesc, ref, 8);
      const int dims = u16(a + 4);
      inSeg(SegArrayDesc, ref, 8 + qint64(dims) * 8);
      t = type(i32(a), depth + 1);
      t.isArray = true;
      t.bounds.clear();
      t.bounds.reserve(dims);
      for (int i = 0; i < dims; ++i) {
        const qint64 count = i32(a + 8 + i * 8);
        const qint64 lower = i32(a + 12 + i * 8);
        t.bounds.append({lower, lower + count - 1});
      }
      return t;
    }
    case vt::UserDefined:
      t.varType = vt::Empty;
      t.userType = userTypeName(ref);
      return t;
    default:
      t.varType = vtNumber;
      return t;
  }
}

QVariant Parser::value(qint32 encoded) const {
  if (encoded < 0) {
    const int vtNumber = (quint32(encoded) >> 26) & 0x1F;
    const qint32 v = encoded & 0x3FFFFFF;
    if (vtNumber == vt::Bool) return QVariant(v != 0);
    return QVariant(qlonglong(v));
  }
  const qint64 at = inSeg(SegCustData, encoded, 2);
  const int vtNumber = u16(at);
  auto bytes = [&](qint64 n) { return inSeg(SegCustData, encoded, 2 + n) + 2; };
  switch (vtNumber) {
    case vt::I1:
      return qlonglong(qint8(d_[bytes(1)]));
    case vt::UI1:
      return qlonglong(quint8(d_[bytes(1)]));
    case vt::I2:
      return qlonglong(qint16(u16(bytes(2))));
    case vt::UI2:
      return qlonglong(u16(bytes(2)));
    case vt::Bool:
      return QVariant(u16(bytes(2)) != 0);
    case vt::I4:
    case vt::Int:
    case vt::Error:
    case vt::HResult:
      return qlonglong(i32(bytes(4)));
    case vt::UI4:
    case vt::UInt:
      return qlonglong(quint32(i32(bytes(4))));
    case vt::R4: {
      const quint32 raw = quint32(i32(bytes(4)));
      float f;
      std::memcpy(&f, &raw, 4);
      return double(f);
    }
    case vt::I8:
    case vt::UI8:
    case vt::R8:
    case vt::Cy:
    case vt::Date: {
      const qint64 p = bytes(8);
      const qint64 raw = qFromLittleEndian<qint64>(d_.constData() + p);
      if (vtNumber == vt::R8 || vtNumber == vt::Date) {
        double dbl;
        std::memcpy(&dbl, &raw, 8);
        return dbl;
      }
      if (vtNumber == vt::Cy) return double(raw) / 10000.0;
      return qlonglong(raw);
    }
    case vt::Bstr:
    case vt::LpStr:
    case vt::LpWStr: {
      const qint64 len = i32(bytes(4));
      if (len < 0) fail(QStringLiteral("a string constant of negative length"));
      const qint64 p = inSeg(SegCustData, encoded, 6 + len);
      return text(p + 6, len);
    }
    default:
      fail(QStringLiteral("a constant of type %1").arg(vtNumber));
  }
}

void Parser::readMembers(qint64 memOffset, int functions, int variables, Class& cls) {
  const qint64 n = qint64(functions) + variables;
  const qint64 infoLen = i32(memOffset);
  const qint64 base = memOffset + 4;
  if (infoLen < 0 || infoLen > size_ - base)
    fail(QStringLiteral("the members of %1 lie outside the file").arg(cls.name));
  const qint64 tables = base + infoLen;
  if (n * 12 > size_ - tables) fail(QStringLiteral("the member tables of %1 are cut off").arg(cls.name));
  cls.members.reserve(n);
  for (qint64 k = 0; k < n; ++k) {
    const qint64 rel = i32(tables + 8 * n + 4 * k);
    const bool isFunction = k < functions;
    const qint64 minLen = isFunction ? 24 : 20;
    if (rel < 0 || rel > infoLen - minLen) fail(QStringLiteral("a member record of %1 lies outside").arg(cls.name));
    const qint64 r = base + rel;
    const qint64 recLen = i32(r) & 0xFFFF;
    if (recLen < minLen || recLen > infoLen - rel)
      fail(QStringLiteral("a member record of %1 has a bad length").arg(cls.name));
    Member m;
    m.memberId = i32(tables + 4 * k);
    m.name = name(i32(tables + 4 * n + 4 * k));
    const qint32 dataType = i32(r + 4);
    if (isFunction) {
      const qint32 flags = i32(r + 16);
      const qint64 args = u16(r + 20);
      const qint64 paramsAt = r + recLen - args * 12;
      if (paramsAt < r + 24)
        fail(QStringLiteral("%1.%2 has more parameters than its record holds").arg(cls.name, m.name));
      qint64 optional = (paramsAt - r - 24) / 4;
      if (flags & 0x1000) optional -= args;  // default values before the parameters
      if (optional < 0)
        fail(QStringLiteral("%1.%2 has more default values than its record holds").arg(cls.name, m.name));
      auto opt = [&](int i) { return i < optional ? i32(r + 24 + 4 * i) : -1; };
      switch ((flags >> 3) & 0xF) {
        case 2:
          m.invokeKind = InvokeKind::PropertyGet;
          break;
        case 4:
          m.invokeKind = InvokeKind::PropertyPut;
          break;
        case 8:
          m.invokeKind = InvokeKind::PropertyPutRef;
          break;
        default:
          m.invokeKind = InvokeKind::Function;
      }
      m.help = string(opt(1));
      if (cls.kind == ClassKind::Modules && optional > 2) {
        if (flags & 0x2000) m.entryOrdinal = opt(2);
        else if (opt(2) != -1) m.entryName = string(opt(2));
      }
      m.result = type(dataType);
      m.parameters.reserve(args);
      for (qint64 p = 0; p < args; ++p) {
        Parameter prm;
        prm.type = type(i32(paramsAt + p * 12));
        prm.name = name(i32(paramsAt + p * 12 + 4));
        prm.flags = i32(paramsAt + p * 12 + 8);
        m.parameters.append(prm);
      }
    } else {
      const int varKind = u16(r + 12);
      const qint32 offsValue = i32(r + 16);
      const qint64 optional = (recLen - 20) / 4;
      if (optional > 1) m.help = string(i32(r + 24));
      m.result = type(dataType);
      if (varKind == 2) {  // a constant
        m.hasValue = true;
        m.value = value(offsValue);
      }
    }
    cls.members.append(std::move(m));
  }
}

void Parser::readTypeInfo(int index, Library& lib) {
  const qint64 ti = typeInfoAt_[index];
  const int typeKind = i32(ti) & 0xF;
  const QString typeName = typeNames_[index].first;
  if (typeKind == 6) {  // an alias: a type name, no class
    lib.aliases.append({typeName, type(i32(ti + 0x54))});
    return;
  }
  Class c;
  c.name = typeName;
  c.guid = typeNames_[index].second;
  c.help = string(i32(ti + 0x3C));
  const quint32 elements = quint32(i32(ti + 0x18));
  const int functions = int(elements & 0xFFFF);
  const int variables = int(elements >> 16);
  const qint32 datatype1 = i32(ti + 0x54);
  switch (typeKind) {
    case 0:
      c.kind = ClassKind::Constants;
      break;
    case 1:
    case 7:
      c.kind = ClassKind::Record;
      c.isUnion = typeKind == 7;
      break;
    case 2:
      c.kind = ClassKind::Modules;
      c.moduleFile = string(datatype1);
      break;
    case 3:
    case 4:
      c.kind = ClassKind::Interface;
      c.isDispatch = typeKind == 4;
      if (datatype1 != -1) {
        c.baseName = userTypeName(datatype1);
        if (!(datatype1 & 1)) c.baseIndex = localIndex(datatype1);
      }
      break;
    case 5: {
      c.kind = ClassKind::CoClass;
      const qint64 implemented = i32(ti + 0x4C) & 0xFFFF;
      const qint64 limit = seg_[SegRefTab].len / 16;
      qint32 rel = datatype1;
      for (qint64 k = 0; k < implemented && rel != -1; ++k) {
        if (k >= limit) fail(QStringLiteral("the interfaces of %1 run in a circle").arg(c.name));
        const qint64 at = inSeg(SegRefTab, rel, 16);
        const qint32 href = i32(at);
        const qint32 flags = i32(at + 4);
        ImplementedInterface ii;
        ii.name = userTypeName(href);
        ii.isDefault = flags & 0x1;
        ii.isSource = flags & 0x2;
        if (!(href & 1)) ii.classIndex = localIndex(href);
        c.interfaces.append(ii);
        rel = i32(at + 12);
      }
      break;
    }
    default:
      fail(QStringLiteral("%1 is of unknown kind %2").arg(typeName).arg(typeKind));
  }
  if (functions + variables > 0) {
    const qint64 memOffset = i32(ti + 0x04);
    if (memOffset < 0 || memOffset > size_ - 4)
      fail(QStringLiteral("the members of %1 lie outside the file").arg(typeName));
    readMembers(memOffset, functions, variables, c);
  }
  lib.classes.append(std::move(c));
}

Library Parser::parse() {
  Library lib;
  lib.file = file_;
  readHeader(lib);
  if (depth_ > 0) return lib;  // an imported library gives only its type names
  lib.classes.reserve(typeInfoAt_.size());
  // Type descriptions refer to each other by their place in the file; aliases are no classes,
  // so those places become places in the class list.
  QVector<int> classOf(typeInfoAt_.size(), -1);
  for (int i = 0; i < typeInfoAt_.size(); ++i) {
    const qsizetype before = lib.classes.size();
    readTypeInfo(i, lib);
    if (lib.classes.size() > before) classOf[i] = int(before);
  }
  auto remap = [&](int& index) { index = (index >= 0 && index < classOf.size()) ? classOf[index] : -1; };
  for (Class& c : lib.classes) {
    remap(c.baseIndex);
    for (ImplementedInterface& ii : c.interfaces) remap(ii.classIndex);
  }
  lib.imports = importFiles_;
  return lib;
}

}  // namespace

TypeLibRead readTypeLibraryData(const QByteArray& data, const QString& name, const ImportFinder& finder) {
  TypeLibRead result;
  try {
    Parser parser(data, name, finder, 0);
    result.library = parser.parse();
    result.ok = true;
  } catch (const Fault& f) {
    result.error = name + QStringLiteral(": ") + f.text;
  } catch (const std::bad_alloc&) {
    result.error = name + QStringLiteral(": out of memory");
  }
  return result;
}

TypeLibRead readTypeLibrary(const QString& file, const ImportFinder& finder) {
  return trapped("readTypeLibrary", TypeLibRead{false, {}, file + QStringLiteral(": could not be read")}, [&] {
    TypeLibRead result;
    const QFileInfo before(file);
    if (!before.exists()) {
      result.error = file + QStringLiteral(": file not found");
      return result;
    }
    if (before.isDir()) {
      result.error = file + QStringLiteral(": is a folder, not a type library");
      return result;
    }
    if (!before.isFile()) {
      result.error = file + QStringLiteral(": is no regular file");
      return result;
    }
    if (before.size() > kMaxTypeLibraryBytes) {
      result.error = file + QStringLiteral(": %1 bytes are too large for a type library").arg(before.size());
      return result;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
      result.error = file + QStringLiteral(": cannot be opened (%1)").arg(f.errorString());
      return result;
    }
    const QByteArray data = f.read(kMaxTypeLibraryBytes + 1);
    const QFileInfo after(file);
    if (data.size() != before.size() || after.size() != before.size() ||
        after.lastModified() != before.lastModified()) {
      result.error = file + QStringLiteral(": changed while it was read");
      return result;
    }
    return readTypeLibraryData(data, file, finder);
  });
}

}  // namespace jex::platform
