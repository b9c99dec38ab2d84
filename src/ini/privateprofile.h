// The Windows private-profile functions (INI files). The file locking, the non-blocking read
// and the atomic replacement they rely on are the platform's (platform/filestore.h).
//
// They behave as the Windows functions of the same names: section and key names are compared
// without regard to case, blanks around keys and values are trimmed, a value in double or in
// single quotes is read without them, lines whose first character is ";" are comments, a line
// "[Name" without "]" opens no section, a key line without "=" has no value (it reads as
// missing), and list results are NUL-separated strings in a caller-sized buffer with the
// documented return values when the buffer is too small.
//
// Only regular files are INI files: a FIFO, device or socket under the name is neither opened
// nor replaced (reads give their defaults, writes fail, with a log line).
//
// Arguments: a null QString (QString()) stands for a NULL pointer, an empty one ("") for an
// empty string. Buffers are QStrings of at least `size` characters (a shorter one is enlarged
// to `size`); the functions write at most `size` characters into them, terminators included.
//
// Encoding: a file that is valid UTF-8 is read as UTF-8 (a byte-order mark is kept); a file
// that starts with a UTF-16 LE byte-order mark as UTF-16; any other file in the Windows code
// page `codePage` (0 means 1252, the Western ANSI code page). A file of plain ASCII counts as
// UTF-8 unless a code page is named. Writing keeps the file's encoding and its line ends
// (CR LF or LF); a new file is UTF-8 with CR LF.
//
// Every write is atomic (temporary file, flush to disk, rename) and runs its read-modify-write
// under an exclusive lock on a lock file beside the INI file (FILE + ".lock", which stays), so
// that concurrent writers in several processes keep each other's keys and a crash leaves the
// old or the new file. The system drops the lock of a writer that dies: no lock goes stale. A
// writer waits about a second for a lock held by another, then fails with a log line. Reads go through
// a small cache of parsed files that is checked against the file's identity, size and
// modification time on every call and never trusted for a file changed in the last two seconds.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <utility>

namespace jex::ini {

// The value of key `keyName` in section `appName`, or `defaultValue` (trailing blanks removed)
// when it is missing. With a null appName: all section names; with a null keyName: all key
// names of the section (NUL-separated lists). Returns the number of characters copied, without
// the terminating NUL; size - 1 when a single value was cut, size - 2 when a list was cut.
quint32 GetPrivateProfileString(const QString& appName, const QString& keyName, const QString& defaultValue,
                                QString& returnedString, quint32 size, const QString& fileName, int codePage = 0);

// The value's leading decimal digits (with an optional sign) as an integer; 0 for a value that
// is not a number; `defaultValue` for a missing key or an empty value.
qint32 GetPrivateProfileInt(const QString& appName, const QString& keyName, qint32 defaultValue,
                            const QString& fileName, int codePage = 0);

// All entries of a section as "key=value" without the blanks around "=" (a key without "=" as
// the key alone, comments as they stand, blank lines left out), each followed by a NUL, the list
// ended by a second NUL. Returns the count of characters without the final NUL, or size - 2
// when the buffer was too small.
quint32 GetPrivateProfileSection(const QString& appName, QString& returnedString, quint32 size, const QString& fileName,
                                 int codePage = 0);

// Not a Windows function: the buffer size (in characters, both final NULs included) that
// GetPrivateProfileSection needs for the section, or GetPrivateProfileSectionNames with a null
// appName, as the file is now. Lets a caller size its buffer once instead of growing it by
// steps and reading the whole list again at every step.
quint32 GetPrivateProfileSectionSize(const QString& appName, const QString& fileName, int codePage = 0);

// All section names in file order, as a list like GetPrivateProfileSection's.
quint32 GetPrivateProfileSectionNames(QString& returnedString, quint32 size, const QString& fileName, int codePage = 0);

// Writes key=value, creating the section and the file as needed. A null value deletes the key,
// a null keyName deletes the whole section. False (and a log line) when the file could not be
// written or a name is unusable.
bool WritePrivateProfileString(const QString& appName, const QString& keyName, const QString& value,
                               const QString& fileName, int codePage = 0);

// Replaces the whole section by the lines of `block` (NUL-separated "key=value" strings ended
// by an empty string); a null block deletes the section.
bool WritePrivateProfileSection(const QString& appName, const QString& block, const QString& fileName,
                                int codePage = 0);

// Not a Windows function: every section name in file order, each with its lines as
// GetPrivateProfileSection gives them (a name the file has twice: the first such section's lines
// each time, as a read by name finds them), from one reading of the file.
QList<std::pair<QString, QStringList>> GetPrivateProfileSections(const QString& fileName, int codePage = 0);
// Not a Windows function: writes the keys of `entries` (key, value) into one section in one
// read-modify-write under the file's lock, so that the file is replaced once. Keys the section has
// change in place; the others follow its last line in the order given (a missing section is
// added at the end of the file with them). Comments, other sections, the encoding and the line
// ends stay. Nothing is written when one entry cannot be: a key or value that cannot stand on a
// line, or a character that the file's code page cannot hold (a UTF-8 or UTF-16 file holds
// every character). False then, with a log line and, in problem, a reason that names the key.
bool WritePrivateProfileEntries(const QString& appName, const QList<std::pair<QString, QString>>& entries,
                                const QString& fileName, int codePage = 0, QString* problem = nullptr);

// One key of a batch.
struct ProfileEntry {
  QString section;
  QString key;
  QString value;
};
// Not a Windows function: like WritePrivateProfileEntries for keys of several sections, in one
// read-modify-write; a section the file lacks is added at its end with its keys.
bool WritePrivateProfileBatch(const QList<ProfileEntry>& entries, const QString& fileName, int codePage = 0,
                              QString* problem = nullptr);

// Not a Windows function: for each text, true when the file (as it is now, or as a new file is
// made: UTF-8) can hold it in its encoding.
QList<bool> Encodable(const QStringList& texts, const QString& fileName, int codePage = 0);

// value as it is to be written so that it reads back exactly: in double quotes when it starts or
// ends with a blank, a tab or a quote (reads trim blanks and take off one pair of quotes).
QString QuotedValue(const QString& value);

// Drops every parsed file from the read cache.
void FlushPrivateProfileCache();

}  // namespace jex::ini
