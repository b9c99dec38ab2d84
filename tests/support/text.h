// S("…"): UTF-8 text in a test, shorter than QString::fromUtf8 and right for umlauts.
#pragma once

#include <QString>

inline QString S(const char* s) { return QString::fromUtf8(s); }
