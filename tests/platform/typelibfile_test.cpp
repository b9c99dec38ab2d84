// The type library reader on libraries that widl made from typelibs/*.idl at build time, 64-bit
// and 32-bit, and on those libraries cut short and spoilt.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "platform/typelibfile.h"
#include "tests/support/text.h"

#ifdef JEX_TEST_TYPELIBS

using namespace jex::typeinfo;
using jex::platform::readTypeLibrary;
using jex::platform::readTypeLibraryData;

namespace {

QString fixture(const char* name) { return QDir(QStringLiteral(JEX_TEST_TYPELIBS)).filePath(QString::fromUtf8(name)); }

QByteArray bytesOf(const QString& file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const Member* member(const Class& c, const QString& name, InvokeKind kind) {
  for (const Member& m : c.members)
    if (m.name == name && m.invokeKind == kind) return &m;
  return nullptr;
}

// Both word sizes of the same library.
class ShapesTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    read_ = readTypeLibrary(fixture(GetParam()));
    ASSERT_TRUE(read_.ok) << read_.error.toStdString();
  }
  const Library& lib() const { return read_.library; }
  const Class& cls(const char* name) const {
    const Class* c = lib().findClass(QString::fromUtf8(name));
    if (!c) throw std::runtime_error(std::string("no class ") + name);
    return *c;
  }
  jex::platform::TypeLibRead read_;
};

TEST_P(ShapesTest, LibraryIdentity) {
  EXPECT_EQ(lib().name, "Shapes");
  EXPECT_EQ(lib().help, "Shapes for the tests");
  EXPECT_EQ(lib().helpFile, "shapes.hlp");
  EXPECT_EQ(lib().guid, "{5B0C2F1E-7A41-4C36-9D0E-1F2A3B4C5D60}");
  EXPECT_EQ(lib().majorVersion, 2);
  EXPECT_EQ(lib().minorVersion, 7);
  EXPECT_EQ(lib().systemKind, QString::fromUtf8(GetParam()).contains("32") ? SystemKind::Win32 : SystemKind::Win64);
  EXPECT_TRUE(lib().imports.contains("colours.tlb"));
}

TEST_P(ShapesTest, EveryClassHasItsKindAndAliasesAreTypeNamesOnly) {
  const QList<std::pair<const char*, ClassKind>> kinds{
      {"Fill", ClassKind::Constants},   {"Point", ClassKind::Record},           {"Number", ClassKind::Record},
      {"IShape", ClassKind::Interface}, {"DShapeEvents", ClassKind::Interface}, {"ISquare", ClassKind::Interface},
      {"Square", ClassKind::CoClass},   {"ShapeFunctions", ClassKind::Modules}};
  for (const auto& [name, kind] : kinds) EXPECT_EQ(kindName(cls(name).kind), kindName(kind)) << name;
  EXPECT_TRUE(cls("Number").isUnion);
  EXPECT_TRUE(cls("DShapeEvents").isDispatch);
  EXPECT_EQ(lib().findClass("Handle"), nullptr);
  ASSERT_EQ(lib().aliases.size(), 1);
  EXPECT_EQ(lib().aliases[0].name, "Handle");
  EXPECT_EQ(lib().aliases[0].aliasOf.varType, vt::I4);
  EXPECT_EQ(cls("Square").guid, "{5B0C2F1E-7A41-4C36-9D0E-1F2A3B4C5D67}");
  EXPECT_EQ(cls("Point").help, "A point on the page");
}

TEST_P(ShapesTest, ConstantsKeepTheirValuesSmallLargeAndNegative) {
  const Class& fill = cls("Fill");
  const QList<std::pair<const char*, qlonglong>> values{
      {"fillNone", 0}, {"fillSolid", 1}, {"fillHatched", 70000000}, {"fillBig", 0x7FFFFFFF}, {"fillNegative", -5}};
  ASSERT_EQ(fill.members.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(fill.members[i].name, values[i].first);
    EXPECT_TRUE(fill.members[i].hasValue);
    EXPECT_EQ(fill.members[i].value.toLongLong(), values[i].second) << values[i].first;
    EXPECT_EQ(fill.members[i].invokeKind, InvokeKind::None);
  }
}

TEST_P(ShapesTest, RecordFieldsWithArraysAndTheLibrarysOwnTypes) {
  const Class& point = cls("Point");
  ASSERT_EQ(point.members.size(), 6);
  EXPECT_EQ(point.members[0].result.varType, vt::I4);
  const Type& weights = point.members[2].result;
  EXPECT_TRUE(weights.isArray);
  EXPECT_EQ(weights.varType, vt::I2);
  ASSERT_EQ(weights.bounds.size(), 2);
  EXPECT_EQ(weights.bounds[0].lower, 0);
  EXPECT_EQ(weights.bounds[0].upper, 2);
  EXPECT_EQ(weights.bounds[1].upper, 3);
  EXPECT_EQ(point.members[3].result.varType, vt::Bstr);
  EXPECT_EQ(point.members[4].result.varType, vt::Empty);
  EXPECT_EQ(point.members[4].result.userType, "Fill");
}

TEST_P(ShapesTest, InterfaceMembersWithInvokeKindsParametersAndHelp) {
  const Class& shape = cls("IShape");
  EXPECT_EQ(shape.baseName, "IDispatch");
  EXPECT_EQ(shape.help, "A shape on the page");
  const Member* move = member(shape, "Move", InvokeKind::Function);
  ASSERT_TRUE(move);
  EXPECT_EQ(move->help, "Moves the shape");
  EXPECT_EQ(move->result.varType, vt::HResult);
  ASSERT_EQ(move->parameters.size(), 2);
  EXPECT_EQ(move->parameters[1].name, "dy");
  EXPECT_EQ(move->parameters[1].flags, pf::In);

  const Member* area = member(shape, "Area", InvokeKind::Function);
  ASSERT_TRUE(area);
  ASSERT_EQ(area->parameters.size(), 1);
  EXPECT_TRUE(area->parameters[0].isRetVal());
  EXPECT_TRUE(area->parameters[0].isOut());
  EXPECT_EQ(area->parameters[0].type.varType, vt::R8);
  EXPECT_EQ(area->parameters[0].type.pointerLevel, 1);

  EXPECT_TRUE(member(shape, "Name", InvokeKind::PropertyGet));
  const Member* put = member(shape, "Name", InvokeKind::PropertyPut);
  ASSERT_TRUE(put);
  EXPECT_EQ(put->parameters[0].type.varType, vt::Bstr);
  const Member* putRef = member(shape, "Parent", InvokeKind::PropertyPutRef);
  ASSERT_TRUE(putRef);
  EXPECT_EQ(putRef->parameters[0].type.varType, vt::Dispatch);

  const Member* corners = member(shape, "Corners", InvokeKind::Function);
  ASSERT_TRUE(corners);
  EXPECT_TRUE(corners->parameters[0].type.isArray);
  EXPECT_TRUE(corners->parameters[0].type.bounds.isEmpty());
  EXPECT_EQ(corners->parameters[0].type.varType, vt::I4);
  EXPECT_EQ(corners->parameters[0].flags, pf::In | pf::Out);
  EXPECT_EQ(corners->parameters[1].flags, pf::Out);

  const Member* paint = member(shape, "Paint", InvokeKind::Function);
  ASSERT_TRUE(paint);
  EXPECT_TRUE(paint->parameters[0].isOptional());
  EXPECT_TRUE(paint->parameters[1].isOptional());
  EXPECT_FALSE(paint->parameters[2].isOptional());
  EXPECT_EQ(paint->parameters[2].type.userType, "Colour");  // imported from colours.tlb

  const Member* plain = member(shape, "Plain", InvokeKind::Function);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->result.userType, "Fill");
}

TEST_P(ShapesTest, EveryTypeNumberOfAParameter) {
  const Member* kinds = member(cls("IShape"), "Kinds", InvokeKind::Function);
  ASSERT_TRUE(kinds);
  const QList<int> expected{vt::UI1,   vt::I1, vt::UI2,   vt::UI4,    vt::Int,   vt::UInt,
                            vt::R4,    vt::R8, vt::Empty, vt::Date,   vt::Bool,  vt::Unknown,
                            vt::Error, vt::I8, vt::LpStr, vt::LpWStr, vt::Empty, vt::Empty};
  ASSERT_EQ(kinds->parameters.size(), expected.size());
  for (int i = 0; i < expected.size(); ++i)
    EXPECT_EQ(kinds->parameters[i].type.varType, expected[i]) << kinds->parameters[i].name.toStdString();
  EXPECT_EQ(kinds->parameters[16].type.userType, "Fill");
  EXPECT_EQ(kinds->parameters[17].type.userType, "Point");
  EXPECT_EQ(kinds->parameters[17].type.pointerLevel, 1);
}

TEST_P(ShapesTest, DispatchInterfacesCoclassesAndModules) {
  const Class& events = cls("DShapeEvents");
  const Member* moved = member(events, "Moved", InvokeKind::Function);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->result.varType, vt::Void);
  EXPECT_EQ(moved->memberId, 2);
  EXPECT_EQ(cls("ISquare").baseName, "IShape");
  EXPECT_GE(cls("ISquare").baseIndex, 0);

  const Class& square = cls("Square");
  ASSERT_EQ(square.interfaces.size(), 3);
  EXPECT_EQ(square.interfaces[0].name, "ISquare");
  EXPECT_TRUE(square.interfaces[0].isDefault);
  EXPECT_FALSE(square.interfaces[0].isSource);
  EXPECT_FALSE(square.interfaces[1].isDefault);
  EXPECT_EQ(square.interfaces[2].name, "DShapeEvents");
  EXPECT_TRUE(square.interfaces[2].isDefault && square.interfaces[2].isSource);

  const Class& module = cls("ShapeFunctions");
  EXPECT_EQ(module.moduleFile, "shapes.dll");
  const Member* draw = member(module, "DrawShape", InvokeKind::Function);
  ASSERT_TRUE(draw);
  EXPECT_EQ(draw->help, "Draws");
  // widl 8 writes every named entry as the string "#" (the name itself is lost); the reader
  // takes whatever string the entry names. Ordinal entries are kept exactly.
  EXPECT_FALSE(draw->entryName.isEmpty());
  EXPECT_EQ(draw->entryOrdinal, -1);
  EXPECT_EQ(member(module, "Clear", InvokeKind::Function)->entryOrdinal, 12);
}

INSTANTIATE_TEST_SUITE_P(WordSizes, ShapesTest, ::testing::Values("shapes.tlb", "shapes32.tlb"));

// ---- bad input ----

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    good_ = bytesOf(fixture("shapes.tlb"));
    ASSERT_GT(good_.size(), 1000);
  }
  qint32 word(qint64 at) const { return qFromLittleEndian<qint32>(good_.constData() + at); }
  static void put(QByteArray& d, qint64 at, qint32 v) { qToLittleEndian<qint32>(v, d.data() + at); }
  // The segment directory entry of segment s.
  qint64 segmentEntry(int s) const { return 0x54 + 4 * word(0x20) + 16 * s; }
  qint64 segment(int s) const { return word(segmentEntry(s)); }
  QString error(const QByteArray& d) const {
    const auto r = readTypeLibraryData(d, QStringLiteral("bad.tlb"));
    return r.ok ? QString() : r.error;
  }
  QByteArray good_;
};

TEST_F(BadInputTest, CutShortAtEveryOffsetGivesAMessageNamingTheFile) {
  for (qint64 n = 0; n < good_.size(); ++n) {
    const auto r = readTypeLibraryData(good_.left(n), QStringLiteral("cut.tlb"));
    ASSERT_FALSE(r.ok) << "cut at " << n;
    ASSERT_TRUE(r.error.startsWith("cut.tlb: ")) << r.error.toStdString();
  }
}

TEST_F(BadInputTest, EveryWordSpoiltNeverCrashes) {
  for (qint32 spoil : {qint32(-1), qint32(0x7FFFFFFF), qint32(0x80000000), qint32(0x0000FFFF), qint32(1)}) {
    for (qint64 at = 0; at + 4 <= good_.size(); at += 4) {
      QByteArray d = good_;
      put(d, at, spoil);
      const auto r = readTypeLibraryData(d, QStringLiteral("x.tlb"));
      if (!r.ok) {
        ASSERT_TRUE(r.error.startsWith("x.tlb: ")) << r.error.toStdString();
      }
    }
  }
}

TEST_F(BadInputTest, OtherFormatsAreNoTypeLibraries) {
  for (const QByteArray& head : {QByteArray("SLTG\x01\x00\x00\x00", 8), QByteArray("MZ\x90\x00", 4),
                                 QByteArray("MSFT\x01\x00\x00\x00", 8), QByteArray()}) {
    QByteArray d = head + QByteArray(200, '\0');
    EXPECT_TRUE(error(d).endsWith("not a type library")) << error(d).toStdString();
  }
}

TEST_F(BadInputTest, CountsAndChainsBeyondTheFileOrInACircle) {
  QByteArray many = good_;
  put(many, 0x20, 0x7FFFFFFF);
  EXPECT_TRUE(error(many).contains("more than the file holds"));

  // A pointer descriptor that points at itself.
  QByteArray circle = good_;
  const qint64 descs = segment(9);
  for (qint64 at = descs; at < descs + word(segmentEntry(9) + 4); at += 8)
    if ((word(at) & 0xFFFF) == vt::Ptr) {
      put(circle, at + 4, qint32(at - descs));
      break;
    }
  EXPECT_TRUE(error(circle).contains("circle")) << error(circle).toStdString();

  // The coclass's interface list closing on itself, and claiming more than there are.
  QByteArray refs = good_;
  const qint64 refTab = segment(3);
  put(refs, refTab + 16 * 2 + 12, 0);
  const qint64 typeInfos = segment(0);
  for (qint64 at = typeInfos; at < typeInfos + 100 * word(0x20); at += 100)
    if ((word(at) & 0xF) == 5) put(refs, at + 0x4C, 0xFFFF);
  EXPECT_TRUE(error(refs).contains("circle")) << error(refs).toStdString();

  // An array of 65535 dimensions.
  QByteArray dims = good_;
  put(dims, segment(10) + 4, 0x0010FFFF);
  EXPECT_TRUE(error(dims).contains("outside")) << error(dims).toStdString();

  // A segment reaching past the end.
  QByteArray seg = good_;
  put(seg, segmentEntry(7) + 4, good_.size());
  EXPECT_TRUE(error(seg).contains("names segment lies outside")) << error(seg).toStdString();

  // The library's name at the end of its segment, its length running past it.
  QByteArray name = good_;
  const qint32 namesLength = word(segmentEntry(7) + 4);
  put(name, 0x38, namesLength - 12);
  put(name, segment(7) + namesLength - 4, 0xFF);
  EXPECT_TRUE(error(name).contains("names segment")) << error(name).toStdString();
}

TEST_F(BadInputTest, FilesThatCannotBeALibrary) {
  QTemporaryDir dir;
  const QString big = dir.filePath("big.tlb");
  {
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(qint64(1) << 30));  // sparse: no gigabyte written
  }
  const QList<std::pair<QString, const char*>> cases{{big, "too large"},
                                                     {dir.path(), "is a folder"},
                                                     {QStringLiteral("/dev/zero"), "no regular file"},
                                                     {dir.filePath("none.tlb"), "file not found"}};
  for (const auto& [file, fault] : cases) {
    const auto r = readTypeLibrary(file);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.startsWith(file + ": ")) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(fault)) << r.error.toStdString();
  }
}

TEST_F(BadInputTest, AnImportThatCannotBeReadKeepsTheTypesIdentifier) {
  QTemporaryDir dir;
  QFile::copy(fixture("shapes.tlb"), dir.filePath("shapes.tlb"));
  QFile spoilt(dir.filePath("colours.tlb"));
  ASSERT_TRUE(spoilt.open(QIODevice::WriteOnly));
  spoilt.write("MSFT");
  spoilt.close();
  const auto r = readTypeLibrary(dir.filePath("shapes.tlb"));
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  const Member* paint = member(*r.library.findClass("IShape"), "Paint", InvokeKind::Function);
  EXPECT_EQ(paint->parameters[2].type.userType, "{7C1D3E2F-8B52-4D47-AE1F-2A3B4C5D6E71}");
}

}  // namespace

#endif
