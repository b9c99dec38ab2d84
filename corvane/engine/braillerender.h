// One line of a Braille display drawn from text: liblouis translation, the line's blanks kept
// or dropped, the cells cut to the display's size around the cursor, 6 or 8 dots, the cursor
// and the status cells. Cells are Unicode Braille patterns (U+2800 + dots, dot 1 = bit 0).
#pragma once

#include <QString>

namespace corvane {

struct BrailleLook {
  QString table;   // liblouis table (path or list) the text is translated with
  int cells = 40;  // main cells
  int statusCells = 0;
  int dots = 8;            // 6: dots 7 and 8 of the text are dropped
  int cursorMode = 192;    // 0 none, 255 all eight dots, anything else dots 7 and 8
  bool cursorOn = true;    // the blink phase
  int lineMode = 0x7700;   // set bits show blanks and blank lines (brailleinterface.h)
  bool lowerCase = false;  // translate without capitals (no capital signs)
  int statusMode = 0;      // 0: the cursor's column in the status cells; others leave them blank
  int pan = 0;             // whole displays scrolled right (negative: left) of the cursor's one
};

struct BrailleRow {
  QString status;          // statusCells cells
  QString main;            // cells cells
  bool translated = true;  // false: liblouis failed, the cells are blank
  int pan = 0;             // the scroll that was shown: look.pan kept within the line
};

// text may hold several lines ("\n"); the display shows the line of the caret (or the first
// one kept when there is no caret, -1). caret counts characters of the whole text.
BrailleRow renderBrailleRow(const QString& text, int caret, const BrailleLook& look);

// Translates text with a table into Unicode Braille cells; outputPos[i] = the cell of input
// character i. False when liblouis cannot translate with the table.
bool translateToCells(const QString& table, const QString& text, QString* cells, QList<int>* outputPos = nullptr);

}  // namespace corvane
