// The help, read-me and text windows' texts: the help file of a dialog with its markers, the
// read-me files and their title lines.
//
// Help files: Help/<language>/<form>.rtf below the core's directory, one per dialog and language.
// A block from "//" to the next "//" is a marker, removed before the text is shown together with
// the line end after its closing "//". A marker holding "[" + a control's name marks where that
// control's help begins:
//
//   Voices dialog\par            <- the title line: a help file never begins with a marker
//   //[cboSource]//\par
//   Sprachquelle: ...\par
//
// The search for the markers stops at a "//" found at the very first character (so a text
// beginning with a marker keeps its markers), and at an opening "//" that is never closed. The
// control's help is found by the first "[" + name anywhere in the text (the name as it is
// written, so "[cmdOK" also finds "[cmdOKAll]" when that comes first: the shipped files are
// checked for that).
#pragma once

#include <QList>
#include <QString>

class QTextDocument;

namespace jex::help {

// Help and read-me files larger than this are not shown (a help text is a few kilobytes).
constexpr qint64 kMaxTextFileSize = 8 * 1024 * 1024;

struct Range {
  qsizetype start = 0;
  qsizetype length = 0;
  friend bool operator==(const Range&, const Range&) = default;
};

// What marker removal does to text: the blocks to remove (in order, not overlapping) and the
// position where the help of control starts once they are gone (0 when control is empty or has
// no marker).
struct Markers {
  QList<Range> blocks;
  qsizetype target = 0;
};
// A line end as the document gives it in its plain text (paragraph or line separator).
bool isLineEnd(QChar c);
Markers findMarkers(const QString& text, const QString& control);
// text with the blocks removed.
QString removeBlocks(const QString& text, const QList<Range>& blocks);
// Removes the markers from doc (keeping the formatting of the rest); the control's position.
qsizetype removeMarkers(QTextDocument& doc, const QString& control);
// The marker names ("[cboSource]" gives "cboSource") of text in order, and whether a marker is
// left open at the end.
QStringList markerNames(const QString& text, bool* unclosed = nullptr);

// The first line (up to the first line end) and the rest.
struct Titled {
  QString title;
  QString rest;
};
Titled splitTitle(const QString& text);
// Removes the first line from doc; returns it.
QString takeTitle(QTextDocument& doc);

// The file name of a help or read-me text in folder (found without regard to case); a name
// without extension tries ".rtf", then ".txt". Empty for a refused name (a path, "..", control
// characters) or when nothing is there.
QString findTextFile(const QString& folder, const QString& name);
// The folder of the help texts: appPath + "Help/" + lng (both found without regard to case);
// empty when there is none.
QString helpFolder(const QString& appPath, const QString& lng);
// Reads file into doc (RTF, else plain text); empties doc and returns false for a missing,
// unreadable or too large file.
bool loadText(const QString& file, QTextDocument& doc);

}  // namespace jex::help
