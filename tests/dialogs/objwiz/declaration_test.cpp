// Declaration text: type names by number, parameter lists, members by invoke kind and whole
// classes of every kind, the classes read from the widl-made shapes library.
#include <gtest/gtest.h>
#include <QDir>

#include "dialogs/objwiz/declaration.h"
#include "platform/typelibfile.h"
#include "tests/support/text.h"

using namespace jex::typeinfo;
using namespace jex::objwiz;

namespace {

Type plain(int varType) {
  Type t;
  t.varType = varType;
  return t;
}
Type user(const char* name) {
  Type t;
  t.varType = vt::Empty;
  t.userType = QString::fromUtf8(name);
  return t;
}
Type array(int varType, QVector<ArrayBound> bounds) {
  Type t = plain(varType);
  t.isArray = true;
  t.bounds = std::move(bounds);
  return t;
}
Parameter param(const char* name, Type type, int flags = pf::In) { return {QString::fromUtf8(name), type, flags}; }

struct TypeCase {
  Type type;
  const char* suffix;
};

class TypeSuffixTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypeSuffixTest, WrittenByTypeNumber) { EXPECT_EQ(typeSuffix(GetParam().type), S(GetParam().suffix)); }

INSTANTIATE_TEST_SUITE_P(
    Numbers, TypeSuffixTest,
    ::testing::Values(TypeCase{plain(2), " As Integer"}, TypeCase{plain(18), " As Integer"},
                      TypeCase{plain(22), " As Integer"}, TypeCase{plain(3), " As Long"},
                      TypeCase{plain(4), " As Long"}, TypeCase{plain(19), " As Long"}, TypeCase{plain(23), " As Long"},
                      TypeCase{plain(25), " As Long"}, TypeCase{plain(7), " As DateTime"},
                      TypeCase{plain(8), " As String"}, TypeCase{plain(30), " As String"},
                      TypeCase{plain(9), " As Object"}, TypeCase{plain(11), " As Boolean"},
                      TypeCase{plain(12), " As Variant"}, TypeCase{plain(16), " As Byte"},
                      TypeCase{plain(17), " As Byte"}, TypeCase{plain(24), " As Any"},
                      TypeCase{user("Point"), " As Point"}, TypeCase{plain(5), " As Unknown Type(5)"},
                      TypeCase{plain(6), " As Unknown Type(6)"}, TypeCase{plain(31), " As Unknown Type(31)"},
                      TypeCase{array(2, {{0, 2}, {1, 4}}), "(0 To 2, 1 To 4) As Integer"},
                      TypeCase{array(3, {{-1, 1}}), "(-1 To 1) As Long"}, TypeCase{array(3, {}), "() As Long"},
                      TypeCase{[] {
                                 Type t = user("Point");
                                 t.isArray = true;
                                 t.bounds = {{0, 9}};
                                 return t;
                               }(),
                               "(0 To 9) As Point"}));

struct MemberCase {
  const char* what;
  Member member;
  const char* text;  // in the "Private " form
};

Member make(const char* name, InvokeKind kind, QVector<Parameter> params, Type result) {
  Member m;
  m.name = QString::fromUtf8(name);
  m.invokeKind = kind;
  m.parameters = std::move(params);
  m.result = result;
  m.help = QStringLiteral("Says what it does");
  return m;
}

class MemberTest : public ::testing::TestWithParam<MemberCase> {};

TEST_P(MemberTest, BothForms) {
  const MemberCase& c = GetParam();
  EXPECT_EQ(memberDeclaration(c.member, DeclarationForm::Private), S("Private ") + S(c.text) + "\r\n");
  EXPECT_EQ(memberDeclaration(c.member, DeclarationForm::HelpComment),
            S("\t'Says what it does\r\n") + S(c.text) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MemberTest,
    ::testing::Values(
        MemberCase{"hresult sub", make("Move", InvokeKind::Function, {param("dx", plain(3)), param("dy", plain(3))}, plain(25)),
                   "Sub Move(ByVal dx As Long, ByVal dy As Long)"},
        MemberCase{"void sub", make("Beep", InvokeKind::Function, {}, plain(24)), "Sub Beep()"},
        MemberCase{"retval result",
                   make("Area", InvokeKind::Function, {param("scale", plain(4)), param("r", plain(5), pf::Out | pf::RetVal)},
                        plain(25)),
                   "Function Area(ByVal scale As Long) As Unknown Type(5)"},
        MemberCase{"declared result", make("Asked", InvokeKind::Function, {param("q", plain(8))}, plain(3)),
                   "Function Asked(ByVal q As String) As Long"},
        MemberCase{"output without ByVal",
                   make("Corners", InvokeKind::Function,
                        {param("c", array(3, {}), pf::In | pf::Out), param("n", plain(3), pf::Out)}, plain(25)),
                   "Sub Corners(c() As Long, n As Long)"},
        MemberCase{"fixed array parameter", make("Fill", InvokeKind::Function, {param("w", array(2, {{0, 3}}))}, plain(25)),
                   "Sub Fill(ByVal w(0 To 3) As Integer)"},
        MemberCase{"user type", make("Where", InvokeKind::Function, {param("p", user("Point"))}, user("Fill")),
                   "Function Where(ByVal p As Point) As Fill"},
        MemberCase{"unnamed parameter", make("Two", InvokeKind::Function, {param("", plain(6)), param("", plain(6))}, plain(24)),
                   "Sub Two(ByVal Param1 As Unknown Type(6), ByVal Param2 As Unknown Type(6))"},
        MemberCase{"property get",
                   make("Name", InvokeKind::PropertyGet, {param("v", plain(8), pf::Out | pf::RetVal)}, plain(25)),
                   "Property Get Name() As String"},
        MemberCase{"indexed property get",
                   make("Item", InvokeKind::PropertyGet, {param("i", plain(3)), param("v", plain(12), pf::Out | pf::RetVal)},
                        plain(25)),
                   "Property Get Item(ByVal i As Long) As Variant"},
        MemberCase{"property let", make("Name", InvokeKind::PropertyPut, {param("value", plain(8))}, plain(25)),
                   "Property Let Name(RHS As String)"},
        MemberCase{"indexed property let",
                   make("Item", InvokeKind::PropertyPut, {param("i", plain(3)), param("value", plain(12))}, plain(25)),
                   "Property Let Item(ByVal i As Long, RHS As Variant)"},
        MemberCase{"property set", make("Parent", InvokeKind::PropertyPutRef, {param("value", plain(9))}, plain(25)),
                   "Property Set Parent(ByVal value As Object)"},
        MemberCase{"number constant",
                   [] {
                     Member m = make("MaxShapes", InvokeKind::None, {}, plain(3));
                     m.hasValue = true;
                     m.value = qlonglong(-64);
                     return m;
                   }(),
                   "Const MaxShapes = -64"},
        MemberCase{"string constant",
                   [] {
                     Member m = make("Greeting", InvokeKind::None, {}, plain(8));
                     m.hasValue = true;
                     m.value = S("say \"hi\"");
                     return m;
                   }(),
                   "Const Greeting = \"say \"\"hi\"\"\""}),
    [](const auto& info) {
      QString n = QString::fromUtf8(info.param.what);
      n.replace(u' ', u'_');
      return n.toStdString();
    });

TEST(ModuleDeclaration, LibAndAliasEachFollowedByOneBlank) {
  Class module;
  module.kind = ClassKind::Modules;
  module.moduleFile = QStringLiteral("shapes.dll");
  Member draw = make("DrawShape", InvokeKind::Function, {param("h", plain(3)), param("t", plain(30))}, plain(3));
  draw.entryName = QStringLiteral("DrawShapeA");
  Member clear = make("Clear", InvokeKind::Function, {param("h", plain(3))}, plain(24));
  clear.entryOrdinal = 12;
  Member same = make("Beep", InvokeKind::Function, {}, plain(24));
  same.entryName = QStringLiteral("Beep");
  EXPECT_EQ(
      memberDeclaration(draw, DeclarationForm::Private, &module),
      S("Private Declare Function DrawShape Lib \"shapes.dll\"  Alias \"DrawShapeA\" (ByVal h As Long, ByVal t As "
        "String) As Long\r\n"));
  EXPECT_EQ(memberDeclaration(clear, DeclarationForm::Private, &module),
            S("Private Declare Sub Clear Lib \"shapes.dll\"  Alias \"#12\" (ByVal h As Long)\r\n"));
  EXPECT_EQ(memberDeclaration(same, DeclarationForm::Private, &module),
            S("Private Declare Sub Beep Lib \"shapes.dll\" ()\r\n"));
  module.moduleFile.clear();
  EXPECT_EQ(memberDeclaration(same, DeclarationForm::Private, &module), S("Private Declare Sub Beep()\r\n"));
}

#ifdef JEX_TEST_TYPELIBS

// Whole classes of the shapes library as widl wrote it.
class ClassTextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    read_ = jex::platform::readTypeLibrary(QDir(QStringLiteral(JEX_TEST_TYPELIBS)).filePath("shapes.tlb"));
  }
  QString text(const char* name) {
    const Class* c = read_.library.findClass(QString::fromUtf8(name));
    return c ? classDeclaration(read_.library, *c) : QStringLiteral("no class");
  }
  static inline jex::platform::TypeLibRead read_;
};

TEST_F(ClassTextTest, EveryKind) {
  ASSERT_TRUE(read_.ok) << read_.error.toStdString();
  EXPECT_EQ(text("Fill"), S("Private Enum Fill\r\n\tfillNone = 0\r\n\tfillSolid = 1\r\n\tfillHatched = "
                            "70000000\r\n\tfillBig = 2147483647\r\n"
                            "\tfillNegative = -5\r\nEnd Enum\r\n"));
  EXPECT_EQ(text("Point"),
            S("'A point on the page\r\nPrivate Type Point\r\n\tx As Long\r\n\ty As Long\r\n"
              "\tweights(0 To 2, 0 To 3) As Integer\r\n\tlabel As String\r\n\tFill As Fill\r\n\towner As Handle\r\n"
              "End Type\r\n"));
  EXPECT_EQ(text("Number"), S("Private Type Number\r\n\twhole As Long\r\n\treal As Unknown Type(5)\r\nEnd Type\r\n"));
  EXPECT_EQ(text("DShapeEvents"),
            S("Private Sub Moved(ByVal x As Long, ByVal y As Long)\r\n"
              "Private Function Asked(ByVal question As String) As Long\r\n"
              "Private Property Get count() As Long\r\nPrivate Property Let count(RHS As Long)\r\n"));
  const QString square = text("Square");
  EXPECT_TRUE(square.startsWith(
      S("Private Const CLSID_Square As String = \"{5B0C2F1E-7A41-4C36-9D0E-1F2A3B4C5D67}\"\r\n"
        "\r\n' *** default interface *** \r\nPrivate Sub Move(ByVal dx As Long, ByVal dy As Long)\r\n"
        "Private Function Area() As Unknown Type(5)\r\nPrivate Property Get Name() As String\r\n"
        "Private Property Let Name(RHS As String)\r\nPrivate Property Set Parent(ByVal Param1 As Object)\r\n"
        "Private Property Get Parent() As Object\r\nPrivate Sub Corners(Corners() As Long, count As Long)\r\n"
        "Private Sub Paint(ByVal how As Variant, ByVal times As Integer, ByVal colour As Colour)\r\n")))
      << square.toStdString();
  EXPECT_TRUE(
      square.contains(S("Private Function Measure() As Point\r\nPrivate Function Plain(ByVal a As Long) As Fill\r\n"
                        "Private Sub Side(ByVal length As Long)\r\n' *** default event interface *** \r\n"
                        "Event Moved(ByVal x As Long, ByVal y As Long)\r\nEvent Asked(ByVal question As String)\r\n")))
      << square.toStdString();
  EXPECT_TRUE(square.endsWith("\r\n"));
  EXPECT_TRUE(
      text("ShapeFunctions")
          .contains(S("Private Declare Sub Clear Lib \"shapes.dll\"  Alias \"#12\" (ByVal Handle As Long)\r\n")))
      << text("ShapeFunctions").toStdString();
}

#endif

}  // namespace
