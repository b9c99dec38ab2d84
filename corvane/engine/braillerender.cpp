#include "corvane/engine/braillerender.h"

#include <liblouis/liblouis.h>
#include <QFile>
#include <QList>
#include <algorithm>
#include <vector>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/brailletables.h"

namespace corvane {

namespace {

constexpr int kHStart = 0x100, kHMiddle = 0x200, kHEnd = 0x400;
constexpr int kVTop = 0x1000, kVMiddle = 0x2000, kVBottom = 0x4000;
constexpr char16_t kBlankCell = 0x2800;

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isBlankLine(const QString& l) {
  return std::all_of(l.begin(), l.end(), [](QChar c) { return isBlank(c) || c == u'\r'; });
}

// The line shown and the caret in it (-1: none).
std::pair<QString, int> pickLine(const QString& text, int caret, int lineMode) {
  const QStringList lines = text.split(u'\n');
  int caretLine = -1, caretCol = -1;
  if (caret >= 0) {
    int start = 0;
    for (int i = 0; i < lines.size(); ++i) {
      if (caret <= start + lines[i].size()) {
        caretLine = i;
        caretCol = caret - start;
        break;
      }
      start += int(lines[i].size()) + 1;
    }
    if (caretLine < 0) {
      caretLine = int(lines.size()) - 1;
      caretCol = int(lines.last().size());
    }
  }
  int first = -1, last = -1;
  for (int i = 0; i < lines.size(); ++i)
    if (!isBlankLine(lines[i])) {
      if (first < 0) first = i;
      last = i;
    }
  const auto kept = [&](int i) {
    if (!isBlankLine(lines[i])) return true;
    if (first < 0 || i < first) return (lineMode & kVTop) != 0;
    if (i > last) return (lineMode & kVBottom) != 0;
    return (lineMode & kVMiddle) != 0;
  };
  if (caretLine >= 0 && kept(caretLine)) return {lines[caretLine], caretCol};
  for (int i = std::max(caretLine, 0); i < lines.size(); ++i)
    if (kept(i)) return {lines[i], -1};
  for (int i = std::max(caretLine, 0); i >= 0; --i)
    if (kept(i)) return {lines[i], -1};
  return {QString(), -1};
}

// Drops the blanks that the line mode hides; moves the caret along.
std::pair<QString, int> compressBlanks(const QString& s, int caret, int lineMode) {
  qsizetype first = -1, last = -1;
  for (qsizetype i = 0; i < s.size(); ++i)
    if (!isBlank(s[i]) && s[i] != u'\r') {
      if (first < 0) first = i;
      last = i;
    }
  QString out;
  int newCaret = -1;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (caret >= 0 && newCaret < 0 && i >= caret) newCaret = int(out.size());
    const QChar c = s[i];
    if (c == u'\r') continue;
    if (isBlank(c)) {
      if (first < 0 || i < first) {
        if (!(lineMode & kHStart)) continue;
      } else if (i > last) {
        if (!(lineMode & kHEnd)) continue;
      } else if (!(lineMode & kHMiddle) && i > 0 && isBlank(s[i - 1])) {
        continue;  // a run of blanks in the middle shows as one
      }
      out += u' ';
      continue;
    }
    out += c;
  }
  if (caret >= 0 && newCaret < 0) newCaret = int(out.size());
  return {out, newCaret};
}

QString blankCells(int n) { return QString(std::max(n, 0), QChar(kBlankCell)); }

}  // namespace

bool translateToCells(const QString& table, const QString& text, QString* cells, QList<int>* outputPos) {
  cells->clear();
  if (outputPos) outputPos->clear();
  if (text.isEmpty()) return true;
  const QByteArray tableName = QFile::encodeName(table);
  const QList<uint> ucs = text.toUcs4();
  const int n = int(ucs.size());
  std::vector<widechar> in(ucs.begin(), ucs.end());
  std::vector<int> pos(size_t(n), 0);
  for (int capacity = 4 * n + 32; capacity <= 64 * n + 1024; capacity *= 4) {
    std::vector<widechar> out(size_t(capacity), 0);
    int inLen = n, outLen = capacity;
    std::lock_guard lock(BrailleTables::louisLock());
    if (!lou_translate(tableName.constData(), in.data(), &inLen, out.data(), &outLen, nullptr, nullptr, pos.data(),
                       nullptr, nullptr, dotsIO | ucBrl))
      return false;
    if (inLen < n && outLen >= capacity) continue;  // cut: more room
    for (int i = 0; i < outLen; ++i) {
      const widechar w = out[size_t(i)];
      const int dots = ((w & ~widechar(0xFF)) == kBlankCell || (w & LOU_DOTS)) ? int(w & 0xFF) : 0;
      *cells += QChar(char16_t(kBlankCell | dots));
    }
    if (outputPos) {  // per UTF-16 unit of text
      int cp = 0;
      for (qsizetype i = 0; i < text.size(); ++i) {
        *outputPos << std::min(pos[size_t(std::min(cp, n - 1))], outLen);
        if (!text[i].isHighSurrogate()) ++cp;
      }
    }
    return true;
  }
  return false;
}

BrailleRow renderBrailleRow(const QString& text, int caret, const BrailleLook& look) {
  BrailleRow row;
  const int cells = std::max(look.cells, 0);
  auto [line, lineCaret] = pickLine(text, caret, look.lineMode);
  const int column = lineCaret;  // before compression, for the status cells
  std::tie(line, lineCaret) = compressBlanks(line, lineCaret, look.lineMode);
  if (look.lowerCase) line = line.toLower();

  QString translated;
  QList<int> pos;
  if (!translateToCells(look.table, line, &translated, &pos)) {
    row.translated = false;
    translated.clear();
    pos.clear();
    jex::WriteLog(QStringLiteral("Braille: cannot translate with ") + look.table, jex::kDetail);
  }
  int cursorCell = -1;
  if (lineCaret >= 0) cursorCell = lineCaret < pos.size() ? pos[lineCaret] : int(translated.size());
  if (look.dots == 6)
    for (QChar& c : translated) c = QChar(char16_t(kBlankCell | (c.unicode() & 0x3F)));

  const int home = cursorCell >= 0 && cells > 0 ? (cursorCell / cells) * cells : 0;
  int start = home;
  if (cells > 0 && look.pan != 0) {
    const int last = translated.isEmpty() ? 0 : ((int(translated.size()) - 1) / cells) * cells;
    start = std::clamp(home + look.pan * cells, 0, last);
    row.pan = (start - home) / cells;
  }
  row.main = translated.mid(start, cells);
  row.main += blankCells(cells - int(row.main.size()));
  if (look.cursorOn && look.cursorMode != 0 && cursorCell >= start && cursorCell < start + cells) {
    const int shape = look.cursorMode == 255 ? 0xFF : 0xC0;
    QChar& c = row.main[cursorCell - start];
    c = QChar(char16_t(c.unicode() | shape));
  }

  if (look.statusCells > 0) {
    QString status;
    if (look.statusMode == 0 && column >= 0) translateToCells(look.table, QString::number(column + 1), &status);
    row.status = status.left(look.statusCells);
    row.status += blankCells(look.statusCells - int(row.status.size()));
  }
  return row;
}

}  // namespace corvane
