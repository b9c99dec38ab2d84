// The dialogs as a blind user meets them: the program's main window over the stand-in core (in
// process), with the language files an installation ships; a dialog opened by its command or
// its menu entry, keys pressed with QTest, modal boxes answered, and what the core and JexUI
// stored read back. The areas that include it link jex_app and corvane_engine.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMap>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "app/frmmdi.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"

namespace jex::test {

// Runs answer on each modal box while it shows (or presses key on it); counts the turns.
class AnswerBox {
 public:
  explicit AnswerBox(std::function<void(QWidget*)> answer);
  explicit AnswerBox(Qt::Key key);
  int asked = 0;

 private:
  QTimer timer_;
  QPointer<QWidget> lastBox_;
  QElapsedTimer sinceAnswer_;
};

// Copies what an installation ships for the dialogs (the language files of data/LNG, the
// icons, the help texts) into the program directory appPath.
void copyShippedFiles(const QString& appPath);

// How the user opens a dialog of the main window, as its registration names it: a core command
// and a menu entry that show it (either may be empty). None for a form that no route shows.
struct Opener {
  QString command;
  QString menuEntry;
};
std::optional<Opener> opener(const QString& form);
// The registered forms the user can open, sorted.
QStringList openableDialogs();

// Moves the focus to w and presses k there, as the user does after tabbing to it.
void press(QWidget* w, Qt::Key k = Qt::Key_Space);
// Moves a closed list to text with the arrow keys.
void choose(QComboBox* c, const QString& text);

// The key that changes the value of control w, as a user changes it (Up on a text field steps a
// number held there, and changes no other text); Key_unknown for a control
// that holds no value (or no list's value when lists only).
Qt::Key changeKey(QWidget* w, bool listsOnly);
// One setting changed: the first control, in reading order, whose key makes the dialog report a
// change (null when none did: a dialog without settings), and the keys pressed on the way, on
// controls that changed no setting but what the others show (the speech source of a voice).
// beforeKey, when given, is called with each control before its key.
struct Change {
  QWidget* control = nullptr;
  QList<std::pair<QWidget*, Qt::Key>> onTheWay;
};
Change changeASetting(ChildDialog* dialog, bool listsOnly, const std::function<void(QWidget*)>& beforeKey = {});

// The main window over the stand-in core, as the start-up leaves it: the sink handed to the core
// and the hook installed, the window hidden until showByKey().
class MainWindowTest : public ::testing::Test, public fake::CoreFixture {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes the language files into the program directory before the window is made; by
  // default the shipped ones (data/LNG) with the icons the dialogs show.
  virtual void languageFiles();

  // The window shown by the screen-reader key while the user works in another program.
  void showByKey();
  // A key pressed where the focus is.
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier);
  bool drained();
  // A command from the core, run by JexUI's queue as the filter hands it over.
  void command(const char* name);
  // How often JexUI's log holds text.
  int count(const QString& text) const { return int(logText().count(text)); }
  bool logged(const QString& text) const { return count(text) > 0; }

  std::unique_ptr<frmMDI> mdi;
  int quits = 0;
};

// A dialog test: the main window with the program's registered forms and the current user.
class DialogTest : public MainWindowTest {
 protected:
  void SetUp() override;

  // Opens the dialog as the user does, by its command, else by its menu entry (the main window
  // shown first by its key); null, with a failure, when it did not come up.
  ChildDialog* open(const QString& name);
  template <class Form>
  Form* open(const char* name) {
    return qobject_cast<Form*>(open(QString::fromLatin1(name)));
  }
  // The dialog on its own, outside the main window and not localised.
  template <class Form>
  std::unique_ptr<Form> alone(const char* name) {
    return std::unique_ptr<Form>(qobject_cast<Form*>(forms::create(QString::fromLatin1(name)).release()));
  }

  // Switches the interface to the language lng ("1031", "1033"), as the core announces it.
  void language(const char* lng);
  // A value of the core's settings file.
  QString stored(const QString& section, const QString& key) const;
  // Every file of the program directory but JexUI's log and the INI files' empty lock files, by
  // path: what the core and JexUI keep.
  using Files = QMap<QString, QByteArray>;
  Files files() const;
  // The files written, added or removed since before.
  QStringList changedSince(const Files& before) const;
};

}  // namespace jex::test
