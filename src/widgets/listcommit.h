// A choice in a list is made when the user settles on it, not on every item passed by
// arrowing: on Enter, or when the focus leaves the list. The commit function then runs once,
// however many items were passed on the way, so that what it does (assigning, asking a modal
// question) happens once for the item chosen. A change the program makes, or a choice taken from
// the open drop-down of a combo box, is committed at once.
//
//     ui::ListCommit::attach(cboVoice_, [this] { voiceSelected(); });
//
// Enter commits and then goes on as before (in a dialog it presses the default button), so that
// Enter on a list keeps the choice. Leaving a list that is being hidden with its window
// (Escape) drops the choice instead.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractItemView;
class QComboBox;
class QWidget;

namespace jex::ui {

class ListCommit : public QObject {
 public:
  // The commit object is a child of list and ends with it.
  static ListCommit* attach(QComboBox* list, std::function<void()> commit);
  static ListCommit* attach(QAbstractItemView* list, std::function<void()> commit);

  // True while an item chosen by arrowing waits for Enter or the focus leaving.
  bool pending() const { return pending_; }
  // Commits a waiting choice now (nothing when none waits).
  void commitNow();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ListCommit(QWidget* list, std::function<void()> commit);
  void changed();
  bool dropDownOpen() const;
  bool beingHidden() const;

  QPointer<QWidget> list_;
  std::function<void()> commit_;
  bool pending_ = false;
  bool byKey_ = false;  // a key press on the list is being handled
};

}  // namespace jex::ui
