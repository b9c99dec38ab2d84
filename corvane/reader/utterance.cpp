#include "corvane/reader/utterance.h"

#include <QStringList>
#include <iterator>

#include "corvane/engine/coremodel.h"

namespace corvane::reader {

namespace {
struct RoleWords {
  Kind kind;
  const char16_t* german;
  const char16_t* english;
};

constexpr RoleWords kRoles[] = {
    {Kind::Button, u"Schalter", u"button"},
    {Kind::ToggleButton, u"Umschalter", u"toggle button"},
    {Kind::CheckBox, u"Kontrollfeld", u"check box"},
    {Kind::RadioButton, u"Optionsfeld", u"radio button"},
    {Kind::ComboBox, u"Auswahlliste", u"combo box"},
    {Kind::Edit, u"Eingabefeld", u"edit"},
    {Kind::PasswordEdit, u"Kennwortfeld", u"password edit"},
    {Kind::SpinBox, u"Drehfeld", u"spin box"},
    {Kind::Slider, u"Schieberegler", u"slider"},
    {Kind::List, u"Liste", u"list"},
    {Kind::ListItem, u"Listeneintrag", u"list item"},
    {Kind::Table, u"Tabelle", u"table"},
    {Kind::TableCell, u"Zelle", u"cell"},
    {Kind::Tree, u"Baumansicht", u"tree view"},
    {Kind::TreeItem, u"Baumeintrag", u"tree item"},
    {Kind::PageTab, u"Registerkarte", u"tab"},
    {Kind::PageTabList, u"Registerleiste", u"tab list"},
    {Kind::Menu, u"Menü", u"menu"},
    {Kind::MenuItem, u"Menüeintrag", u"menu item"},
    {Kind::MenuBar, u"Menüleiste", u"menu bar"},
    {Kind::Label, u"Text", u"text"},
    {Kind::StatusBar, u"Statuszeile", u"status bar"},
    {Kind::ProgressBar, u"Fortschrittsanzeige", u"progress bar"},
    {Kind::ScrollBar, u"Bildlaufleiste", u"scroll bar"},
    {Kind::ToolBar, u"Symbolleiste", u"tool bar"},
    {Kind::Document, u"Dokument", u"document"},
    {Kind::Dialog, u"Dialog", u"dialog"},
    {Kind::Window, u"Fenster", u"window"},
    {Kind::Link, u"Verknüpfung", u"link"},
    {Kind::Group, u"Gruppe", u"group"},
};

QString cut(const QString& s) {
  QString t = s.simplified();
  if (t.size() > kMaxPart) t.truncate(kMaxPart);
  return t;
}
}  // namespace

bool nameIsValue(Kind kind) {
  return kind == Kind::ComboBox || kind == Kind::Edit || kind == Kind::PasswordEdit || kind == Kind::SpinBox;
}

QString roleWord(Kind kind, bool german) {
  for (const RoleWords& r : kRoles)
    if (r.kind == kind) return QString::fromUtf16(german ? r.german : r.english);
  return {};
}

QString checkWord(bool checked, bool german) {
  if (german) return checked ? QStringLiteral("aktiviert") : QStringLiteral("nicht aktiviert");
  return checked ? QStringLiteral("checked") : QStringLiteral("not checked");
}

bool isGermanLocale(const QString& lcid) {
  bool ok = false;
  const int n = lcid.trimmed().toInt(&ok);
  return ok && (n & 0x3ff) == 0x07;
}

QString label(const AccessibleInfo& info) {
  const QString name = cut(info.name);
  const QString by = cut(info.labelledBy);
  if (!nameIsValue(info.kind)) return name.isEmpty() ? by : name;
  if (!by.isEmpty()) return by;
  // Without a label relation the name counts only when it is not merely the value again.
  return name == cut(info.value) ? QString() : name;
}

QString value(const AccessibleInfo& info, bool german) {
  if (info.checkable) return checkWord(info.checked, german);
  if (info.kind == Kind::PasswordEdit) return {};
  return cut(info.value);
}

Composed compose(const AccessibleInfo& info, bool german, bool withDescription) {
  Composed c;
  const QString l = label(info);
  c.unnamed = l.isEmpty();
  QStringList parts;
  const QString role = info.opensSubmenu ? (german ? QStringLiteral("Untermenü") : QStringLiteral("submenu"))
                                         : roleWord(info.kind, german);
  const QString place =
      info.position > 0 && info.entries >= info.position
          ? QStringLiteral("%1 %2 %3").arg(info.position).arg(german ? u"von" : u"of").arg(info.entries)
          : QString();
  const QString v = value(info, german);
  const bool typedValue = !info.checkable && info.editable &&
                          (info.kind == Kind::Edit || info.kind == Kind::Document || info.kind == Kind::ComboBox);
  const QString all[] = {l, role, v, place, withDescription ? cut(info.description) : QString()};
  constexpr int kValue = 2;
  QStringList logged;
  if (const QString menu = cut(info.enteredMenu); !menu.isEmpty()) {
    parts << menu;
    logged << menu;
  }
  for (int i = 0; i < int(std::size(all)); ++i) {
    // A description that only repeats the label says nothing new.
    if (all[i].isEmpty() || parts.contains(all[i])) continue;
    parts << all[i];
    logged << (typedValue && i == kValue ? typedNote(v) : all[i]);
  }
  c.text = parts.join(QStringLiteral(", "));
  c.logged = logged.join(QStringLiteral(", "));
  return c;
}

QString characterName(const QString& c, bool german) {
  if (c.isEmpty() || c == u"\n" || c == u"\r" || c == u"\u2029")
    return german ? QStringLiteral("Zeilenende") : QStringLiteral("end of line");
  if (c == u" ") return german ? QStringLiteral("Leerzeichen") : QStringLiteral("space");
  if (c == u"\t") return german ? QStringLiteral("Tabulator") : QStringLiteral("tab");
  return c;
}

QString caretText(const CaretMove& move, int charEcho, bool german) {
  if (move.from == move.to) return {};  // reported again, not moved
  const bool byOne = move.from >= 0 && qAbs(move.to - move.from) == 1;
  if (byOne) return charEcho != 0 ? characterName(move.character, german) : QString();
  const QString line = cut(move.line);
  return line.isEmpty() ? (german ? QStringLiteral("leer") : QStringLiteral("blank")) : line;
}

}  // namespace corvane::reader
