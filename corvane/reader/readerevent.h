// What the listener thread hands to the reader, and the one-place mailbox between the two:
// events that come faster than they are spoken replace each other, so nothing queues up.
#pragma once

#include <QString>
#include <deque>
#include <mutex>
#include <optional>

#include "corvane/engine/keyecho.h"
#include "corvane/reader/utterance.h"

namespace corvane::reader {

struct ReaderEvent {
  enum Type { Focus, Window, Changed, Caret, Edited };
  Type type = Focus;
  AccessibleInfo info;  // Focus, Changed: the focused object; Caret: its kind and whether editable
  QString windowTitle;  // Window; with Focus: the window that became active just before
  CaretMove caret;      // Caret
  TextEdit edit;        // Edited: text typed or deleted in the focused field, for the key echo
  // With windowTitle: the text of a message or question box (its labels that name no control),
  // said after the title and before the focused control.
  QString windowText;
};

// The focused field's text from its caret on (the core's "READEDITCUR"), read on request.
struct FocusedText {
  bool found = false;  // a focused object with a text was there
  Kind kind = Kind::Other;
  bool editable = false;
  QString name;  // its name, else the label that names it
  QString text;  // from the caret on, at most kMaxReadEdit characters; a password's: empty
  int caret = 0;
  int length = 0;  // the whole text's
  qint64 pid = 0;  // the process it belongs to
};
// How much of a field is read from its caret at one request.
inline constexpr int kMaxReadEdit = 4000;

// The focused field's caret between events, and the caret move that its last edit causes.
// Text typed or deleted is heard once, through the key echo; the caret move that follows the
// edit (to the end of an insertion, to the start of a removal) is the edit's own and is not
// said again. Any other move (arrows, Home, a click) is a move of its own.
class FieldCaret {
 public:
  // A field newly focused: its caret where it is, -1 while unknown.
  void reset(int caret = -1) {
    caret_ = caret;
    expected_ = -1;
  }
  int caret() const { return caret_; }
  // length characters inserted or removed at offset; true for a removal left of the caret
  // (Backspace, as against Delete at the caret).
  bool edited(bool inserted, int offset, int length) {
    expected_ = inserted ? offset + length : offset;
    return !inserted && caret_ >= 0 && caret_ == offset + length;
  }
  // The caret now at `to`: false when this is the last edit's own move (nothing to say), else
  // true with where it came from.
  bool moved(int to, int* from) {
    *from = caret_;
    caret_ = to;
    const bool own = expected_ >= 0 && to == expected_;
    expected_ = -1;
    return !own;
  }

 private:
  int caret_ = -1;
  int expected_ = -1;
};

// The edit of a text-changed event: `changed` inserted or removed at offset, told by the text
// as read after the change (textNow, which begins at offset textFrom of the field). A field
// read after further typing has moved on: the echo then goes by what is left of the edit.
inline TextEdit editOf(bool inserted, int offset, const QString& changed, const QString& textNow, int textFrom,
                       bool caretWasAfter) {
  TextEdit e;
  e.offset = qBound(0, offset - textFrom, int(textNow.size()));
  e.before = textNow;
  e.caretWasAfter = caretWasAfter;
  if (inserted) {
    e.inserted = changed;
    if (e.before.mid(e.offset, changed.size()) == changed) e.before.remove(e.offset, changed.size());
    else e.before.truncate(e.offset);
  } else {
    e.removed = changed;
    e.before.insert(e.offset, changed);
  }
  return e;
}

// The latest event not yet taken. A window activation that is overtaken by the focus in that
// window is not lost: its title goes with the focus. An edit neither overtakes nor is overtaken
// but by the focus: each typed or deleted piece is echoed, in order, after what came before it,
// however late the taker comes; what follows an edit waits behind it.
class LatestEvent {
 public:
  // True when the mailbox was empty (the taker has to be woken).
  bool put(ReaderEvent e) {
    std::lock_guard lock(mutex_);
    const bool wasEmpty = queue_.empty();
    // The focus gone elsewhere right after an edit: the edit goes unsaid, as in the listener.
    if (e.type == ReaderEvent::Focus)
      while (!queue_.empty() && queue_.back().type == ReaderEvent::Edited) queue_.pop_back();
    if (queue_.empty() || e.type == ReaderEvent::Edited || queue_.back().type == ReaderEvent::Edited) {
      queue_.push_back(std::move(e));
      return wasEmpty;
    }
    ReaderEvent& last = queue_.back();
    if (e.type == ReaderEvent::Focus && e.windowTitle.isEmpty()) {
      e.windowTitle = last.windowTitle;
      e.windowText = last.windowText;
    }
    last = std::move(e);
    return false;
  }
  std::optional<ReaderEvent> take() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return std::nullopt;
    std::optional<ReaderEvent> e(std::move(queue_.front()));
    queue_.pop_front();
    return e;
  }

 private:
  std::mutex mutex_;
  std::deque<ReaderEvent> queue_;
};

}  // namespace corvane::reader
