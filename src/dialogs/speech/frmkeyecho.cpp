#include "dialogs/speech/frmkeyecho.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

namespace jex {

namespace {
const char* const kAsk2Save = "wollen Sie die Änderungen am Tastenecho  speichern ?";

QLabel* label(QWidget* form, const char* name, const char* caption) {
  auto* l = new QLabel(QString::fromUtf8(caption), form);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}
QCheckBox* check(QWidget* form, const char* name, const char* caption) {
  auto* c = new QCheckBox(QString::fromUtf8(caption), form);
  c->setObjectName(QString::fromLatin1(name));
  return c;
}
QComboBox* list(QWidget* form, const char* name, std::initializer_list<const char*> items) {
  auto* c = new QComboBox(form);
  c->setObjectName(QString::fromLatin1(name));
  for (const char* i : items) c->addItem(QString::fromUtf8(i));
  return c;
}
}  // namespace

frmKeyecho::frmKeyecho(QWidget* parent)
    : ChildDialog(QStringLiteral("frmKeyecho"), QStringLiteral("Tastenecho"), parent) {
  chkKeyEcho_ = check(this, "chkKeyEcho", "&Tastenecho aktiv");
  auto* lblH1 = label(this, "lblH1", "Buchstabentasten");
  auto* lblKeyEcho = label(this, "lblKeyEcho", "Buchstabenecho:");
  cboCharEcho_ = list(this, "cboCharEcho", {"keines", "Buchstaben und Wort", "wort", "buchstaben"});
  auto* lblEchoModus = label(this, "lblEchoModus", "EchoModus:");
  auto* cboEchoMode = list(this, "cboEchoMode", {"Sprache unterbrechen", "an laufende Ausgabe anhängen"});
  auto* lblBackSpaceEcho = label(this, "lblBackSpaceEcho", "beim rückwörts löschen:");
  auto* cboBackSpaceEcho =
      list(this, "cboBackSpaceEcho", {"das gelöschte Zeichen sprechen", "das Zeichen links vom Cursor sprechen"});
  auto* lblH2 = label(this, "lblH2", "Steuerungstasten");
  auto* chkFunctionEcho = check(this, "chkFunctionEcho", "Funktionstasten");
  auto* chkCursorEcho = check(this, "chkCursorEcho", "Cursortasten");
  auto* chkCommandEcho = check(this, "chkCommandEcho", "Kommandotasten");
  auto* chkShiftKeys = check(this, "chkShiftKeys", "Umschalttasten");
  auto* chkLayer = check(this, "chkLayer", "Nummernblockebene");
  auto* lblTry = label(this, "lblTry", "&Ausprobieren:");
  txtTry_ = new QLineEdit(this);
  txtTry_->setObjectName(QStringLiteral("txtTry"));
  txtTry_->installEventFilter(this);
  lblAsk2Save()->setText(QString::fromUtf8(kAsk2Save));

  ui::setBuddy(lblKeyEcho, cboCharEcho_);
  ui::setBuddy(lblEchoModus, cboEchoMode);
  ui::setBuddy(lblBackSpaceEcho, cboBackSpaceEcho);
  ui::setBuddy(lblTry, txtTry_);

  auto* letters = new QFormLayout;
  letters->addRow(lblKeyEcho, cboCharEcho_);
  letters->addRow(lblEchoModus, cboEchoMode);
  letters->addRow(lblBackSpaceEcho, cboBackSpaceEcho);
  content()->addWidget(chkKeyEcho_);
  content()->addWidget(lblH1);
  content()->addLayout(letters);
  content()->addWidget(lblH2);
  for (QCheckBox* c : {chkFunctionEcho, chkCursorEcho, chkCommandEcho, chkShiftKeys, chkLayer}) content()->addWidget(c);
  auto* tryRow = new QHBoxLayout;
  tryRow->addWidget(lblTry);
  tryRow->addWidget(txtTry_, 1);
  content()->addLayout(tryRow);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  const auto button = [&](QPushButton*& b, const char* name, const char* caption) {
    b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    buttons->addWidget(b);
  };
  button(cmdOK_, "cmdOK", "OK");
  button(cmdCancel_, "cmdCancel", "Abbrechen");
  button(cmdHelp_, "cmdHelp", "Hilfe");
  cmdOK_->setDefault(true);
  content()->addStretch(1);
  content()->addLayout(buttons);

  settings_ = {{"KeyEcho", chkKeyEcho_},          {"CharEcho", cboCharEcho_},
               {"EchoMode", cboEchoMode},         {"BackSpaceEcho", cboBackSpaceEcho},
               {"FunctionEcho", chkFunctionEcho}, {"CursorEcho", chkCursorEcho},
               {"CommandEcho", chkCommandEcho},   {"ToggleEcho", chkShiftKeys},
               {"LayMessage", chkLayer}};
  for (const Setting& s : settings_) {
    track(s.control);
    if (auto* c = qobject_cast<QComboBox*>(s.control))
      connect(c, &QComboBox::currentIndexChanged, this, [this, s] { write(s); });
    else if (auto* b = qobject_cast<QCheckBox*>(s.control))
      connect(b, &QCheckBox::toggled, this, [this, s] { write(s); });
  }

  connect(cmdOK_, &QPushButton::clicked, this, [this] {
    trap("frmKeyecho.cmdOK_Click", [this] {
      store();
      rememberLoadedValues();
      closeDialog();
    });
  });
  connect(cmdCancel_, &QPushButton::clicked, this,
          [this] { trap("frmKeyecho.cmdCancel_Click", [this] { queryHide(); }); });
  connect(cmdHelp_, &QPushButton::clicked, this, [this] {
    trap("frmKeyecho.cmdHelp_Click",
         [this] { forms::run(QStringLiteral("frmHelp"), QStringLiteral("ShowHelp"), {objectName()}); });
  });

  trap("frmKeyecho.Form_Load", [this] {
    ChildLoad();
    WriteLog(QStringLiteral("frmKeyecho_Init"), kDetail);
    LoadValues();
  });
}

frmKeyecho::~frmKeyecho() { WriteLog(QStringLiteral("frmKeyEcho_Unload"), kDetail); }

Obj frmKeyecho::keyEcho(const char* where) {
  return trapped(where, Obj(), [this] { return keyEcho_.get(); });
}

void frmKeyecho::LoadValues() {
  loading_ = true;
  trap("frmKeyecho.LoadValues", [this] {
    const Obj echo = keyEcho("frmKeyecho.LoadValues");
    if (echo.isNothing()) return;
    QStringList members;
    for (const Setting& s : settings_) members << QLatin1String(s.member);
    const QVariantList values = echo.getEach(members);  // one wait for all nine
    for (qsizetype i = 0; i < values.size(); ++i) {
      const Setting& s = settings_.at(i);
      const int v = automation::toI32(values[i]);
      if (auto* c = qobject_cast<QComboBox*>(s.control)) c->setCurrentIndex(qBound(0, v, c->count() - 1));
      else if (auto* b = qobject_cast<QCheckBox*>(s.control)) b->setChecked(v != 0);
    }
  });
  enableAll(chkKeyEcho_->isChecked());
  rememberLoadedValues();
  loading_ = false;
}

void frmKeyecho::write(const Setting& s) {
  if (loading_) return;
  trap(qPrintable(QStringLiteral("frmKeyecho.") + s.control->objectName() + QStringLiteral("_Click")), [&] {
    if (s.control == chkKeyEcho_) enableAll(chkKeyEcho_->isChecked());
    int v = 0;
    if (auto* c = qobject_cast<QComboBox*>(s.control)) v = c->currentIndex();
    else if (auto* b = qobject_cast<QCheckBox*>(s.control)) v = b->isChecked() ? 1 : 0;
    if (Obj echo = keyEcho("frmKeyecho.write")) echo.set(QLatin1String(s.member), v);
  });
}

// Every control but chkKeyEcho, with the labels that belong to them.
void frmKeyecho::enableAll(bool on) {
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QString n = w->objectName();
    if (w == chkKeyEcho_ || w == txtTry_ || n == u"lblTry" || n == u"lblTitle" || n.startsWith(u"cmd")) continue;
    if (n.startsWith(u"chk") || n.startsWith(u"cbo") || n.startsWith(u"lbl")) w->setEnabled(on);
  }
}

void frmKeyecho::store() {
  trap("frmKeyecho.SaveValues", [this] {
    if (Obj echo = keyEcho("frmKeyecho.SaveValues")) echo.call(QStringLiteral("SaveValues"));
  });
}

void frmKeyecho::revert() {
  trap("frmKeyecho.RevertValues", [this] {
    if (Obj echo = keyEcho("frmKeyecho.RevertValues")) echo.call(QStringLiteral("LoadValues"));
  });
  LoadValues();
}

// Hidden without moving the focus first (the reader would say a control that is about to go);
// the next opening starts at the first control, chkKeyEcho.
void frmKeyecho::closeDialog() { hideChild(); }

void frmKeyecho::showEvent(QShowEvent* event) {
  ChildDialog::showEvent(event);
  LoadValues();
}

// Esc anywhere in the dialog is Abbrechen (a key the focused control leaves unused comes here;
// the save question's own Esc stays in its box).
void frmKeyecho::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    cmdCancel_->click();
    return;
  }
  ChildDialog::keyPressEvent(event);
}

// A key typed into txtTry: the core echoes it with the settings as they are now.
//
// Text typed or deleted in a field is echoed by the core's screen reader, which hears the edit
// in every field (and then keeps quiet about the caret move it causes); handing such a key to
// TryKey as well would say it twice. So the key is handed over only when it has left the text
// as it was: function, cursor, command and lock keys, Backspace at the start, shortcuts. The
// field handles the key first, here, so that its outcome is known; a key it leaves unused goes
// on to the dialog as before (Esc is Abbrechen).
bool frmKeyecho::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtTry_ && event->type() == QEvent::KeyPress) {
    const auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() != Qt::Key_Tab && k->key() != Qt::Key_Backtab) {
      QVariantList key{k->key(), k->text(), int(k->modifiers() & ~Qt::KeypadModifier), txtTry_->text(),
                       txtTry_->cursorPosition()};
      static_cast<QObject*>(txtTry_)->event(event);
      trap("frmKeyecho.txtTry_KeyDown", [&] {
        if (txtTry_->text() != key.at(3).toString()) return;  // the reader hears the edit
        if (Obj echo = keyEcho("frmKeyecho.txtTry_KeyDown")) echo.call(QStringLiteral("TryKey"), key);
      });
      return true;  // handled; left unaccepted, it still goes on to the dialog
    }
  }
  return ChildDialog::eventFilter(watched, event);
}

JEX_FORM_REGISTRATION(frmKeyecho, {.create = [] { return std::make_unique<frmKeyecho>(); },
                                   .preload = 2,
                                   .menuButton = 2,
                                   .commands = {{.name = QStringLiteral("DLGKEYECHO")}},
                                   .menuEntries = {{.name = QStringLiteral("mnuSpeechKeyecho")}}})

}  // namespace jex
