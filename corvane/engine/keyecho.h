// The key echo: what the core says while the user types, and the nine settings that choose it.
//
// Settings ([KeyEcho] in corvane.ini; live in memory, stored only by save()):
//   KeyEcho 0/1 (off: nothing at all), CharEcho 0 none, 1 characters and words, 2 words,
//   3 characters; EchoMode 0 interrupts the speech, 1 appends to it; BackSpaceEcho 0 the deleted
//   character, 1 the character left of the caret after the deletion; FunctionEcho (F1..F24),
//   CursorEcho (arrows, Home, End, Page Up/Down), CommandEcho (Enter, Esc, Tab, Insert, Delete
//   and every key held with Ctrl or Alt), ToggleEcho (Caps, Num and Scroll Lock with their new
//   state), LayMessage (the keypad's layer when Num Lock switches it), each 0/1.
//
// Every echo is spoken in speech source 6 ("Tastenecho") and reported as an "ECHO: " line; what
// was typed (characters, words, a pasted text) is spoken as it is, while that line, the "SPEAK: "
// line and speech.log give only its length: no log holds what the user typed. The
// same handler serves the monitor window's command line (a real key with the field's text and
// caret before it) and the console's ":type" (keys on a line of the echo's own), so that the
// echo can be driven without a window system.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>

namespace corvane {

class CoreModel;

inline constexpr int kEchoSource = 6;

// One key as typed: a Qt key code, the text it produced and the modifiers held (Qt's values).
struct TypedKey {
  int key = 0;
  QString text;
  int modifiers = 0;
};

// A change of a field's text as the screen reader sees it (it sees no keys): what was inserted
// or removed at offset, in the text as it was before. A removal of the character left of the
// caret is the Backspace key's; one at the caret is the Delete key's.
struct TextEdit {
  QString before;
  int offset = 0;
  QString inserted;
  QString removed;
  bool caretWasAfter = false;  // removed: the caret stood after the removed text (Backspace)
  // The field of an editable drop-down list: its whole text replaced (a completion, an entry
  // taken over) may be what the user typed, so it is never shown as a new value.
  bool listField = false;
};

class KeyEcho {
 public:
  enum Member {
    KeyEchoOn,
    CharEcho,
    EchoMode,
    BackSpaceEcho,
    FunctionEcho,
    CursorEcho,
    CommandEcho,
    ToggleEcho,
    LayMessage,
    kMemberCount
  };
  struct MemberInfo {
    const char* name;
    int max;
    int fallback;
  };
  static const std::array<MemberInfo, kMemberCount>& members();
  // The member of that name (without regard to case); -1 when there is none.
  static int memberIndex(const QString& name);

  explicit KeyEcho(CoreModel& model);

  int value(int member) const { return values_.at(size_t(member)); }
  // Throws jex::Error (invalid call) for a value outside the member's range.
  void setValue(int member, int v);
  // Re-reads [KeyEcho]; a missing or bad value gives its default and a bad one a log line.
  void load();
  // Writes the nine values to [KeyEcho] in one replacement of the file; false when it failed.
  bool save();

  // The echo of key typed into a field whose text and caret were before and caret; returns
  // what was said (empty: nothing).
  QString echo(const TypedKey& key, const QString& before, int caret);
  // The echo of an edit seen in a field: one character inserted is echoed as that character's
  // key, one removed as Backspace or Delete, each with the live settings; a longer change
  // (pasted, a selection removed or replaced) is said as its text while characters or words
  // are echoed. Returns what was said.
  QString edited(const TextEdit& edit);
  // The console's typing: "Hallo{Space}{Backspace}{Ctrl+C}{F5}{NumLock}" on the echo's own line.
  // Returns the number of keys; a name in braces that is no key is typed as its characters.
  int type(const QString& keys);
  static QList<TypedKey> parseKeys(const QString& keys);

  bool capsLock() const { return caps_; }
  bool numLock() const { return num_; }

 private:
  // *typed: the text comes from what was typed (characters, words), not a key's name.
  QString textFor(const TypedKey& key, const QString& before, int caret, bool* typed);
  // The output and the logs give typed text by its length only (CoreModel::speakTyped).
  void say(const QString& text, bool typed);
  bool german() const;

  CoreModel& model_;
  std::array<int, kMemberCount> values_{};
  bool caps_ = false, num_ = true, scroll_ = false;
  QString line_;  // the console's line
  int caret_ = 0;
};

}  // namespace corvane
