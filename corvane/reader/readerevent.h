// What the listener thread hands to the reader, and the one-place mailbox between the two:
// events that come faster than they are spoken replace each other, so nothing queues up.
#pragma once

#include <QString>
#include <mutex>
#include <optional>

#include "corvane/reader/utterance.h"

namespace corvane::reader {

struct ReaderEvent {
  enum Type { Focus, Window, Changed, Caret };
  Type type = Focus;
  AccessibleInfo info;  // Focus, Changed: the focused object
  QString windowTitle;  // Window; with Focus: the window that became active just before
  CaretMove caret;      // Caret
};

// The latest event not yet taken. A window activation that is overtaken by the focus in that
// window is not lost: its title goes with the focus.
class LatestEvent {
 public:
  // True when the mailbox was empty (the taker has to be woken).
  bool put(ReaderEvent e) {
    std::lock_guard lock(mutex_);
    const bool wasEmpty = !slot_.has_value();
    if (!wasEmpty && e.type == ReaderEvent::Focus && e.windowTitle.isEmpty()) e.windowTitle = slot_->windowTitle;
    slot_ = std::move(e);
    return wasEmpty;
  }
  std::optional<ReaderEvent> take() {
    std::lock_guard lock(mutex_);
    std::optional<ReaderEvent> e;
    e.swap(slot_);
    return e;
  }

 private:
  std::mutex mutex_;
  std::optional<ReaderEvent> slot_;
};

}  // namespace corvane::reader
