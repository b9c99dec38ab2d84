#include "dialogs/speech/frmkeyecho.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "widgets/accessibility.h"
#include "widgets/buttonkeys.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {

namespace {
QString u8(const char* s) { return QString::fromUtf8(s); }

QComboBox* list(QWidget* form, const char* name, std::initializer_list<const char*> items) {
  auto* c = named<QComboBox>(form, name);
  for (const char* i : items) c->addItem(u8(i));
  return c;
}
}  // namespace

frmKeyecho::frmKeyecho(QWidget* parent)
    : ChildDialog(QStringLiteral("frmKeyecho"), QStringLiteral("Tastenecho"), parent) {
  chkKeyEcho_ = named<QCheckBox>(this, "chkKeyEcho", u8("&Tastenecho aktiv"));
  auto* lblH1 = named<QLabel>(this, "lblH1", u8("Buchstabentasten"));
  auto* lblKeyEcho = named<QLabel>(this, "lblKeyEcho", u8("Buchstabenecho:"));
  cboCharEcho_ = list(this, "cboCharEcho", {"keines", "Buchstaben und Wort", "wort", "buchstaben"});
  auto* lblEchoModus = named<QLabel>(this, "lblEchoModus", u8("EchoModus:"));
  auto* cboEchoMode = list(this, "cboEchoMode", {"Sprache unterbrechen", "an laufende Ausgabe anhängen"});
  auto* lblBackSpaceEcho = named<QLabel>(this, "lblBackSpaceEcho", u8("beim rückwörts löschen:"));
  auto* cboBackSpaceEcho =
      list(this, "cboBackSpaceEcho", {"das gelöschte Zeichen sprechen", "das Zeichen links vom Cursor sprechen"});
  auto* lblH2 = named<QLabel>(this, "lblH2", u8("Steuerungstasten"));
  auto* chkFunctionEcho = named<QCheckBox>(this, "chkFunctionEcho", u8("Funktionstasten"));
  auto* chkCursorEcho = named<QCheckBox>(this, "chkCursorEcho", u8("Cursortasten"));
  auto* chkCommandEcho = named<QCheckBox>(this, "chkCommandEcho", u8("Kommandotasten"));
  auto* chkShiftKeys = named<QCheckBox>(this, "chkShiftKeys", u8("Umschalttasten"));
  auto* chkLayer = named<QCheckBox>(this, "chkLayer", u8("Nummernblockebene"));
  auto* lblTry = named<QLabel>(this, "lblTry", u8("&Ausprobieren:"));
  txtTry_ = named<QLineEdit>(this, "txtTry");
  txtTry_->installEventFilter(this);
  hiddenTexts({{"lblAsk2Save", "wollen Sie die Änderungen am Tastenecho  speichern ?"}});

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
  addButtons();

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
  WriteLog(QStringLiteral("frmKeyecho_Init"), kDetail);
}

frmKeyecho::~frmKeyecho() { WriteLog(QStringLiteral("frmKeyEcho_Unload"), kDetail); }

Obj frmKeyecho::keyEcho(const char* where) {
  return trapped(where, Obj(), [this] { return keyEcho_.get(); });
}

void frmKeyecho::showValues() {
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
}

void frmKeyecho::write(const Setting& s) {
  if (loading()) return;
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
  loadValues();
}

// A key typed into txtTry: the core echoes it with the settings as they are now.
//
// Text typed or deleted in a field is echoed by the core's screen reader, which hears the edit
// in every field (and then keeps quiet about the caret move it causes); handing such a key to
// TryKey as well would say it twice. So the key is handed over only when it has left the text
// as it was: function, cursor, command and lock keys, Backspace at the start, shortcuts. The
// field handles the key first, here, so that its outcome is known; a key it leaves unused goes
// on to the dialog (Esc is Abbrechen), except Enter: it is tried like any other key.
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
      if (ui::isEnter(*k)) event->accept();
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
