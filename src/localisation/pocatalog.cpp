#include "localisation/pocatalog.h"

#include "base/error.h"
#include "ini/cinifil.h"
#include "ini/privateprofile.h"
#include "localisation/frmlocalizer.h"
#include "localisation/localizable.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTimeZone>
#include <QWidget>

namespace jex::po {

namespace {

const QString kNone = QStringLiteral("---");
const QString kTipSuffix = QStringLiteral("#tip");

QString itemKey(const QString& key, int n) {
  return key + QStringLiteral("_Item") + (n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n));
}

// A name without regard to case; names are nearly always ASCII, which is folded here without the
// Unicode tables.
QString caseless(QString name) {
  for (QChar& c : name) {
    if (c.unicode() >= 0x80) return name.toCaseFolded();
    if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
  }
  return name;
}

QString folded(const QString& section, const QString& key) { return caseless(section + QLatin1Char('.') + key); }

QString left(const QString& value) {
  const qsizetype bar = value.indexOf(QLatin1Char('|'));
  return bar < 0 ? value : value.left(bar);
}
QString right(const QString& value) {
  const qsizetype bar = value.indexOf(QLatin1Char('|'));
  return bar < 0 ? QString() : value.mid(bar + 1);
}

// The part of a value that an entry stands for.
QString partOf(const Part& p, const QString& value) { return p.whole ? value : p.tip ? right(value) : left(value); }

// The sections of a file with their key=value pairs, in file order.
struct Section {
  QString name;
  QList<std::pair<QString, QString>> entries;
};
// One reading of the file: a file just written is not taken from the read cache, and reading it
// section by section would parse it again for every section.
QList<Section> sectionsOf(cIniFil& ini) {
  QList<Section> out;
  for (cIniFil::LoadedSection& s : ini.SectionsLoad()) out.append({std::move(s.name), std::move(s.entries)});
  return out;
}

// The value as the INI layer reads it (without one pair of outer quotes).
QString unquoted(const QString& value) {
  if (value.size() > 1 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    return value.mid(1, value.size() - 2);
  return value;
}

// The gettext language code of a Windows locale number; empty for one not in the table.
QString languageCode(const QString& lng) {
  static const QHash<QString, QString> codes{
      {QStringLiteral("1031"), QStringLiteral("de")}, {QStringLiteral("1033"), QStringLiteral("en")},
      {QStringLiteral("1034"), QStringLiteral("es")}, {QStringLiteral("1036"), QStringLiteral("fr")},
      {QStringLiteral("1037"), QStringLiteral("he")}, {QStringLiteral("1040"), QStringLiteral("it")},
      {QStringLiteral("1043"), QStringLiteral("nl")}, {QStringLiteral("1045"), QStringLiteral("pl")},
      {QStringLiteral("1049"), QStringLiteral("ru")}, {QStringLiteral("1025"), QStringLiteral("ar")}};
  return codes.value(lng);
}

bool isSettingsSection(const QString& name) {
  return name.compare(QLatin1String("Global"), Qt::CaseInsensitive) == 0 ||
         name.compare(QLatin1String("Links"), Qt::CaseInsensitive) == 0;
}

// A string as a PO file writes it, in double quotes.
QByteArray quoted(const QString& text) {
  QByteArray out("\"");
  for (const char c : text.toUtf8()) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out + '"';
}

// The values of a language file by folded "section.key".
QHash<QString, QString> valuesOf(const QList<Section>& sections) {
  QHash<QString, QString> values;
  for (const Section& s : sections)
    for (const auto& [key, value] : s.entries) {
      const QString f = folded(s.name, key);
      if (!values.contains(f)) values.insert(f, unquoted(value));
    }
  return values;
}

cIniFil open(const QString& file, int codePage) {
  cIniFil ini;
  ini.Init(file, false, codePage);
  return ini;
}

}  // namespace

QList<Part> collect(const QList<QWidget*>& forms, const QString& germanFile) {
  QList<Part> parts;
  trap("po.collect", [&] {
    cIniFil german = open(germanFile, 0);
    const QList<Section> germanSections = sectionsOf(german);
    const QHash<QString, QString> de = valuesOf(germanSections);
    QSet<QString> seen;
    QSet<QString> formNames;
    const auto add = [&](Part p, const QString& builtIn) {
      const QString f = folded(p.section, p.key);
      const auto it = de.constFind(f);
      QString text = it != de.cend() ? partOf(p, *it) : QString();
      if (text.isEmpty()) text = builtIn;
      if (text.isEmpty() || text == kNone || seen.contains(caseless(p.context))) return;
      seen.insert(caseless(p.context));
      p.german = text;
      parts.append(std::move(p));
    };
    for (QWidget* form : forms) {
      const QString section = form->objectName();
      formNames.insert(caseless(section));
      for (const loc::Control& c : loc::controlsOf(form)) {
        trap("po.collect", [&] {
          const QString d = DefaultText(c);
          if (d == kNone) return;
          const QString kind = loc::kindNames().value(static_cast<int>(c.kind()));
          const QString ctx = section + QLatin1Char('.') + c.key();
          const Part tip{ctx + kTipSuffix, section, c.key(), true, false, kind, {}};
          if (d.startsWith(QLatin1String("--- Tip:"))) return add(tip, c.toolTip());
          if (d.startsWith(QLatin1String("--- Items:"))) {
            const bool tabs = c.kind() == loc::Kind::TabStrip;
            for (int n = tabs ? 1 : 0, last = tabs ? c.itemCount() : c.itemCount() - 1; n <= last; ++n) {
              const QString key = itemKey(c.key(), n);
              add({section + QLatin1Char('.') + key, section, key, false, false, kind + QStringLiteral(" item"), {}},
                  c.itemText(n));
            }
            return add(tip, c.toolTip());
          }
          add({ctx, section, c.key(), false, false, kind, {}}, c.caption());
          if (c.kind() != loc::Kind::Label) add(tip, c.toolTip());
        });
      }
    }
    for (const Section& s : germanSections) {
      if (isSettingsSection(s.name) || formNames.contains(caseless(s.name))) continue;
      for (const auto& [key, value] : s.entries)
        add({s.name + QLatin1Char('.') + key, s.name, key, false, true, QStringLiteral("text"), {}}, QString());
    }
  });
  return parts;
}

QByteArray exportPo(const QList<Part>& parts, const QString& lng, const QString& languageFile, int codePage,
                    const QString& germanFile) {
  return trapped("po.exportPo", QByteArray(), [&] {
    cIniFil german = open(germanFile, 0);
    QSet<QString> known;
    for (const Section& s : sectionsOf(german))
      for (const auto& [key, value] : s.entries) known.insert(folded(s.name, key));
    cIniFil ini = open(languageFile, codePage);
    const QList<Section> sections = sectionsOf(ini);
    const QHash<QString, QString> values = valuesOf(sections);
    QByteArray out;
    out += "# JexUI interface texts, language " + lng.toUtf8() + ".\n";
    out += "msgid \"\"\nmsgstr \"\"\n";
    out += "\"Project-Id-Version: JexUI\\n\"\n";
    const QDateTime changed = QFileInfo(languageFile).lastModified().toUTC();
    out += "\"PO-Revision-Date: " +
           (changed.isValid() ? changed : QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc()))
               .toString(QStringLiteral("yyyy-MM-dd HH:mm+0000"))
               .toUtf8() +
           "\\n\"\n";
    out += "\"Last-Translator: JexUI translators\\n\"\n";
    out += "\"Language-Team: JexUI translators\\n\"\n";
    if (const QString code = languageCode(lng); !code.isEmpty()) out += "\"Language: " + code.toUtf8() + "\\n\"\n";
    out += "\"MIME-Version: 1.0\\n\"\n";
    out += "\"Content-Type: text/plain; charset=UTF-8\\n\"\n";
    out += "\"Content-Transfer-Encoding: 8bit\\n\"\n";
    out += "\"X-JexUI-LNG: " + lng.toUtf8() + "\\n\"\n";
    for (const Part& p : parts) {
      known.insert(folded(p.section, p.key));
      const QString value = values.value(folded(p.section, p.key));
      out += "\n#. " + p.kind.toUtf8() + "\n";
      out += "msgctxt " + quoted(p.context) + "\n";
      out += "msgid " + quoted(p.german) + "\n";
      out += "msgstr " + quoted(partOf(p, value)) + "\n";
    }
    // Keys that no form and no German entry knows: kept for the translator, never imported.
    for (const Section& s : sections) {
      if (isSettingsSection(s.name)) continue;
      for (const auto& [key, value] : s.entries) {
        if (known.contains(folded(s.name, key))) continue;
        const QString text = unquoted(value);
        out += "\n#~ msgctxt " + quoted(s.name + QLatin1Char('.') + key) + "\n";
        out += "#~ msgid " + quoted(text) + "\n";
        out += "#~ msgstr " + quoted(text) + "\n";
      }
    }
    return out;
  });
}

namespace {

// A PO file read line by line; the first problem ends the reading.
class Reader {
 public:
  Reader(const QByteArray& text, const QString& name) : name_(name) {
    for (const QByteArray& line : text.split('\n')) lines_ << QString::fromUtf8(line).trimmed();
  }

  struct Entry {
    QString context, id, str;
    bool hasContext = false, fuzzy = false, obsolete = false;
    int line = 0;
  };

  bool read(QList<Entry>& out, QString& header) {
    Entry e;
    QString* target = nullptr;
    bool started = false;
    const auto flush = [&] {
      if (started) out.append(e);
      e = Entry{};
      target = nullptr;
      started = false;
    };
    for (line_ = 1; line_ <= lines_.size(); ++line_) {
      QString l = lines_[line_ - 1];
      if (l.isEmpty()) {
        flush();
        continue;
      }
      if (l.startsWith(QLatin1String("#~"))) {
        if (!started || !e.obsolete) flush();
        e.obsolete = true;
        started = true;
        continue;  // obsolete entries are left alone
      }
      if (l.startsWith(QLatin1Char('#'))) {
        if (started && (target || e.obsolete)) flush();
        if (l.startsWith(QLatin1String("#,")) && l.contains(QLatin1String("fuzzy"))) e.fuzzy = true;
        continue;
      }
      if (l.startsWith(QLatin1String("msgid_plural")) || l.startsWith(QLatin1String("msgstr["))) {
        return fail(QStringLiteral("plural forms are not used"));
      }
      QString keyword;
      if (!l.startsWith(QLatin1Char('"'))) {
        const qsizetype blank = l.indexOf(QLatin1Char(' '));
        keyword = blank < 0 ? l : l.left(blank);
        l = blank < 0 ? QString() : l.mid(blank + 1).trimmed();
        if (started && e.obsolete) flush();
        if (keyword == QLatin1String("msgctxt")) {
          if (started && target) flush();
          started = true;
          e.line = line_;
          e.hasContext = true;
          target = &e.context;
        } else if (keyword == QLatin1String("msgid")) {
          if (started && target && target != &e.context) flush();
          if (!started) e.line = line_;
          started = true;
          target = &e.id;
        } else if (keyword == QLatin1String("msgstr")) {
          if (target != &e.id) return fail(QStringLiteral("msgstr without msgid"));
          target = &e.str;
        } else {
          return fail(QStringLiteral("unknown keyword \"%1\"").arg(keyword));
        }
      } else if (!target) {
        return fail(QStringLiteral("a string outside an entry"));
      }
      QString text;
      if (!string(l, text)) return false;
      *target += text;
    }
    flush();
    // The header: the entry with an empty msgid and no context.
    for (qsizetype i = 0; i < out.size(); ++i)
      if (!out[i].obsolete && !out[i].hasContext && out[i].id.isEmpty()) {
        header = out[i].str;
        headerLine_ = out[i].line;
        out.removeAt(i);
        break;
      }
    return true;
  }

  QString error() const { return error_; }
  int headerLine() const { return headerLine_; }
  QString at(int line, const QString& problem) const {
    return name_ + QLatin1Char(':') + QString::number(line) + QStringLiteral(": ") + problem;
  }

 private:
  bool fail(const QString& problem) {
    error_ = at(line_, problem);
    return false;
  }

  // One quoted string with its escapes.
  bool string(const QString& l, QString& out) {
    if (l.size() < 2 || l.front() != u'"' || l.back() != u'"') return fail(QStringLiteral("unterminated string"));
    for (qsizetype i = 1; i < l.size() - 1; ++i) {
      const QChar c = l[i];
      if (c == u'"') return fail(QStringLiteral("unterminated string"));
      if (c != u'\\') {
        out += c;
        continue;
      }
      if (++i >= l.size() - 1) return fail(QStringLiteral("unterminated string"));
      switch (l[i].unicode()) {
        case u'\\':
          out += u'\\';
          break;
        case u'"':
          out += u'"';
          break;
        case u'n':
          out += u'\n';
          break;
        case u't':
          out += u'\t';
          break;
        case u'r':
          out += u'\r';
          break;
        default:
          return fail(QStringLiteral("bad escape \"\\%1\"").arg(l[i]));
      }
    }
    return true;
  }

  QString name_;
  QStringList lines_;
  int line_ = 0;
  int headerLine_ = 1;
  QString error_;
};

}  // namespace

ImportResult importPo(const QList<Part>& parts, const QByteArray& poText, const QString& poName, const QString& lng,
                      const QString& languageFile, int codePage, bool checkOnly) {
  ImportResult result;
  trap("po.importPo", [&] {
    Reader reader(poText, poName);
    QList<Reader::Entry> entries;
    QString header;
    if (!reader.read(entries, header)) {
      result.error = reader.error();
      return;
    }
    for (const QString& field : header.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
      const QString name = field.section(QLatin1Char(':'), 0, 0).trimmed();
      const QString value = field.section(QLatin1Char(':'), 1).trimmed();
      if (name.compare(QLatin1String("Content-Type"), Qt::CaseInsensitive) == 0) {
        const QString charset = value.section(QStringLiteral("charset="), 1).trimmed();
        if (charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0) {
          result.error = reader.at(reader.headerLine(), QStringLiteral("unknown charset \"%1\"").arg(charset));
          return;
        }
      } else if (name == QLatin1String("X-JexUI-LNG") && value != lng) {
        result.error =
            reader.at(reader.headerLine(), QStringLiteral("the file is for language %1, not %2").arg(value, lng));
        return;
      }
    }
    QHash<QString, const Part*> byContext;
    byContext.reserve(parts.size());
    for (const Part& p : parts) byContext.insert(caseless(p.context), &p);
    QSet<QString> contexts;
    contexts.reserve(entries.size());
    QStringList entryContexts;  // each entry's context without regard to case
    entryContexts.reserve(entries.size());
    for (const Reader::Entry& e : entries) {
      entryContexts << (e.obsolete ? QString() : caseless(e.context));
      if (e.obsolete) continue;
      if (contexts.contains(entryContexts.last())) {
        result.error = reader.at(e.line, QStringLiteral("msgctxt \"%1\" given twice").arg(e.context));
        return;
      }
      contexts.insert(entryContexts.last());
    }

    cIniFil ini = open(languageFile, codePage);
    const QHash<QString, QString> values = valuesOf(sectionsOf(ini));
    QStringList texts;
    for (const Reader::Entry& e : entries) texts << (e.obsolete ? QString() : e.str);
    const QList<bool> fits = ini::Encodable(texts, languageFile, codePage);
    // The new values by key, starting from the file's.
    QHash<QString, QString> changed;
    QList<std::pair<QString, const Part*>> order;
    for (qsizetype i = 0; i < entries.size(); ++i) {
      const Reader::Entry& e = entries[i];
      if (e.obsolete) continue;
      const Part* p = byContext.value(entryContexts[i]);
      if (!p) {
        result.skipped << e.context + QStringLiteral(": unknown context");
        continue;
      }
      if (e.fuzzy) {
        ++result.fuzzy;
        continue;
      }
      if (e.str.isEmpty()) {
        ++result.untranslated;
        continue;
      }
      if (e.str.contains(QLatin1Char('\n')) || e.str.contains(QLatin1Char('\r'))) {
        result.skipped << e.context + QStringLiteral(": a line break");
        continue;
      }
      if (!p->tip && !p->whole && e.str.contains(QLatin1Char('|'))) {
        result.skipped << e.context + QStringLiteral(": a caption cannot hold \"|\"");
        continue;
      }
      if (!fits.value(i)) {
        result.skipped << e.context + QStringLiteral(": text outside the file's code page");
        continue;
      }
      const QString f = folded(p->section, p->key);
      const QString old = changed.contains(f) ? changed.value(f) : values.value(f);
      QString now;
      if (p->whole) now = e.str;
      else if (p->tip) now = left(old) + QLatin1Char('|') + e.str;
      else now = old.contains(QLatin1Char('|')) ? e.str + QLatin1Char('|') + right(old) : e.str;
      if (now == old) continue;
      if (!changed.contains(f)) order.append({f, p});
      changed.insert(f, now);
    }
    QList<ini::ProfileEntry> writes;
    for (const auto& [f, p] : order)
      if (changed.value(f) != values.value(f)) writes.append({p->section, p->key, ini::QuotedValue(changed.value(f))});
    result.written = int(writes.size());
    if (!checkOnly && !writes.isEmpty()) {
      QString problem;
      if (!ini::WritePrivateProfileBatch(writes, languageFile, codePage, &problem)) {
        result.error = languageFile + QStringLiteral(": ") + problem;
        return;
      }
    }
    result.ok = true;
  });
  return result;
}

}  // namespace jex::po
