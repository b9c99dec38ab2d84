// Rows of a form's grid made in one call, so that every form pairs a label with its control alike.
#pragma once

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QString>
#include <QStringList>

#include "widgets/accessibility.h"
#include "widgets/named.h"

namespace jex {

// A drop-down list on the next row of grid: its label in the first column, the buddy of the list
// in the second; row moves on by one.
inline QComboBox* labelledCombo(QWidget* form, QGridLayout* grid, int& row, const char* label, const QString& caption,
                                const char* name, const QStringList& items = {}) {
  auto* l = named<QLabel>(form, label, caption);
  auto* c = named<QComboBox>(form, name);
  c->addItems(items);
  ui::setBuddy(l, c);
  grid->addWidget(l, row, 0);
  grid->addWidget(c, row++, 1);
  return c;
}

}  // namespace jex
