#include "dialogs/boxes/standardcaptions.h"

#include "base/error.h"
#include "localisation/frmlocalizer.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

namespace jex {

namespace {

struct Store {
  QPointer<QWidget> form;
  QString language;  // the loaded language file the form was localised from
};

Store& store() {
  static Store s;
  return s;
}

const char* labelName(StdCaption which) {
  switch (which) {
    case StdCaption::Yes:
      return "lblYes";
    case StdCaption::No:
      return "lblNo";
    case StdCaption::OK:
      return "lblOK";
    case StdCaption::Cancel:
      return "lblCancel";
  }
  return "lblOK";
}

QWidget* build() {
  auto* form = new QWidget;
  form->setObjectName(QStringLiteral("frmMain"));
  form->setAttribute(Qt::WA_DontShowOnScreen);
  auto* layout = new QVBoxLayout(form);
  const std::pair<const char*, const char*> labels[] = {
      {"lblYes", "Ja"}, {"lblNo", "Nein"}, {"lblOK", "OK"}, {"lblCancel", "Abbrechen"}};
  for (const auto& [name, caption] : labels) {
    auto* label = new QLabel(QString::fromUtf8(caption), form);
    label->setObjectName(QLatin1String(name));
    layout->addWidget(label);
  }
  return form;
}

}  // namespace

QWidget* standardCaptionsForm() {
  return trapped("StandardCaptions.Form", static_cast<QWidget*>(nullptr), [] {
    Store& s = store();
    // A language (re)load replaces the language file object: its address tells it apart.
    const QString language =
        frmLocalizer().DlgIniPath() + QLatin1Char('|') + QString::number(quintptr(&frmLocalizer().DlgIni()));
    if (s.form && s.language != language) resetStandardCaptions();
    if (!s.form) {
      s.form = build();
      s.language = language;
      frmLocalizer().Localize(s.form);
    }
    return s.form.data();
  });
}

QString StandardCaption(StdCaption which) {
  return trapped("StandardCaptions.Caption", QString(), [&] {
    QWidget* form = standardCaptionsForm();
    auto* label = form ? form->findChild<QLabel*>(QLatin1String(labelName(which))) : nullptr;
    return label ? label->text() : QString();
  });
}

void resetStandardCaptions() {
  Store& s = store();
  delete s.form.data();
  s.form = nullptr;
  s.language.clear();
}

}  // namespace jex
