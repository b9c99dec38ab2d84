#include "corvane/engine/keyecho.h"

#include <QHash>
#include <memory>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/settingsstore.h"

namespace corvane {

namespace {

const QString kSection = QStringLiteral("KeyEcho");

// A spoken name in German and in English.
struct Name {
  const char* de;
  const char* en;
};

const QHash<int, Name>& keyNames() {
  static const QHash<int, Name> names{
      {Qt::Key_Return, {"Eingabe", "Enter"}},
      {Qt::Key_Enter, {"Eingabe", "Enter"}},
      {Qt::Key_Escape, {"Escape", "Escape"}},
      {Qt::Key_Tab, {"Tabulator", "Tab"}},
      {Qt::Key_Backtab, {"Tabulator", "Tab"}},
      {Qt::Key_Delete, {"Entfernen", "Delete"}},
      {Qt::Key_Insert, {"Einfügen", "Insert"}},
      {Qt::Key_Backspace, {"Rücktaste", "Backspace"}},
      {Qt::Key_Left, {"Links", "Left"}},
      {Qt::Key_Right, {"Rechts", "Right"}},
      {Qt::Key_Up, {"Auf", "Up"}},
      {Qt::Key_Down, {"Ab", "Down"}},
      {Qt::Key_Home, {"Pos1", "Home"}},
      {Qt::Key_End, {"Ende", "End"}},
      {Qt::Key_PageUp, {"Bild auf", "Page up"}},
      {Qt::Key_PageDown, {"Bild ab", "Page down"}},
      {Qt::Key_CapsLock, {"Feststelltaste", "Caps lock"}},
      {Qt::Key_NumLock, {"Num", "Num lock"}},
      {Qt::Key_ScrollLock, {"Rollen", "Scroll lock"}},
      {Qt::Key_Space, {"Leer", "space"}},
  };
  return names;
}

const QHash<QChar, Name>& charNames() {
  static const QHash<QChar, Name> names{
      {u' ', {"Leer", "space"}},
      {u'.', {"Punkt", "period"}},
      {u',', {"Komma", "comma"}},
      {u';', {"Semikolon", "semicolon"}},
      {u':', {"Doppelpunkt", "colon"}},
      {u'!', {"Ausrufezeichen", "exclamation mark"}},
      {u'?', {"Fragezeichen", "question mark"}},
      {u'-', {"Minus", "dash"}},
      {u'+', {"Plus", "plus"}},
      {u'(', {"Klammer auf", "left paren"}},
      {u')', {"Klammer zu", "right paren"}},
      {u'"', {"Anführungszeichen", "quote"}},
      {u'\'', {"Apostroph", "apostrophe"}},
      {u'/', {"Schrägstrich", "slash"}},
      {u'\t', {"Tabulator", "tab"}},
  };
  return names;
}

// The names by which ":type" knows a key in braces.
const QHash<QString, int>& typedNames() {
  static const QHash<QString, int> names{
      {QStringLiteral("enter"), Qt::Key_Return},
      {QStringLiteral("esc"), Qt::Key_Escape},
      {QStringLiteral("escape"), Qt::Key_Escape},
      {QStringLiteral("tab"), Qt::Key_Tab},
      {QStringLiteral("backspace"), Qt::Key_Backspace},
      {QStringLiteral("bs"), Qt::Key_Backspace},
      {QStringLiteral("delete"), Qt::Key_Delete},
      {QStringLiteral("del"), Qt::Key_Delete},
      {QStringLiteral("insert"), Qt::Key_Insert},
      {QStringLiteral("left"), Qt::Key_Left},
      {QStringLiteral("right"), Qt::Key_Right},
      {QStringLiteral("up"), Qt::Key_Up},
      {QStringLiteral("down"), Qt::Key_Down},
      {QStringLiteral("home"), Qt::Key_Home},
      {QStringLiteral("end"), Qt::Key_End},
      {QStringLiteral("pageup"), Qt::Key_PageUp},
      {QStringLiteral("pagedown"), Qt::Key_PageDown},
      {QStringLiteral("capslock"), Qt::Key_CapsLock},
      {QStringLiteral("numlock"), Qt::Key_NumLock},
      {QStringLiteral("scrolllock"), Qt::Key_ScrollLock},
      {QStringLiteral("space"), Qt::Key_Space},
      {QStringLiteral("lbrace"), Qt::Key_BraceLeft},
  };
  return names;
}

bool isFunctionKey(int key) { return key >= Qt::Key_F1 && key <= Qt::Key_F24; }
bool isCursorKey(int key) {
  return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down ||
         key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}
bool isCommandKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Tab ||
         key == Qt::Key_Backtab || key == Qt::Key_Delete || key == Qt::Key_Insert;
}
bool isToggleKey(int key) { return key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock; }
bool isModifierKey(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
         key == Qt::Key_AltGr;
}
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

}  // namespace

const std::array<KeyEcho::MemberInfo, KeyEcho::kMemberCount>& KeyEcho::members() {
  static const std::array<MemberInfo, kMemberCount> m{{{"KeyEcho", 1, 1},
                                                       {"CharEcho", 3, 1},
                                                       {"EchoMode", 1, 0},
                                                       {"BackSpaceEcho", 1, 0},
                                                       {"FunctionEcho", 1, 1},
                                                       {"CursorEcho", 1, 1},
                                                       {"CommandEcho", 1, 1},
                                                       {"ToggleEcho", 1, 1},
                                                       {"LayMessage", 1, 1}}};
  return m;
}

int KeyEcho::memberIndex(const QString& name) {
  for (int i = 0; i < kMemberCount; ++i)
    if (name.compare(QLatin1String(members()[size_t(i)].name), Qt::CaseInsensitive) == 0) return i;
  return -1;
}

KeyEcho::KeyEcho(CoreModel& model) : model_(model) { load(); }

void KeyEcho::setValue(int member, int v) {
  const MemberInfo& m = members().at(size_t(member));
  if (v < 0 || v > m.max)
    throw jex::Error(jex::err::InvalidCall,
                     QStringLiteral("KeyEcho.%1: %2 is outside 0 to %3").arg(QLatin1String(m.name)).arg(v).arg(m.max));
  values_[size_t(member)] = v;
}

void KeyEcho::load() {
  jex::trap("KeyEcho.load", [&] {
    for (int i = 0; i < kMemberCount; ++i) {
      const MemberInfo& m = members()[size_t(i)];
      const QString text = model_.settings().value(kSection, QLatin1String(m.name)).trimmed();
      bool number = false;
      const int v = text.toInt(&number);
      values_[size_t(i)] = m.fallback;
      if (text.isEmpty()) continue;
      if (number && v >= 0 && v <= m.max) values_[size_t(i)] = v;
      else
        jex::WriteErrorLog(QStringLiteral("corvane.ini: [KeyEcho] %1=%2 is not 0 to %3; %4 taken")
                               .arg(QLatin1String(m.name), text)
                               .arg(m.max)
                               .arg(m.fallback));
    }
  });
}

bool KeyEcho::save() {
  QList<std::pair<QString, QString>> entries;
  for (int i = 0; i < kMemberCount; ++i)
    entries.append({QLatin1String(members()[size_t(i)].name), QString::number(values_[size_t(i)])});
  return model_.settings().setValues(kSection, entries);
}

bool KeyEcho::german() const {
  const QString lng = model_.settings().value(ini::General, ini::DefaultLng, QStringLiteral("1031")).trimmed();
  return lng == u"1031" || lng.startsWith(u"de", Qt::CaseInsensitive) || lng.isEmpty();
}

QString KeyEcho::echo(const TypedKey& key, const QString& before, int caret) {
  return jex::trapped("KeyEcho.echo", QString(), [&] {
    bool typed = false;
    const QString text = textFor(key, before, qBound(0, caret, int(before.size())), &typed);
    if (!text.isEmpty()) say(text, typed);
    return text;
  });
}

QString KeyEcho::edited(const TextEdit& edit) {
  return jex::trapped("KeyEcho.edited", QString(), [&] {
    const int offset = qBound(0, edit.offset, int(edit.before.size()));
    if (edit.removed.isEmpty() && edit.inserted.size() == 1) {
      const QChar c = edit.inserted.at(0);
      return echo({c == u' ' ? int(Qt::Key_Space) : int(c.toUpper().unicode()), edit.inserted, 0}, edit.before, offset);
    }
    if (edit.inserted.isEmpty() && edit.removed.size() == 1) {
      if (edit.caretWasAfter) return echo({Qt::Key_Backspace, {}, 0}, edit.before, offset + 1);
      return echo({Qt::Key_Delete, {}, 0}, edit.before, offset);
    }
    const QString text = (edit.inserted.isEmpty() ? edit.removed : edit.inserted).simplified();
    if (text.isEmpty() || !values_[KeyEchoOn] || !values_[CharEcho]) return QString();
    // The whole text replaced at once is a new value the field was given (a number stepped by an
    // arrow key), not typing: said and shown as it is. Anything else may be what the user typed.
    const bool newValue = !edit.listField && !edit.removed.isEmpty() && !edit.inserted.isEmpty() && offset == 0 &&
                          edit.removed.size() == edit.before.size();
    say(text, !newValue);
    return text;
  });
}

QString KeyEcho::textFor(const TypedKey& key, const QString& before, int caret, bool* typed) {
  const bool de = german();
  const auto word = [de](const Name& n) { return QString::fromUtf8(de ? n.de : n.en); };
  const auto keyName = [&](int k) {
    if (isFunctionKey(k)) return QStringLiteral("F%1").arg(k - Qt::Key_F1 + 1);
    if (const auto it = keyNames().find(k); it != keyNames().end()) return word(*it);
    const QString t = key.text.isEmpty() ? QString(QChar(k)) : key.text;
    return t.toUpper();
  };
  const auto state = [&](bool on) {
    return de ? (on ? QStringLiteral("an") : QStringLiteral("aus"))
              : (on ? QStringLiteral("on") : QStringLiteral("off"));
  };
  const auto charName = [&](QChar c) {
    if (const auto it = charNames().find(c); it != charNames().end()) return word(*it);
    return QString(c);
  };
  const int k = key.key;
  // The lock states follow the keys, whether or not they are said.
  if (k == Qt::Key_CapsLock) caps_ = !caps_;
  if (k == Qt::Key_NumLock) num_ = !num_;
  if (k == Qt::Key_ScrollLock) scroll_ = !scroll_;
  if (!values_[KeyEchoOn] || isModifierKey(k)) return {};
  const auto on = [this](Member m) { return values_[size_t(m)] != 0; };

  if (isToggleKey(k)) {
    QStringList parts;
    const bool now = k == Qt::Key_CapsLock ? caps_ : k == Qt::Key_NumLock ? num_ : scroll_;
    if (on(ToggleEcho)) parts << keyName(k) + u' ' + state(now);
    if (k == Qt::Key_NumLock && on(LayMessage))
      parts << (de ? (num_ ? QStringLiteral("Ziffernblock Zahlen") : QStringLiteral("Ziffernblock Cursor"))
                   : (num_ ? QStringLiteral("keypad numbers") : QStringLiteral("keypad cursor")));
    return parts.join(u' ');
  }
  const bool ctrlAlt = key.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (ctrlAlt) {
    if (!on(CommandEcho)) return {};
    QStringList parts;
    if (key.modifiers & Qt::ControlModifier) parts << (de ? QStringLiteral("Strg") : QStringLiteral("Ctrl"));
    if (key.modifiers & Qt::AltModifier) parts << QStringLiteral("Alt");
    if (key.modifiers & Qt::MetaModifier) parts << QStringLiteral("Windows");
    if (key.modifiers & Qt::ShiftModifier) parts << (de ? QStringLiteral("Umschalt") : QStringLiteral("Shift"));
    return parts.join(u'+') + u'+' + keyName(k);
  }
  if (k == Qt::Key_Backspace) {
    if (caret <= 0) return {};
    *typed = true;  // a character of the field, not the key's name
    // 0: the character deleted; 1: the one now left of the caret.
    if (values_[BackSpaceEcho] == 0) return charName(before.at(caret - 1));
    return caret >= 2 ? charName(before.at(caret - 2)) : QString();
  }
  if (isFunctionKey(k)) return on(FunctionEcho) ? keyName(k) : QString();
  if (isCursorKey(k)) return on(CursorEcho) ? keyName(k) : QString();
  if (isCommandKey(k)) return on(CommandEcho) ? keyName(k) : QString();
  if (key.text.isEmpty() || !key.text.at(0).isPrint()) return {};

  *typed = true;
  const QChar c = key.text.at(0);
  const int mode = values_[CharEcho];
  const bool chars = mode == 1 || mode == 3;
  const bool words = mode == 1 || mode == 2;
  QString said;
  if (words && !isWordChar(c)) {
    int start = caret;
    while (start > 0 && isWordChar(before.at(start - 1))) --start;
    said = before.mid(start, caret - start);
  }
  if (chars && (said.isEmpty() || c != u' ')) said += (said.isEmpty() ? QString() : QStringLiteral(" ")) + charName(c);
  return said;
}

void KeyEcho::say(const QString& text, bool typed) {
  model_.report(QStringLiteral("ECHO: ") + (typed ? typedNote(text) : text));
  if (typed) model_.speakTyped(text, kEchoSource, values_[EchoMode] == 1);
  else if (values_[EchoMode] == 1) model_.speakAppended(text, kEchoSource);
  else model_.speak(text, kEchoSource);
}

QList<TypedKey> KeyEcho::parseKeys(const QString& keys) {
  QList<TypedKey> out;
  for (qsizetype i = 0; i < keys.size(); ++i) {
    const QChar c = keys.at(i);
    const qsizetype close = c == u'{' ? keys.indexOf(u'}', i + 1) : -1;
    if (close > i + 1) {
      QStringList parts = keys.mid(i + 1, close - i - 1).split(u'+');
      TypedKey k;
      const QString last = parts.takeLast().trimmed();
      bool known = true;
      for (const QString& m : parts) {
        const QString n = m.trimmed().toLower();
        if (n == u"ctrl" || n == u"strg") k.modifiers |= Qt::ControlModifier;
        else if (n == u"alt") k.modifiers |= Qt::AltModifier;
        else if (n == u"shift") k.modifiers |= Qt::ShiftModifier;
        else known = false;
      }
      const QString lower = last.toLower();
      if (const auto it = typedNames().find(lower); it != typedNames().end()) {
        k.key = *it;
        if (k.key == Qt::Key_Space) k.text = QStringLiteral(" ");
        if (k.key == Qt::Key_BraceLeft) k.text = QStringLiteral("{");
      } else if (lower.size() > 1 && lower.startsWith(u'f') && lower.mid(1).toInt() >= 1 &&
                 lower.mid(1).toInt() <= 24) {
        k.key = Qt::Key_F1 + lower.mid(1).toInt() - 1;
      } else if (last.size() == 1) {
        k.key = last.at(0).toUpper().unicode();
        k.text = k.modifiers & (Qt::ControlModifier | Qt::AltModifier) ? QString() : last;
      } else {
        known = false;
      }
      if (known) {
        out.append(k);
        i = close;
        continue;
      }
    }
    TypedKey k;
    k.key = c == u' ' ? int(Qt::Key_Space) : int(c.toUpper().unicode());
    k.text = c;
    out.append(k);
  }
  return out;
}

int KeyEcho::type(const QString& keys) {
  return jex::trapped("KeyEcho.type", 0, [&] {
    const QList<TypedKey> list = parseKeys(keys);
    for (const TypedKey& k : list) {
      echo(k, line_, caret_);
      // What the key does to the line, as a one-line field does it.
      const bool ctrlAlt = k.modifiers & (Qt::ControlModifier | Qt::AltModifier);
      if (k.key == Qt::Key_Backspace && caret_ > 0) line_.remove(--caret_, 1);
      else if (k.key == Qt::Key_Delete && caret_ < line_.size()) line_.remove(caret_, 1);
      else if (k.key == Qt::Key_Left) caret_ = qMax(0, caret_ - 1);
      else if (k.key == Qt::Key_Right) caret_ = qMin(int(line_.size()), caret_ + 1);
      else if (k.key == Qt::Key_Home) caret_ = 0;
      else if (k.key == Qt::Key_End) caret_ = int(line_.size());
      else if (k.key == Qt::Key_Return || k.key == Qt::Key_Escape) line_.clear(), caret_ = 0;
      else if (!ctrlAlt && !k.text.isEmpty() && k.text.at(0).isPrint()) line_.insert(caret_++, k.text);
    }
    return int(list.size());
  });
}

// Made with the model on first use; the model keeps it for its lifetime.
KeyEcho& CoreModel::keyEcho() {
  if (!keyEcho_) keyEcho_ = std::make_shared<KeyEcho>(*this);
  return *keyEcho_;
}

}  // namespace corvane
