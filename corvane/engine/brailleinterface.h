// The core's Braille display: the device and port in use, the translation table, the modes and
// the presentation values, kept live in memory; what the display shows is rendered from them.
//
// Automation members of BrailleInterface (values are numbers unless said otherwise):
//   BrailleDevices                collection of devices (Count, item(i) 1-based); a device has
//                                 DeviceName (text, its default value), MainCells, StatusCells,
//                                 HasStatus (= StatusCells), HasSW (routing keys), HasOS
//                                 (sensors), Maker, Model, DisplayNames (text list)
//   BrailleTranslationTables      collection of the tables' full paths (see brailletables.h)
//   GetBrailleTableList()         the same paths as one text list, in one call
//   BrailleTranslationTable       read: full path of the current table; write: a title with or
//                                 without extension ("de-g2.u2b"), found without regard to case
//                                 and checked by liblouis; unknown or broken: error, no change
//   ActiveBrailleDevice           text, the device identifier ("VIRTUAL40")
//   ActiveBraillePort             text, "COM0" (no display) to "COM9"
//   SetActiveBrailleDeviceAndPort(device, port)   switches both; a real model's port is opened,
//                                 and when it cannot be the display is logged "not present" and
//                                 rendering goes on at the model's size
//   BrailleOSMode, BrailleSWMode  0..10; BrailleStatusMode 0..3
//   BrailleStyle 6|8, CursorMode 0|255|192, CurBlinkStat 0|1, AttributeState 0|1,
//   AttributeStyle 1|2, Grade2Stat 0|1, Grade2Mode 1..3, Grade2Lower 0|1, BrailleLineMode
//                                 (any 32-bit value; a set bit 0x100/0x200/0x400 shows blanks at
//                                 the start, in the middle, at the end of a line, 0x1000/0x2000/
//                                 0x4000 blank lines at the top, in the middle, at the bottom)
//   SaveValues()                  writes the values to corvane.ini [Braille] in one atomic write
//   LoadValues()                  reads them back (undo), re-opening a changed device
//   RenderBraillePreview(text [, caret])  the Unicode Braille of the main cells as the display
//                                 would show text with the live values (cursor on cell of caret,
//                                 0 when not given, -1 for none); changes nothing
//   TablePath                     directory of the current table
// AttributeState and AttributeStyle are kept and stored; the text the display shows here is
// plain and has no attributes to mark. The routing-key, sensor and status modes are kept too;
// of them only status mode 0 shows something (the cursor's column in the status cells).
// A value put out of its range raises an error and changes nothing. Values read from
// corvane.ini are kept as they are (a log line says when one is out of range).
#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "automation/dispatchable.h"
#include "corvane/engine/brailledevices.h"
#include "corvane/engine/braillerender.h"
#include "corvane/engine/brailletables.h"

namespace corvane {

class CoreModel;

struct BrailleValues {
  QString device = kDefaultBrailleDevice;
  QString port = kDefaultBraillePort;
  QString table = QStringLiteral("de-g1.ctb");  // as stored: a file name (or a path)
  int osMode = 0;
  int swMode = 0;
  int statusMode = 0;
  int style = 8;
  int cursorMode = 192;
  int curBlink = 1;
  int attributeState = 0;
  int attributeStyle = 1;
  int grade2Stat = 0;
  int grade2Mode = 3;
  int grade2Lower = 0;
  int lineMode = 0x7700;
};

class BrailleState {
 public:
  explicit BrailleState(CoreModel& model);
  ~BrailleState();
  BrailleState(const BrailleState&) = delete;
  BrailleState& operator=(const BrailleState&) = delete;

  // The live values (read from corvane.ini at first use).
  const BrailleValues& values();
  // Sets one value by its member name after checking its range; throws jex::Error.
  void setNumber(const QString& member, int value);
  int number(const QString& member);

  const QList<BrailleDevice>& devices();
  // The device in use; an unknown identifier is shown at the default device's size.
  const BrailleDevice& activeDevice();
  const BrailleTables& tables();
  void setTables(BrailleTables tables);  // another table list (tests: none at all)
  QString tablePath();                   // the current table's full path, else as stored
  void setTable(const QString& name);    // throws
  // The table text is translated with: the current one, or contracted German or French.
  QString translationTable();
  void setDeviceAndPort(const QString& device, const QString& port);  // throws

  void save();
  void load();

  // The text the display shows (caret: its position, -1 none). Renders and, when the cells
  // differ from the last ones, reports "BRAILLE: " + the cells.
  void show(const QString& text, int caret);
  // Scrolls the display by whole displays (positive: on to the right) within the line shown;
  // false when it stands at that end already. A new text starts at the cursor's display again.
  bool scroll(int displays);
  // The display line for text with the live values: status cells, a blank, main cells (or the
  // main cells alone for a device without status cells). cursorOn: the blink phase.
  QString render(const QString& text, int caret, bool cursorOn = true);
  // The main cells alone.
  QString renderMain(const QString& text, int caret, bool cursorOn = true);
  // What show() was last given, and its line.
  const QString& shownText() const { return text_; }
  int shownCaret() const { return caret_; }
  const QString& line() const { return line_; }
  // Renders again after a change outside the values (the language).
  void refresh() { changed(); }
  // Called after every change of the values or of the text shown.
  void onChange(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

 private:
  void ensureLoaded();
  BrailleRow row(const QString& text, int caret, bool cursorOn);
  void changed();
  void openDevice();
  void closeDevice();
  CoreModel& model_;
  std::optional<BrailleValues> values_;
  std::optional<QList<BrailleDevice>> devices_;
  std::optional<BrailleTables> tables_;
  QString text_;
  int caret_ = -1;
  int pan_ = 0;
  bool showing_ = false;
  QString line_;
  int node_ = -1;  // the open device node
  std::vector<std::function<void()>> listeners_;
};

class BrailleInterface : public jex::automation::Dispatchable {
 public:
  BrailleInterface(CoreModel& model, std::shared_ptr<BrailleState> state);
  BrailleState& state() { return *state_; }

 private:
  std::shared_ptr<BrailleState> state_;
  std::shared_ptr<jex::automation::Collection> deviceList_;
  std::shared_ptr<jex::automation::Collection> tableList_;
  QStringList tablePaths_;  // what tableList_ was made of
};

}  // namespace corvane
