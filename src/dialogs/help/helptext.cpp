#include "dialogs/help/helptext.h"

#include <QFileInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "base/error.h"
#include "base/log.h"
#include "platform/opener.h"
#include "widgets/rtfreader.h"

namespace jex::help {
namespace {
const QString kMark = QStringLiteral("//");

// Where the marker opened at open closes, with the line end after it; -1 when it never does.
qsizetype markerEnd(const QString& text, qsizetype open) {
  const qsizetype close = text.indexOf(kMark, open + kMark.size());
  if (close < 0) return -1;
  qsizetype end = close + kMark.size();
  if (end < text.size() && isLineEnd(text.at(end))) ++end;
  return end;
}

// The markers in order; the search ends at a "//" at the first character and at one never closed.
QList<Range> blocksOf(const QString& text, bool* unclosed) {
  QList<Range> blocks;
  if (unclosed) *unclosed = false;
  for (qsizetype from = 0;;) {
    const qsizetype open = text.indexOf(kMark, from);
    if (open <= 0) break;
    const qsizetype end = markerEnd(text, open);
    if (end < 0) {
      if (unclosed) *unclosed = true;
      break;
    }
    blocks << Range{open, end - open};
    from = end;
  }
  return blocks;
}

bool refusedName(const QString& name) {
  if (name.trimmed().isEmpty() || name.size() > 255) return true;
  if (name.contains(u'/') || name.contains(u'\\') || name.contains(u':') || name.contains(QLatin1String("..")))
    return true;
  for (QChar c : name)
    if (c.unicode() < 0x20) return true;
  return false;
}
}  // namespace

bool isLineEnd(QChar c) {
  return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

Markers findMarkers(const QString& text, const QString& control) {
  Markers m;
  m.blocks = blocksOf(text, nullptr);
  qsizetype target = -1;
  if (!control.isEmpty()) {
    const qsizetype at = text.indexOf(u'[' + control);
    if (at > 0) {
      const qsizetype close = text.indexOf(kMark, at);
      if (close >= 0) {
        target = close + kMark.size();
        if (target < text.size() && isLineEnd(text.at(target))) ++target;
      }
    }
  }
  if (target < 0) return m;
  // Each block that begins before the target moves it back by the block's length.
  qsizetype shift = 0;
  for (const Range& b : m.blocks)
    if (b.start < target) shift += qMin(b.length, target - b.start);
  m.target = qMax<qsizetype>(0, target - shift);
  return m;
}

QString removeBlocks(const QString& text, const QList<Range>& blocks) {
  QString out;
  out.reserve(text.size());
  qsizetype from = 0;
  for (const Range& b : blocks) {
    out += QStringView(text).mid(from, b.start - from);
    from = b.start + b.length;
  }
  out += QStringView(text).mid(from);
  return out;
}

qsizetype removeMarkers(QTextDocument& doc, const QString& control) {
  const Markers m = findMarkers(doc.toPlainText(), control);
  if (m.blocks.isEmpty()) return m.target;
  QTextCursor c(&doc);
  c.beginEditBlock();
  for (qsizetype i = m.blocks.size() - 1; i >= 0; --i) {
    const Range& b = m.blocks.at(i);
    c.setPosition(int(b.start));
    c.setPosition(int(b.start + b.length), QTextCursor::KeepAnchor);
    c.removeSelectedText();
  }
  c.endEditBlock();
  return qMin<qsizetype>(m.target, doc.characterCount() - 1);
}

QStringList markerNames(const QString& text, bool* unclosed) {
  QStringList names;
  for (const Range& b : blocksOf(text, unclosed)) {
    const QStringView inside = QStringView(text).mid(b.start + kMark.size(), b.length);
    for (qsizetype at = inside.indexOf(u'['); at >= 0; at = inside.indexOf(u'[', at + 1)) {
      const qsizetype close = inside.indexOf(u']', at);
      if (close < 0) break;
      names << inside.mid(at + 1, close - at - 1).toString();
    }
  }
  return names;
}

Titled splitTitle(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i)
    if (isLineEnd(text.at(i))) {
      qsizetype next = i + 1;
      if (text.at(i) == u'\r' && next < text.size() && text.at(next) == u'\n') ++next;
      return {text.left(i), text.mid(next)};
    }
  return {text, QString()};
}

QString takeTitle(QTextDocument& doc) {
  const QTextBlock first = doc.begin();
  const QString title = first.text();
  QTextCursor c(&doc);
  c.setPosition(0);
  const int end = first.next().isValid() ? first.position() + first.length() : first.position() + first.length() - 1;
  c.setPosition(end, QTextCursor::KeepAnchor);
  c.removeSelectedText();
  return title;
}

QString findTextFile(const QString& folder, const QString& name) {
  if (folder.isEmpty() || refusedName(name)) return {};
  if (!QFileInfo(name).suffix().isEmpty()) return platform::findEntryCaseless(folder, name, false);
  for (const char* ext : {".rtf", ".txt"}) {
    const QString file = platform::findEntryCaseless(folder, name + QLatin1String(ext), false);
    if (!file.isEmpty()) return file;
  }
  return {};
}

QString helpFolder(const QString& appPath, const QString& lng) {
  if (appPath.isEmpty() || refusedName(lng)) return {};
  const QString help = platform::findEntryCaseless(appPath, QStringLiteral("Help"), true);
  return help.isEmpty() ? QString() : platform::findEntryCaseless(help, lng, true);
}

bool loadText(const QString& file, QTextDocument& doc) {
  doc.clear();
  if (file.isEmpty()) return false;
  const QFileInfo info(file);
  if (!info.isFile()) {
    WriteLog(QStringLiteral("no text file ") + file, kTraffic);
    return false;
  }
  if (info.size() > kMaxTextFileSize) {
    WriteErrorLog(QStringLiteral("text file too large to show: ") + file);
    return false;
  }
  return rtf::readFile(file, doc);
}

}  // namespace jex::help
