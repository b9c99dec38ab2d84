// Reading menu files: one section of an INI file gives the entries of a menu, one line each, in
// file order.
//
//   command = caption      an entry: the caption is shown, the command is the entry's key
//   key = -...             a caption beginning with "-" is a separator
//   {section} = caption    an entry whose submenu holds the lines of that section of the file
//   %function% = caption   an entry whose submenu holds the list the function gives at build
//                          time: strings "key=caption", a "-" caption again a separator
//
// A missing section gives an empty submenu; a section that includes itself (directly or through
// others) gets an empty submenu at the point where it would repeat; an unknown or failing
// function gives an empty submenu; a line without a caption is left out. Each of these writes a
// log line and the rest is read.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace jex {

// The list function of that name, called without arguments; nothing when there is none.
using MenuListSource = std::function<std::optional<QStringList>(const QString& function)>;

struct MenuLine {
  enum class Kind { Entry, Separator, Submenu };
  Kind kind = Kind::Entry;
  QString key;               // the command; empty for separators and submenus
  QString caption;           // empty for separators
  QList<MenuLine> children;  // the submenu's entries

  bool operator==(const MenuLine&) const = default;
};

// Limits that keep a hostile file from growing a menu without end.
inline constexpr int kMaxMenuDepth = 32;     // nested submenus
inline constexpr int kMaxMenuLines = 10000;  // entries of one reading, all levels together

// The entries of section in file (read with the Windows code page codePage when the file is not
// UTF-8; 0 is Western). Nothing when the file or the section is missing.
QList<MenuLine> readMenuSection(const QString& file, const QString& section, const MenuListSource& lists,
                                int codePage = 0);

// Entries from strings "key=caption" (a "-" caption a separator; a string without "=" or
// without caption is left out with a log line).
QList<MenuLine> menuLinesFromStrings(const QStringList& strings);

}  // namespace jex
