// A list whose entries are switched on and off with Space (each entry user-checkable), heard by
// screen readers as a list of check boxes.
//
// Qt shows the entries of a QListWidget as list items without a checkable state; a reader then
// says nothing when Space changes one, and nothing of its state when it gets the focus. Here
// each entry is a check box named by its text, checked as its item is, focused while it is the
// current entry and the list has the focus (child i is row i). When the list gets the focus, its
// current entry is reported as the focus as well, so that the entry and its state are heard at
// once and Space on it is heard without moving first.
#pragma once

#include <QListWidget>

namespace jex::ui {

class CheckList : public QListWidget {
  Q_OBJECT
 public:
  explicit CheckList(QWidget* parent = nullptr);

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

}  // namespace jex::ui
