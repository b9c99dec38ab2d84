// A language as a gettext PO file, for translators who work in their own tools.
//
// One entry per translatable part, its msgctxt naming it:
//   "frmMDI.cmdMenu(2)"              a control's caption (or a text box's text)
//   "frmMDI.cmdMenu(2)#tip"          its tool tip
//   "frmVoices.cboSpeechDef_Item 0"  a list item or tab
//   "CapKeys.Shift"                  a key of another text section ([Global] and [Links] hold
//                                    settings and are left out)
// with the control's kind as translator comment. msgid is the German text (the entry of
// LNG/1031, else the form's built-in text); a part without German text is left out. msgstr is
// the language's text (empty when it has none). Keys of the language file that no form and no
// German entry knows go out as obsolete entries ("#~"), which import leaves alone. The header
// names the language ("X-JexUI-LNG: 1037") and the charset UTF-8.
//
// Import reads the PO strictly: an unterminated string, an unknown escape, msgid_plural, a
// context given twice, a charset other than UTF-8 or another language's header refuses the
// whole file with "file:line: problem". Fuzzy and empty translations are skipped and counted;
// an unknown context, a caption with "|" and a text the language file's code page cannot hold
// are listed and skipped. What differs from the language file is written in one atomic write;
// an unchanged language leaves the file as it is, byte for byte.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace jex::po {

// One translatable part of the language.
struct Part {
  QString context;  // "form.key", "form.key#tip", "Section.key"
  QString section;
  QString key;
  bool tip = false;    // the right part of the value (the tool tip)
  bool whole = false;  // a text section's key: the whole value, no bar
  QString kind;        // translator comment
  QString german;      // msgid
};

// The parts of the forms (fresh instances, not localised) and of the German file's other text
// sections, in form order, then section order.
QList<Part> collect(const QList<QWidget*>& forms, const QString& germanFile);

// The PO text of language lng (its file languageFile, read with codePage when it is no UTF-8);
// germanFile tells which keys are known beside the parts.
QByteArray exportPo(const QList<Part>& parts, const QString& lng, const QString& languageFile, int codePage,
                    const QString& germanFile);

struct ImportResult {
  bool ok = false;       // false: refused (error says why), nothing written
  QString error;         // "file:line: problem"
  int written = 0;       // keys written
  int fuzzy = 0;         // skipped as fuzzy
  int untranslated = 0;  // skipped as empty
  QStringList skipped;   // "context: reason" of each entry listed and skipped
};

// Reads poText (named poName in messages) and writes what differs into languageFile; with
// checkOnly nothing is written.
ImportResult importPo(const QList<Part>& parts, const QByteArray& poText, const QString& poName, const QString& lng,
                      const QString& languageFile, int codePage, bool checkOnly);

}  // namespace jex::po
