// The one way a form makes its controls: a widget of class W in parent, with the object name that
// the language files, the scripts, the help texts and the tests find it by. The arguments after
// the name are the widget's own, before its parent:
//
//   auto* c = named<QComboBox>(this, "cboVoice");
//   auto* b = named<QPushButton>(row, "cmdOK", QStringLiteral("OK"));
//   auto* l = named<QLabel>(this, "lblTry", QString::fromUtf8("&Ausprobieren:"));
#pragma once

#include <QString>
#include <QWidget>
#include <utility>

namespace jex {

template <class W, class... Args>
W* named(QWidget* parent, const char* name, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace jex
