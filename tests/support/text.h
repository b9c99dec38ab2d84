// S("…"): UTF-8 text in a test, shorter than QString::fromUtf8 and right for umlauts; a text
// printed as text in GoogleTest's messages.
#pragma once

#include <QString>
#include <ostream>

inline QString S(const char* s) { return QString::fromUtf8(s); }
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
