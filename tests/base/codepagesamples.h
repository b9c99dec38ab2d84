// A text and its bytes in every code page of base/codepages.h, with the font character set that
// names the page: what the code page tests of base, INI files and rich text read and write.
// Every byte string but UTF-8's own is invalid UTF-8, so that no reader can take it for UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <ostream>
#include <string>
#include <vector>

namespace jex::test {

struct CodePageSample {
  int codePage;
  int charset;  // -1: no character set names it
  const char* text;
  QByteArray bytes;
};

inline const std::vector<CodePageSample>& codePageSamples() {
  static const std::vector<CodePageSample> samples = {
      {437, 254, "öα─", "\x94\xE0\xC4"},       {850, 255, "öÓø", "\x94\xE0\x9B"},
      {874, 222, "กไ€", "\xA1\xE4\x80"},       {932, 128, "日本", "\x93\xFA\x96\x7B"},
      {936, 134, "中文", "\xD6\xD0\xCE\xC4"},  {949, 129, "한국", "\xC7\xD1\xB1\xB9"},
      {950, 136, "中文", "\xA4\xA4\xA4\xE5"},  {1250, 238, "Łódź", "\xA3\xF3\x64\x9F"},
      {1251, 204, "Да", "\xC4\xE0"},           {1252, -1, "Grüße €", "\x47\x72\xFC\xDF\x65\x20\x80"},
      {1253, 161, "Ωα", "\xD9\xE1"},           {1254, 162, "ğış", "\xF0\xFD\xFE"},
      {1255, 177, "שלום", "\xF9\xEC\xE5\xED"}, {1256, 178, "عربي", "\xDA\xD1\xC8\xED"},
      {1257, 186, "ąčė", "\xE0\xE8\xEB"},      {1258, 163, "đư", "\xF0\xFD"},
      {10000, 77, "Ä∆π", "\x80\xC6\xB9"},      {65001, -1, "ä€", "\xC3\xA4\xE2\x82\xAC"},
  };
  return samples;
}

inline void PrintTo(const CodePageSample& s, std::ostream* os) {
  *os << "code page " << s.codePage << " (" << s.text << ")";
}

inline std::string codePageName(const ::testing::TestParamInfo<CodePageSample>& info) {
  return "cp" + std::to_string(info.param.codePage);
}

}  // namespace jex::test
