#include "dialogs/speech/speechsetframe.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/speech/frmvoices.h"
#include "dialogs/speech/voiceprofile.h"
#include "global/cglobal.h"
#include "ini/cinifil.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/buttonkeys.h"
#include "widgets/named.h"

namespace jex {

namespace {
constexpr int kPrefix = 3;  // "n: "
constexpr int kSets = 9;

// The set number an entry's text begins with; 0 when it begins with no digit 1 to 9.
int numberOf(const QString& text) {
  return text.isEmpty() ? 0 : text.at(0).digitValue() < 1 ? 0 : text.at(0).digitValue();
}
}  // namespace

SpeechsetFrame::SpeechsetFrame(frmVoices& form) : QObject(&form), form_(form) {
  fraSpeechset_ = named<QGroupBox>(&form, "fraSpeechset", QStringLiteral("Speechset:"));
  cboSpeechSet_ = named<QComboBox>(fraSpeechset_, "cboSpeechSet");
  cboSpeechSet_->setEditable(true);
  cboSpeechSet_->setInsertPolicy(QComboBox::NoInsert);
  cboSpeechSet_->setAccessibleName(QStringLiteral("Speechset:"));
  cboSpeechSet_->view()->setAccessibleName(QStringLiteral("Speechset:"));  // the editable list's drop-down
  cmdSaveSet_ = named<QPushButton>(fraSpeechset_, "cmdSaveSet", QStringLiteral("speichern"));
  cmdLoadSet_ = named<QPushButton>(fraSpeechset_, "cmdLoadSet", QStringLiteral("laden"));
  cmdSetCancel_ = named<QPushButton>(fraSpeechset_, "cmdSetCancel", QStringLiteral("Abbrechen"));
  nl_Tabstop_ = named<QPushButton>(fraSpeechset_, "nl_Tabstop");
  // Tab wraps from Abbrechen back to the list: the frame keeps Tab inside it (the zero-size
  // nl_Tabstop marks the end of the frame's chain and is no stop of its own).
  nl_Tabstop_->setFixedSize(0, 0);
  nl_Tabstop_->setFlat(true);
  nl_Tabstop_->setFocusPolicy(Qt::NoFocus);
  fraSpeechset_->setProperty(ui::kTabWrapProperty, true);
  auto* row = new QHBoxLayout(fraSpeechset_);
  row->addWidget(cboSpeechSet_, 1);
  row->addWidget(cmdSaveSet_);
  row->addWidget(cmdLoadSet_);
  row->addWidget(cmdSetCancel_);
  row->addWidget(nl_Tabstop_);
  fraSpeechset_->setVisible(false);
  if (QVBoxLayout* place = form.speechSetPlace()) place->addWidget(fraSpeechset_);

  Timer1_ = new QTimer(this);
  Timer1_->setInterval(50);
  connect(Timer1_, &QTimer::timeout, this, &SpeechsetFrame::tick);
  connect(cmdSaveSet_, &QPushButton::clicked, this, &SpeechsetFrame::saveSet);
  connect(cmdLoadSet_, &QPushButton::clicked, this, &SpeechsetFrame::loadSet);
  connect(cmdSetCancel_, &QPushButton::clicked, this, [this] { form_.cmdVoiceMenu()->setFocus(Qt::OtherFocusReason); });
  for (QObject* o : {static_cast<QObject*>(cboSpeechSet_), static_cast<QObject*>(cboSpeechSet_->lineEdit()),
                     static_cast<QObject*>(nl_Tabstop_), static_cast<QObject*>(cmdSaveSet_),
                     static_cast<QObject*>(cmdLoadSet_), static_cast<QObject*>(cmdSetCancel_)})
    o->installEventFilter(this);
}

bool SpeechsetFrame::isOpen() const { return fraSpeechset_->isVisible(); }

Obj SpeechsetFrame::profiles(const char* where) {
  return trapped(where, Obj(), [] { return Jex().isNothing() ? Obj() : Jex().obj(QStringLiteral("SpeechProfiles")); });
}

void SpeechsetFrame::open(bool load) {
  trap(load ? "frmVoices.SpeechsetLoad" : "frmVoices.SpeechsetSave", [&] {
    loadMode_ = load;
    cboSpeechSet_->setAccessibleName(ui::plainCaption(fraSpeechset_->title()));  // as localised now
    cboSpeechSet_->clear();
    if (const Obj sets = profiles("frmVoices.SpeechProfiles")) {
      const QString empty = u'<' + form_.hiddenText("lblEmpty") + u'>';
      int n = 0;
      for (const VoiceProfile::Set& set : VoiceProfile::readSets(sets, kSets)) {
        ++n;
        WriteLog(QStringLiteral("Speechset %1: ").arg(n) + set.name + QStringLiteral(" / ") + set.info, kDetail);
        if (!load) cboSpeechSet_->addItem(QStringLiteral("%1: ").arg(n) + (set.info.isEmpty() ? empty : set.name));
        else if (!set.info.isEmpty()) cboSpeechSet_->addItem(set.nr + QStringLiteral(": ") + set.name);
      }
    }
    cboSpeechSet_->setCurrentIndex(cboSpeechSet_->count() ? 0 : -1);
    cmdSaveSet_->setVisible(!load);
    cmdLoadSet_->setVisible(load);
    form_.cmdOK()->setDefault(false);
    (load ? cmdLoadSet_ : cmdSaveSet_)->setDefault(true);
    fraSpeechset_->setVisible(true);
    Timer1_->start();
    cboSpeechSet_->setFocus(Qt::OtherFocusReason);
    selectName();
  });
}

void SpeechsetFrame::close() {
  cmdSaveSet_->setDefault(false);
  cmdLoadSet_->setDefault(false);
  form_.cmdOK()->setDefault(true);
  fraSpeechset_->setVisible(false);
  Timer1_->stop();
}

bool SpeechsetFrame::inFrame(QWidget* w) const {
  return w && (w == cboSpeechSet_ || w == cboSpeechSet_->lineEdit() || w == cmdSaveSet_ || w == cmdLoadSet_ ||
               w == cmdSetCancel_ || w == nl_Tabstop_ || QApplication::activePopupWidget());
}

// The frame closes once the focus is elsewhere, however it went there.
void SpeechsetFrame::tick() {
  trap("frmVoices.Timer1_Timer", [this] {
    if (!inFrame(QApplication::focusWidget())) close();
  });
}

void SpeechsetFrame::selectName() {
  if (QLineEdit* e = cboSpeechSet_->lineEdit()) e->setSelection(kPrefix, int(e->text().size()) - kPrefix);
}

void SpeechsetFrame::activeSetIs(int nr) {
  trap("frmVoices.ActiveSpeechSet", [nr] {
    const std::shared_ptr<cUser> user = gGlobal().UserProfile;
    if (!user) return;
    user->setActiveSpeechSet(QString::number(nr));
    if (user->Path().isEmpty()) return;
    cIniFil ini;
    ini.Init(user->Path() + QStringLiteral("USERSET.INI"), false);
    ini.SettingSave(QStringLiteral("SpeechSet"), QStringLiteral("Active"), QString::number(nr));
  });
}

void SpeechsetFrame::saveSet() {
  trap("frmVoices.cmdSaveSet_Click", [this] {
    const QString text = cboSpeechSet_->currentText();
    const QString name = text.mid(kPrefix);
    if (name.isEmpty()) {
      cboSpeechSet_->setFocus(Qt::OtherFocusReason);
      return;
    }
    const int n = numberOf(text);
    if (n < 1 || n > kSets) {
      WriteLog(QStringLiteral("invalid SpeechSet NR: ") + text.left(1), kTraffic);
      return;
    }
    VoiceProfile::saveSet(n, name);
    activeSetIs(n);
    form_.GetValues();
    form_.cboSource()->setFocus(Qt::OtherFocusReason);
  });
}

void SpeechsetFrame::loadSet() {
  trap("frmVoices.cmdLoadSet_Click", [this] {
    const QString text = cboSpeechSet_->currentText();
    const int n = numberOf(text);
    if (n < 1 || n > kSets) {
      WriteErrorLog(QStringLiteral("ERROR in LoadSet: ") + text.left(1));
      return;
    }
    VoiceProfile::loadSet(n);
    activeSetIs(n);
    form_.GetValues();
    form_.cboSource()->setFocus(Qt::OtherFocusReason);
  });
}

bool SpeechsetFrame::saveKeyDown(int key, Qt::KeyboardModifiers mods) {
  QLineEdit* e = cboSpeechSet_->lineEdit();
  const int caret = e->hasSelectedText() ? int(e->selectionStart()) : e->cursorPosition();
  const bool selected = e->hasSelectedText();
  if (key == Qt::Key_Home) {
    if (mods & Qt::ShiftModifier) e->setSelection(e->cursorPosition(), kPrefix - e->cursorPosition());
    else e->setCursorPosition(kPrefix);
    return true;
  }
  if ((key == Qt::Key_Left || key == Qt::Key_Backspace) && caret <= kPrefix && !selected) return true;
  if (caret < kPrefix) selectName();  // a key inside the prefix acts on the name instead
  return false;
}

bool SpeechsetFrame::loadKeyDown(int key, const QString& text) {
  static const QList<int> passed{Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Up,
                                 Qt::Key_Down,   Qt::Key_F1,    Qt::Key_F4};
  if (passed.contains(key)) return false;
  const int digit = text.isEmpty() ? -1 : text.at(0).digitValue();
  if (digit >= 1 && digit <= kSets)
    for (int i = 0; i < cboSpeechSet_->count(); ++i)
      if (numberOf(cboSpeechSet_->itemText(i)) == digit) {
        cboSpeechSet_->setCurrentIndex(i);
        selectName();
      }
  return true;
}

void SpeechsetFrame::keyUp(int key) {
  QLineEdit* e = cboSpeechSet_->lineEdit();
  if (key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Up || key == Qt::Key_Down) selectName();
  else if (e->cursorPosition() < kPrefix && !e->hasSelectedText()) e->setCursorPosition(kPrefix);
}

bool SpeechsetFrame::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab &&
      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
      (watched == cmdSetCancel_ || watched == nl_Tabstop_)) {
    cboSpeechSet_->setFocus(Qt::TabFocusReason);  // Tab goes round inside the frame
    return true;
  }
  if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && isOpen()) {
    cmdSetCancel_->click();  // Esc is the frame's Abbrechen, not the dialog's
    return true;
  }
  const bool list = watched == cboSpeechSet_ || watched == cboSpeechSet_->lineEdit();
  if (list && type == QEvent::FocusIn) {
    QTimer::singleShot(0, this, [this] { selectName(); });
    return false;
  }
  if (list && type == QEvent::KeyRelease) {
    if (!loadMode_) keyUp(static_cast<QKeyEvent*>(event)->key());
    return false;
  }
  if (list && type == QEvent::KeyPress) {
    const auto* k = static_cast<QKeyEvent*>(event);
    if (ui::isEnter(*k)) {
      (loadMode_ ? cmdLoadSet_ : cmdSaveSet_)->click();
      return true;
    }
    return trapped("frmVoices.cboSpeechSet_KeyDown", true, [&] {
      return loadMode_ ? loadKeyDown(k->key(), k->text()) : saveKeyDown(k->key(), k->modifiers());
    });
  }
  return false;
}

}  // namespace jex
