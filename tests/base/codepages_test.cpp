// The code page table: every listed page round-trips its sample through Qt's converter of the
// name the table gives, and text that may be UTF-8 is read as such.
#include "base/codepages.h"

#include <QStringEncoder>

#include "tests/base/codepagesamples.h"

namespace cp = jex::codepage;
using jex::test::CodePageSample;

namespace {

class CodePages : public ::testing::TestWithParam<CodePageSample> {};

TEST_P(CodePages, SampleRoundTrips) {
  const CodePageSample& s = GetParam();
  QStringEncoder encoder(cp::converterName(s.codePage).constData());
  ASSERT_TRUE(encoder.isValid()) << cp::converterName(s.codePage).constData();
  EXPECT_EQ(QByteArray(encoder.encode(QString::fromUtf8(s.text))), s.bytes);
  EXPECT_FALSE(encoder.hasError());
  EXPECT_EQ(cp::decode(s.bytes, s.codePage), QString::fromUtf8(s.text));
  EXPECT_EQ(cp::decodeText(s.bytes, s.codePage), QString::fromUtf8(s.text));
}

INSTANTIATE_TEST_SUITE_P(Listed, CodePages, ::testing::ValuesIn(jex::test::codePageSamples()), jex::test::codePageName);

TEST(CodePageTable, EveryListedPageHasASample) {
  for (const int page : cp::known())
    EXPECT_TRUE(std::any_of(jex::test::codePageSamples().begin(), jex::test::codePageSamples().end(),
                            [&](const CodePageSample& s) { return s.codePage == page; }))
        << page;
}

TEST(CodePageTable, TextIsUtf8WhereItCanBe) {
  const struct {
    QByteArray bytes;
    int fallback;
    QString text;
  } cases[] = {
      {"Gr\xC3\xBC\xC3\x9F"
       "e",
       1251, QStringLiteral("Grüße")},
      {"\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
       "e",
       cp::kWestern, QStringLiteral("Grüße")},  // the mark is dropped
      {"Gr\xFC\xDF"
       "e",
       cp::kWestern, QStringLiteral("Grüße")},
      {"\xC4\xE0", 1251, QStringLiteral("Да")},
      {"\x81\x9D\xE4", cp::kWestern, QStringLiteral("\uFFFD\uFFFDä")},  // undefined in the Western page
      {"\xE4", 99999, QStringLiteral("ä")},                             // a page Qt does not know: Western
      {"\xC3", cp::kWestern, QStringLiteral("Ã")},                      // a cut-off UTF-8 sequence is no UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(cp::decodeText(c.bytes, c.fallback), c.text) << c.bytes.toHex().constData();
}

}  // namespace
