// Reads rich-text (RTF) files into a QTextDocument.
//
// The help, read-me and information texts of the program are RTF files. The reader understands
// what those texts use: groups, paragraphs and line breaks, tabs, bold, italic, underline,
// strike-out, font sizes, paragraph alignment and direction, "\'hh" characters in the
// document's code page (and in the code page of a font's character set), "\uN" characters
// with their fallback skip count, escaped characters and the usual special characters.
// Font, colour and style tables, pictures, headers, footers, document information and every
// unknown "{\*...}" destination are skipped.
//
// Any input is safe: braces need not balance, escapes may be cut off, numbers may be huge.
// The work is linear in the input's length, nesting deeper than maxDepth is flattened, and
// the document never holds more characters than the input has bytes.
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace jex::rtf {

// Groups nested deeper than this share the formatting of the deepest kept group.
constexpr int maxDepth = 128;
// Files larger than this are not read (help texts are a few kilobytes).
constexpr qint64 maxFileSize = 32 * 1024 * 1024;

// True when data starts (after white space or a UTF-8 byte order mark) with "{\rtf".
bool isRtf(const QByteArray& data);

// Replaces doc's content with the text of rtf. Returns false, leaving doc alone, when rtf is
// not RTF at all; broken RTF is read as far as it makes sense and returns true.
bool read(const QByteArray& rtf, QTextDocument& doc);

// Reads the file at path into doc. A file that is not RTF is shown as plain text (UTF-8 when
// it is valid UTF-8, else Windows-1252). Returns false, with doc emptied and a log line, when
// the file cannot be read.
bool readFile(const QString& path, QTextDocument& doc);

}  // namespace jex::rtf
