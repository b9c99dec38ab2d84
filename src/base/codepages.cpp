#include "base/codepages.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace jex::codepage {

namespace {

struct CodePage {
  int number;
  const char* converter;
  int charset;  // the font character set that names it; -1: none
};

constexpr CodePage kTable[] = {
    {437, "IBM437", 254},        {850, "IBM850", 255},        {874, "windows-874", 222},   {932, "Shift_JIS", 128},
    {936, "GBK", 134},           {949, "windows-949", 129},   {950, "Big5", 136},          {1250, "windows-1250", 238},
    {1251, "windows-1251", 204}, {1252, "windows-1252", -1},  {1253, "windows-1253", 161}, {1254, "windows-1254", 162},
    {1255, "windows-1255", 177}, {1256, "windows-1256", 178}, {1257, "windows-1257", 186}, {1258, "windows-1258", 163},
    {10000, "macintosh", 77},    {kUtf8, "UTF-8", -1},
};

constexpr std::array<int, std::size(kTable)> kNumbers = [] {
  std::array<int, std::size(kTable)> n{};
  for (size_t i = 0; i < n.size(); ++i) n[i] = kTable[i].number;
  return n;
}();

const CodePage* find(int codePage) {
  const auto* it =
      std::find_if(std::begin(kTable), std::end(kTable), [&](const CodePage& c) { return c.number == codePage; });
  return it == std::end(kTable) ? nullptr : it;
}

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr std::array<char16_t, 32> kWesternHigh = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                                   0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QString decodeWestern(QByteArrayView bytes) {
  QString out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out.append(QChar(b >= 0x80 && b < 0xA0 ? kWesternHigh[b - 0x80] : char16_t(b)));
  }
  return out;
}

}  // namespace

std::span<const int> known() { return kNumbers; }

QByteArray converterName(int codePage) {
  const CodePage* c = find(codePage);
  return c ? QByteArray(c->converter) : "windows-" + QByteArray::number(codePage);
}

int ofCharset(int charset) {
  if (charset < 0) return 0;
  const auto* it =
      std::find_if(std::begin(kTable), std::end(kTable), [&](const CodePage& c) { return c.charset == charset; });
  return it == std::end(kTable) ? 0 : it->number;
}

QString decode(QByteArrayView bytes, int codePage) {
  if (codePage == kWestern) return decodeWestern(bytes);
  QStringDecoder decoder(converterName(codePage).constData());
  return decoder.isValid() ? decoder.decode(bytes) : decodeWestern(bytes);
}

QString decodeText(QByteArrayView bytes, int fallbackCodePage) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.sliced(3));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  return utf8.hasError() ? decode(bytes, fallbackCodePage) : text;
}

}  // namespace jex::codepage
