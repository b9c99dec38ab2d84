// A settings dialog with operations that commands and menu entries call by name, and two lists
// that commands put the focus on.
#pragma once

#include <QListWidget>
#include <QVariant>

#include "tests/mainwindow/mainwindow_fixture.h"

namespace jex::test {

class OperationsDialog : public TestDialog {
  Q_OBJECT
 public:
  OperationsDialog(const char* name, const char* title) : TestDialog(name, title) {
    for (const char* list : {"lstVSpace", "lstHSpace"}) {
      auto* l = new QListWidget(this);
      l->setObjectName(QString::fromLatin1(list));
      l->setAccessibleName(QString::fromLatin1(list));
      content()->addWidget(l);
    }
  }
  Q_INVOKABLE void ShowKeys(const QVariant& kind) { calls << QStringLiteral("ShowKeys ") + kind.toString(); }
  Q_INVOKABLE void SPEEDUP() { calls << QStringLiteral("SPEEDUP"); }
  Q_INVOKABLE void GetValues() { calls << QStringLiteral("GetValues"); }
  Q_INVOKABLE void VoiceDel(const QVariant& index) { calls << QStringLiteral("VoiceDel ") + index.toString(); }
  QStringList calls;
};

}  // namespace jex::test
