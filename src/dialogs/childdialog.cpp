#include "dialogs/childdialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOption>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "global/cnotifysink.h"
#include "localisation/frmlocalizer.h"
#include "localisation/localizable.h"
#include "widgets/accessibility.h"
#include "widgets/accessiblecombo.h"
#include "widgets/buttonkeys.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {
namespace {
const char* const kAsk2Save = "Die Einstellungen wurden geändert. Sollen die Änderungen gespeichert werden?";
const QString kSharedSection = QStringLiteral("frmMain");  // the shared message texts
const QString kSaveQuestion = QStringLiteral("lblAsk2Save");

ChildHost*& hostSlot() {
  static ChildHost* h = nullptr;
  return h;
}
QList<ChildDialog*>& dialogs() {
  static QList<ChildDialog*> list;
  return list;
}
}  // namespace

ChildDialog::ChildDialog(const QString& name, const QString& title, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  setProperty(loc::kFormProperty, true);
  ui::installAccessibleFactories();  // before any control of the form is asked for its interface
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  lblTitle_ = named<QLabel>(this, "lblTitle", title);
  column->addWidget(lblTitle_);
  hiddenTexts({{"lblAsk2Save", kAsk2Save}});
  content_ = new QVBoxLayout;
  column->addLayout(content_, 1);
  setVisible(false);
  dialogs().append(this);
  forms::live(this);
  ui::pressFocusedButtonOnEnter();
  // Hilfe asks about the control the user was on before moving to the button row.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && isAncestorOf(now) && !inButtonRow(now)) lastControl_ = now;
  });
}

ChildDialog::~ChildDialog() {
  ChildUnload();
  dialogs().removeAll(this);
}

void ChildDialog::setHost(ChildHost* host) { hostSlot() = host; }
ChildHost* ChildDialog::host() { return hostSlot(); }
QList<ChildDialog*> ChildDialog::loaded() { return dialogs(); }

ChildDialog* ChildDialog::find(const QString& name) {
  for (ChildDialog* d : dialogs())
    if (d->objectName().compare(name, Qt::CaseInsensitive) == 0) return d;
  return nullptr;
}

void ChildDialog::addButtons() {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  cmdOK_ = named<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
  cmdCancel_ = named<QPushButton>(this, "cmdCancel", QStringLiteral("Abbrechen"));
  cmdHelp_ = named<QPushButton>(this, "cmdHelp", QStringLiteral("Hilfe"));
  for (QPushButton* b : {cmdOK_, cmdCancel_, cmdHelp_}) row->addWidget(b);
  cmdOK_->setDefault(true);
  // The row stays at the bottom: a stretch above it unless a control grows into the room.
  bool grows = false;
  for (int i = 0; i < content_->count(); ++i) grows = grows || content_->stretch(i) > 0;
  if (!grows) content_->addStretch(1);
  content_->addLayout(row);
  const auto click = [this](QPushButton* b, const char* handler, void (ChildDialog::*fn)()) {
    connect(b, &QPushButton::clicked, this, [this, handler, fn] {
      trap(qPrintable(objectName() + QLatin1String(handler)), [this, fn] { (this->*fn)(); });
    });
  };
  click(cmdOK_, ".cmdOK_Click", &ChildDialog::accept);
  click(cmdCancel_, ".cmdCancel_Click", &ChildDialog::reject);
  click(cmdHelp_, ".cmdHelp_Click", &ChildDialog::help);
}

void ChildDialog::hiddenTexts(std::initializer_list<HiddenText> texts) {
  for (const HiddenText& t : texts) {
    auto* l = findChild<QLabel*>(QString::fromLatin1(t.name), Qt::FindDirectChildrenOnly);
    if (!l) {
      l = named<QLabel>(this, t.name);
      l->setVisible(false);
    }
    l->setText(QString::fromUtf8(t.text));
  }
}

QString ChildDialog::hiddenText(const char* name) const {
  const auto* l = findChild<QLabel*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
  return l ? l->text() : QString();
}

void ChildDialog::ChildLoad() {
  trap("ChildDialog.ChildLoad", [this] {
    WriteLog(objectName() + QStringLiteral("_load"), kDetail);
    if (ChildHost* h = host(); h && ownWindow_) {
      // A window of its own (a parent window would be activated in its place): it goes with the
      // frame's window.
      if (QWidget* frame = h->childFrame(); frame && !frameGone_) {
        frameGone_ = connect(frame->window(), &QObject::destroyed, this, [this] { delete this; });
      }
    } else if (ChildHost* h = host()) {
      if (QWidget* frame = h->childFrame(); frame && parentWidget() != frame) {
        setParent(frame);
        if (frame->layout()) frame->layout()->addWidget(this);
      }
      move(0, 0);
    }
    setVisible(false);
    localise();
    rememberLoadedValues();
    if (ChildHost* h = host()) listen(h->notificationSink());
  });
}

void ChildDialog::ChildUnload() { listen(nullptr); }

// The shared save question first, then the dialog's own texts over it.
void ChildDialog::localise() {
  trap(qPrintable(objectName() + QStringLiteral(".Localize")), [this] {
    const QString shared = frmLocalizer().DlgIni().GetLeftSide(kSharedSection, kSaveQuestion);
    if (auto* l = findChild<QLabel*>(kSaveQuestion, Qt::FindDirectChildrenOnly))
      l->setText(shared.isEmpty() ? QString::fromUtf8(kAsk2Save) : shared);
  });
  frmLocalizer().Localize(this);
}

void ChildDialog::listen(std::shared_ptr<cNotifySink> sink) {
  if (sink == sink_) return;
  QObject::disconnect(sinkConnection_);
  sink_ = std::move(sink);
  if (sink_)
    sinkConnection_ =
        connect(sink_.get(), &cNotifySink::HandleCmdEvent, this, &ChildDialog::sinkCmd, Qt::DirectConnection);
}

void ChildDialog::sinkCmd(QString& command) {
  trap(qPrintable(objectName() + QStringLiteral(".MyNotifier_HandleCmd")), [&] { sinkCommand(command); });
}

void ChildDialog::sinkCommand(QString& command) { handleCmd(command.toUpper()); }

void ChildDialog::ownWindow(Qt::WindowModality modality) {
  ownWindow_ = true;
  setParent(nullptr);
  setWindowFlag(Qt::Window, true);
  setWindowModality(modality);
  // A window of its own has no frame around it: the margins that the main window's frame gives
  // the dialogs inside it (the style's margins of a layout inside a window).
  if (layout()) {
    QStyleOption inside;
    inside.initFrom(this);
    inside.state &= ~QStyle::State_Window;
    const auto margin = [&](QStyle::PixelMetric side) { return style()->pixelMetric(side, &inside, this); };
    layout()->setContentsMargins(margin(QStyle::PM_LayoutLeftMargin), margin(QStyle::PM_LayoutTopMargin),
                                 margin(QStyle::PM_LayoutRightMargin), margin(QStyle::PM_LayoutBottomMargin));
  }
  setVisible(false);
}

void ChildDialog::storedAtOnce(QWidget* control) {
  if (control) control->setProperty("jexStoredAtOnce", true);
}

bool& ChildDialog::helpPassedOn() {
  static bool passing = false;
  return passing;
}

bool ChildDialog::isStoredAtOnce(const QWidget* control) {
  return control && control->property("jexStoredAtOnce").toBool();
}

void ChildDialog::track(QWidget* control) {
  if (control) loadedValues_.insert(control, valueOf(control));
}

void ChildDialog::rememberLoadedValues() {
  for (auto it = loadedValues_.begin(); it != loadedValues_.end(); ++it) it.value() = valueOf(it.key());
}

bool ChildDialog::changed(const QWidget* control) const {
  const auto it = loadedValues_.constFind(const_cast<QWidget*>(control));
  return it != loadedValues_.cend() && valueOf(control) != it.value();
}

bool ChildDialog::changed() const {
  for (auto it = loadedValues_.cbegin(); it != loadedValues_.cend(); ++it)
    if (valueOf(it.key()) != it.value()) return true;
  return untrackedChanges();
}

void ChildDialog::loadValues() {
  {
    const QScopedValueRollback<bool> guard(loading_, true);
    trap(qPrintable(objectName() + QStringLiteral(".ShowValues")), [this] { showValues(); });
  }
  rememberLoadedValues();
}

void ChildDialog::revert() {
  for (auto it = loadedValues_.cbegin(); it != loadedValues_.cend(); ++it) setValue(it.key(), it.value());
}

void ChildDialog::accept() {
  store();
  rememberLoadedValues();
  hideChild();
}

void ChildDialog::reject() { queryHide(); }

void ChildDialog::help() {
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !isAncestorOf(focus) || inButtonRow(focus)) focus = lastControl_;
  QStringList args{objectName()};
  if (focus) args << ui::tabStopOf(focus)->objectName();
  forms::run(QStringLiteral("frmHelp"), QStringLiteral("ShowHelp"), args);
}

bool ChildDialog::handleCmd(const QString& command) {
  return trapped(qPrintable(objectName() + QStringLiteral(".HandleCmd")), false, [&] {
    if (command == QLatin1String("UI_QUERYHIDECHILD")) {
      ChildHost* h = host();
      if (h && h->activeChild() == this) queryHide();
      return true;
    }
    if (command == QLatin1String("UI_LNGCHANGE")) {
      localise();
      return true;
    }
    if (command == QLatin1String("HELP")) {
      // The main window passes the core's help key on; the dialog the user is in answers it, not
      // one under a modal window.
      ChildHost* h = host();
      if (helpPassedOn() && !ownWindow_ && h && h->activeChild() == this && isVisible() &&
          !QApplication::activeModalWidget())
        help();
      return true;
    }
    return false;
  });
}

std::optional<qint16> ChildDialog::askSave() {
  if (asking_) {
    WriteLog(objectName() + QStringLiteral(": the save question is open already"), kDetail);
    return std::nullopt;
  }
  // While an answer is carried out the core is waited for, and a second close or hide coming in
  // then finds the changes not yet settled: they are the answer's, not asked about again.
  if (settling_ || !changed()) return qint16(0);  // nothing to settle
  asking_ = true;
  const qint16 answer = MsgBoxEx(hiddenText(saveQuestion_), msgbox::kSaveQuestion);
  asking_ = false;
  if (answer != msgbox::Yes && answer != msgbox::No) return std::nullopt;
  return answer;
}

void ChildDialog::settle(qint16 answer) {
  const QScopedValueRollback<bool> settling(settling_, true);
  if (answer == msgbox::Yes) {
    store();
    rememberLoadedValues();
  } else if (answer == msgbox::No) {
    revert();
  }
}

bool ChildDialog::querySave() {
  const std::optional<qint16> answer = askSave();
  if (answer) settle(*answer);
  return answer.has_value();
}

bool ChildDialog::queryHide() {
  const std::optional<qint16> answer = askSave();
  if (!answer) return false;
  // Hidden first: storing or taking back talks to the core, and while it waits the window system
  // hands the focus back from the closed question to the dialog, which would be heard although
  // the dialog is going.
  hideChild();
  settle(*answer);
  return true;
}

void ChildDialog::hideChild() {
  // The focus is not moved into the dialog as it goes (the reader would say a control that is
  // gone); the main window puts it on the first control at the next opening.
  const bool wasVisible = isVisible();
  hide();
  if (ownWindow_) {
    if (wasVisible && returnTo_ && returnTo_->isVisible()) returnTo_->activateWindow();
    return;
  }
  if (wasVisible)
    if (ChildHost* h = host()) h->Child_Closed(*this);
}

void ChildDialog::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (ownWindow_) {
    QWidget* active = QApplication::activeWindow();
    if (active != this) returnTo_ = active;
  }
  loadValues();
  if (ChildHost* h = host(); h && !ownWindow_) h->Child_Activates(*this);
}

void ChildDialog::closeEvent(QCloseEvent* event) {
  event->ignore();  // hidden, not unloaded
  queryHide();
}

// Enter and Escape that no control took.
void ChildDialog::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (!dialogKeys_ || !plain || (!ui::isEnter(*event) && key != Qt::Key_Escape)) {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
  if (event->isAutoRepeat()) return;  // a held key acts once
  trap(qPrintable(objectName() + QStringLiteral(".Form_KeyDown")), [&] {
    if (key == Qt::Key_Escape) reject();
    else if (QPushButton* b = defaultButton()) b->click();
  });
}

bool ChildDialog::focusNextPrevChild(bool next) {
  if (!dialogKeys_) return QWidget::focusNextPrevChild(next);
  const QList<QWidget*> stops = tabStops();
  if (stops.isEmpty()) return QWidget::focusNextPrevChild(next);
  const qsizetype n = stops.size();
  const qsizetype i = stops.indexOf(ui::tabStopOf(QApplication::focusWidget()));
  const qsizetype j = i < 0 ? (next ? 0 : n - 1) : (next ? (i + 1) % n : (i + n - 1) % n);
  stops.at(j)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

QList<QWidget*> ChildDialog::tabStops() const {
  QList<QWidget*> stops;
  for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
    if (isAncestorOf(w) && ui::isTabStop(w)) stops << w;
  return stops;
}

QPushButton* ChildDialog::defaultButton() const {
  for (QPushButton* b : findChildren<QPushButton*>())
    if (b->isDefault() && b->isEnabled() && b->isVisibleTo(this)) return b;
  return nullptr;
}

bool ChildDialog::inButtonRow(const QWidget* w) const { return w && (w == cmdOK_ || w == cmdCancel_ || w == cmdHelp_); }

QVariant ChildDialog::valueOf(const QWidget* control) {
  if (auto* b = qobject_cast<const QAbstractButton*>(control)) return b->isChecked();
  if (auto* e = qobject_cast<const QLineEdit*>(control)) return e->text();
  if (auto* c = qobject_cast<const QComboBox*>(control)) return c->currentIndex();
  if (auto* s = qobject_cast<const QSpinBox*>(control)) return s->value();
  if (auto* s = qobject_cast<const QDoubleSpinBox*>(control)) return s->value();
  if (auto* s = qobject_cast<const QAbstractSlider*>(control)) return s->value();
  if (auto* v = qobject_cast<const QAbstractItemView*>(control)) return v->currentIndex().row();
  return {};
}

void ChildDialog::setValue(QWidget* control, const QVariant& value) {
  if (auto* b = qobject_cast<QAbstractButton*>(control)) b->setChecked(value.toBool());
  else if (auto* e = qobject_cast<QLineEdit*>(control)) e->setText(value.toString());
  else if (auto* c = qobject_cast<QComboBox*>(control)) c->setCurrentIndex(value.toInt());
  else if (auto* s = qobject_cast<QSpinBox*>(control)) s->setValue(value.toInt());
  else if (auto* s = qobject_cast<QDoubleSpinBox*>(control)) s->setValue(value.toDouble());
  else if (auto* s = qobject_cast<QAbstractSlider*>(control)) s->setValue(value.toInt());
  else if (auto* v = qobject_cast<QAbstractItemView*>(control); v && v->model())
    v->setCurrentIndex(v->model()->index(value.toInt(), 0));
}

}  // namespace jex
