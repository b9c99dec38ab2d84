// Windows code pages by number, as INI files, language files and rich text name them: the one
// table of the code pages the program reads and writes, with the font character sets that
// name them, and text that is UTF-8 whenever it can be.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <span>

namespace jex::codepage {

// The Western code page, which a file that names none is read in.
inline constexpr int kWestern = 1252;
inline constexpr int kUtf8 = 65001;

// Every code page of the table: the OEM pages 437 and 850, the Windows pages of the font
// character sets, Mac Roman (10000) and UTF-8 (65001), in ascending order.
std::span<const int> known();

// The name under which Qt's converters know codePage ("windows-1251", "IBM437", "Shift_JIS",
// "UTF-8"); a number not in the table gives "windows-" + the number, which Qt may not know.
QByteArray converterName(int codePage);

// The code page of a font character set number (RTF's \fcharsetN, a language file's
// [Global] Charset); 0 for the Western set 0 and for numbers that name no code page.
int ofCharset(int charset);

// bytes in codePage; a code page Qt does not know is read as Western. The Western page itself
// is read by a table of its own: the five bytes it leaves undefined become U+FFFD.
QString decode(QByteArrayView bytes, int codePage);

// Text of a file that may be UTF-8: UTF-8 after a UTF-8 byte-order mark (which is dropped) or
// when bytes are valid UTF-8, else bytes in fallbackCodePage.
QString decodeText(QByteArrayView bytes, int fallbackCodePage = kWestern);

}  // namespace jex::codepage
