#include "dialogs/keys/menufile.h"

#include <QFileInfo>
#include <QHash>

#include "base/error.h"
#include "base/log.h"
#include "ini/cinifil.h"

namespace jex {

namespace {

// The name between the first and the last character of "{name}" or "%name%".
QString innerName(const QString& key) { return key.size() < 2 ? QString() : key.mid(1, key.size() - 2).trimmed(); }

bool isSeparatorCaption(const QString& caption) { return caption.startsWith(u'-'); }

class Reader {
 public:
  Reader(const QString& file, const MenuListSource& lists, int codePage) : file_(file), lists_(lists) {
    exists_ = ini_.Init(file, false, codePage);
  }
  bool exists() const { return exists_; }

  // The lines of section; chain holds the sections being read, for cycles.
  QList<MenuLine> section(const QString& name, QStringList& chain) {
    QList<MenuLine> out;
    trap("cMenu.AppendFromFile", [&] {
      if (chain.contains(name, Qt::CaseInsensitive)) {
        WriteErrorLog(QStringLiteral("cMenu.AppendFromFile: section [%1] includes itself - stopped (%2)")
                          .arg(name, QFileInfo(file_).fileName()));
        return;
      }
      if (chain.size() >= kMaxMenuDepth) {
        WriteErrorLog(QStringLiteral("cMenu.AppendFromFile: submenus deeper than %1 - [%2] left empty")
                          .arg(kMaxMenuDepth)
                          .arg(name));
        return;
      }
      if (name.isEmpty() || !ini_.SectionExists(name)) {
        WriteErrorLog(QStringLiteral("cMenu.AppendFromFile: no section [%1] in %2").arg(name, file_));
        return;
      }
      chain.append(name);
      Array2<QString> lines;
      ini_.SectionLoad(lines, name);
      for (int i = 1; i <= lines.ubound(2); ++i) {
        if (!room()) break;
        if (auto line = read(lines(1, i), lines(2, i), chain)) out.append(std::move(*line));
      }
      chain.removeLast();
    });
    return out;
  }

  bool room() {
    if (count_ < kMaxMenuLines) return true;
    if (!full_)
      WriteErrorLog(
          QStringLiteral("cMenu.AppendFromFile: more than %1 entries - the rest left out").arg(kMaxMenuLines));
    full_ = true;
    return false;
  }

 private:
  std::optional<MenuLine> read(const QString& key, const QString& caption, QStringList& chain) {
    MenuLine line;
    const bool submenu = key.startsWith(u'{') || key.startsWith(u'%');
    if (!submenu && isSeparatorCaption(caption)) {
      line.kind = MenuLine::Kind::Separator;
      ++count_;
      return line;
    }
    if (caption.isEmpty()) {
      WriteErrorLog(QStringLiteral("cMenu.AppendFromFile: entry without caption left out: [%1] %2")
                        .arg(chain.isEmpty() ? QString() : chain.last(), key));
      return std::nullopt;
    }
    line.caption = caption;
    ++count_;
    if (!submenu) {
      line.key = key;
      return line;
    }
    line.kind = MenuLine::Kind::Submenu;
    line.children = key.startsWith(u'{') ? section(innerName(key), chain) : list(innerName(key));
    return line;
  }

  QList<MenuLine> list(const QString& function) {
    return trapped("cMenu.AppendFromFile", QList<MenuLine>(), [&] {
      const std::optional<QStringList> strings = lists_ ? lists_(function) : std::nullopt;
      if (!strings) {
        WriteErrorLog(QStringLiteral("cMenu.AppendFromFile: no list function %") + function + u'%');
        return QList<MenuLine>();
      }
      QList<MenuLine> lines = menuLinesFromStrings(*strings);
      if (count_ + lines.size() > kMaxMenuLines) lines.resize(qMax(0, kMaxMenuLines - count_));
      count_ += int(lines.size());
      return lines;
    });
  }

  QString file_;
  const MenuListSource& lists_;
  cIniFil ini_;
  bool exists_ = false;
  int count_ = 0;
  bool full_ = false;
};

}  // namespace

QList<MenuLine> readMenuSection(const QString& file, const QString& section, const MenuListSource& lists,
                                int codePage) {
  return trapped("cMenu.AppendFromFile", QList<MenuLine>(), [&] {
    Reader reader(file, lists, codePage);
    if (!reader.exists()) {
      WriteErrorLog(QStringLiteral("cMenu.AppendFromFile: no file ") + file);
      return QList<MenuLine>();
    }
    QStringList chain;
    return reader.section(section, chain);
  });
}

QList<MenuLine> menuLinesFromStrings(const QStringList& strings) {
  QList<MenuLine> out;
  trap("cMenu.AppendFromCollection", [&] {
    for (const QString& s : strings) {
      const qsizetype eq = s.indexOf(u'=');
      MenuLine line;
      if (eq >= 0 && isSeparatorCaption(s.mid(eq + 1))) {
        line.kind = MenuLine::Kind::Separator;
      } else if (eq < 0 || eq + 1 == s.size()) {
        WriteErrorLog(QStringLiteral("cMenu.AppendFromCollection: entry without caption left out: ") + s);
        continue;
      } else {
        line.key = s.left(eq);
        line.caption = s.mid(eq + 1);
      }
      out.append(std::move(line));
    }
  });
  return out;
}

}  // namespace jex
