#include "dialogs/localizer/frmlocalizereditor.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/tasks/tasklistview.h"
#include "ini/privateprofile.h"
#include "localisation/frmlocalizer.h"
#include "localisation/localizable.h"
#include "widgets/accessibility.h"
#include "widgets/buttonkeys.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {

namespace {

const QString kNone = QStringLiteral("---");
const QString kMainWindow = QStringLiteral("frmMDI");

// The key of an item or tab as the language file writes it (a blank in the sign position).
QString itemKey(const QString& key, int n) {
  return key + QStringLiteral("_Item") + (n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n));
}

// Controls whose tool tip is not edited: frames, labels, the message boxes' buttons, text boxes
// that stand in for labels.
bool tipless(const loc::Control& c) {
  const QString name = c.name();
  return c.kind() == loc::Kind::Frame || c.kind() == loc::Kind::Label || name == QLatin1String("cmdBtn") ||
         (c.kind() == loc::Kind::TextBox && name.startsWith(QLatin1String("lbl")));
}

// Each control's place in the form's Tab chain, from 0.
QHash<const QWidget*, int> tabChain(QWidget* form) {
  QHash<const QWidget*, int> places;
  int n = 0;
  for (QWidget* w = form->nextInFocusChain(); w && w != form; w = w->nextInFocusChain())
    if (form->isAncestorOf(w) && ui::isTabStop(w) && !places.contains(w)) places.insert(w, n++);
  return places;
}

// The dialog inside window that holds the focus (a dialog in the main window's frame); else
// window itself.
QWidget* formWithFocus(QWidget* window) {
  QWidget* focus = QApplication::focusWidget();
  if (!window || !focus || !window->isAncestorOf(focus)) return window;
  for (QWidget* w = focus; w && w != window; w = w->parentWidget())
    if (w->property(loc::kFormProperty).toBool()) return w;
  return window;
}

}  // namespace

LocalizerEditor::LocalizerEditor() : ChildDialog(QStringLiteral("frmLocalizer"), QStringLiteral("Localizer")) {
  ownWindow(Qt::NonModal);
  setWindowTitle(QStringLiteral("Localizer"));
  list_ = named<TaskListView>(this, "nl_lvwControls");
  list_->setColumnCount(4);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setColumnHidden(kTabOrder, true);
  list_->header()->setSectionsClickable(true);
  list_->setMinimumSize(420, 220);
  auto* lblCaption = named<QLabel>(this, "lblCaption", QStringLiteral("Caption:"));
  caption_ = named<QLineEdit>(this, "nl_Caption");
  auto* lblTip = named<QLabel>(this, "lblTip", QStringLiteral("ToolTip:"));
  tooltip_ = named<QLineEdit>(this, "nl_Tooltip");
  ui::setBuddy(lblCaption, caption_);
  ui::setBuddy(lblTip, tooltip_);
  hiddenTexts({{"lblControls", "Controls"},
               {"lblColControl", "Control"},
               {"lblColCaption", "Caption"},
               {"lblColTooltip", "Tooltip"},
               {"lblEditing", "localizing: %1 LNG: %2"},
               {"lblExitAsk", "Exit without saving ?"},
               {"lblBadBar", "%1: a caption cannot hold a vertical bar. Nothing was saved."},
               {"lblBadBreak", "%1: a text cannot hold a line break. Nothing was saved."},
               {"lblNotSaved", "The language file %1 was not saved: %2"}});

  content()->addWidget(list_, 1);
  auto* boxes = new QFormLayout;
  boxes->addRow(lblCaption, caption_);
  boxes->addRow(lblTip, tooltip_);
  content()->addLayout(boxes);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  cmdSave_ = named<QPushButton>(this, "cmdSave", QStringLiteral("&Save"));
  cmdCancel_ = named<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
  cmdSave_->setAutoDefault(false);
  cmdCancel_->setAutoDefault(false);
  row->addWidget(cmdSave_);
  row->addWidget(cmdCancel_);
  content()->addLayout(row);

  tmrBlink_.setObjectName(QStringLiteral("tmrBlink"));
  tmrBlink_.setInterval(kBlinkMs);
  connect(&tmrBlink_, &QTimer::timeout, this, [this] { trap("frmLocalizer.tmrBlink_Timer", [this] { blink(); }); });
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* now) { trap("frmLocalizer.nl_lvwControls_ItemClick", [&] { rowSelected(now); }); });
  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    trap("frmLocalizer.nl_lvwControls_ColumnClick", [&] { list_->sortItems(column, Qt::AscendingOrder); });
  });
  connect(caption_, &QLineEdit::textEdited, this, [this](const QString& t) { boxEdited(kCaption, t); });
  connect(tooltip_, &QLineEdit::textEdited, this, [this](const QString& t) { boxEdited(kTooltip, t); });
  connect(cmdSave_, &QPushButton::clicked, this, [this] { trap("frmLocalizer.cmdSave_Click", [this] { save(); }); });
  connect(cmdCancel_, &QPushButton::clicked, this,
          [this] { trap("frmLocalizer.cmdCancel_Click", [this] { cancel(); }); });
  for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(caption_), static_cast<QWidget*>(tooltip_)})
    w->installEventFilter(this);
  setTabOrder(list_, caption_);
  setTabOrder(caption_, tooltip_);
  setTabOrder(tooltip_, cmdSave_);
  setTabOrder(cmdSave_, cmdCancel_);
  applyTexts();
}

LocalizerEditor::~LocalizerEditor() { stopBlinking(); }

// The texts that are no control's caption: column headers, the list's name.
void LocalizerEditor::applyTexts() {
  list_->setHeaderLabels({hiddenText("lblColControl"), hiddenText("lblColCaption"), hiddenText("lblColTooltip"),
                          QStringLiteral("TabIndex")});
  list_->setAccessibleName(hiddenText("lblControls"));
}

bool LocalizerEditor::handleCmd(const QString& command) {
  const bool common = ChildDialog::handleCmd(command);
  if (command == QLatin1String("UI_LNGCHANGE")) trap("frmLocalizer.HandleCmd", [this] { applyTexts(); });
  return common;
}

void LocalizerEditor::EditControls(QWidget* window) {
  trap("frmLocalizer.EditControls", [&] {
    QWidget* form = formWithFocus(window);
    if (!form) return;
    if (form_ && form_ != form) finish();  // one form at a time: the last one is left as it was
    QString activeKey;
    if (QWidget* focus = QApplication::focusWidget(); focus && form->isAncestorOf(focus))
      for (QWidget* w = focus; w && w != form && activeKey.isEmpty(); w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
          for (const loc::Control& c : loc::controlsOf(form))
            if (c.object() == w) activeKey = c.key();
    form_ = form;
    form->installEventFilter(this);
    WriteLog(QStringLiteral("Edit Localizer ") + form->objectName() + QStringLiteral(" file: ") +
                 frmLocalizer().DlgIniPath(),
             kDetail);
    edited_ = false;
    frmLocalizer().Localize(this);
    applyTexts();
    fillRows(activeKey);
    setWindowTitle(hiddenText("lblEditing").arg(form->objectName(), frmLocalizer().LNG()));
    // Over a modal box only a modal window takes input.
    setWindowModality(QApplication::activeModalWidget() ? Qt::ApplicationModal : Qt::NonModal);
    place();
    show();
    raise();
    activateWindow();
    list_->setFocus(Qt::OtherFocusReason);
  });
}

void LocalizerEditor::fillRows(const QString& activeKey) {
  stopBlinking();
  list_->setVisible(false);
  list_->clear();
  rowControls_.clear();
  const QHash<const QWidget*, int> chain = tabChain(form_);
  for (const loc::Control& c : loc::controlsOf(form_)) {
    trap(qPrintable(QStringLiteral("frmLocalizer.EditControls; ") + c.key()), [&] {
      const QString d = DefaultText(c);
      WriteLog(QStringLiteral("Ctl: ") + c.name() + QStringLiteral(" Cap: ") + d, kFirstRun);
      if (d == kNone) return;
      const QWidget* w = c.widget();
      const QString order =
          w && chain.contains(w) ? QStringLiteral("%1").arg(chain.value(w), 3, 10, QLatin1Char('0')) : QString();
      addRow(c.key(), d, tipless(c) ? kNone : c.toolTip(), order, c.object());
      if (!d.startsWith(QLatin1String("--- Items:"))) return;
      const bool tabs = c.kind() == loc::Kind::TabStrip;
      for (int n = tabs ? 1 : 0, last = tabs ? c.itemCount() : c.itemCount() - 1; n <= last; ++n)
        addRow(itemKey(c.key(), n), c.itemText(n), kNone, order, c.object());
    });
  }
  list_->sortItems(kTabOrder, Qt::AscendingOrder);
  QTreeWidgetItem* active = list_->topLevelItem(0);
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (!activeKey.isEmpty() && list_->topLevelItem(i)->text(kControl) == activeKey) active = list_->topLevelItem(i);
  list_->setCurrentItem(active);
  if (active) list_->scrollToItem(active);
  rowSelected(active);
  for (int column : {kControl, kCaption, kTooltip}) list_->resizeColumnToContents(column);
  list_->setVisible(true);
}

void LocalizerEditor::addRow(const QString& key, const QString& caption, const QString& tip, const QString& order,
                             QObject* control) {
  auto* row = new QTreeWidgetItem(list_, {key, caption, tip, order});
  row->setData(kControl, Qt::AccessibleTextRole, key + QStringLiteral(": ") + caption);
  rowControls_.insert(row, control);
}

void LocalizerEditor::rowSelected(QTreeWidgetItem* row) {
  stopBlinking();
  loadBox(caption_, row ? row->text(kCaption) : QString());
  loadBox(tooltip_, row ? row->text(kTooltip) : QString());
  if (row) startBlinking(rowControls_.value(row));
}

void LocalizerEditor::loadBox(QLineEdit* box, const QString& value) {
  box->setText(value);
  box->setEnabled(!value.startsWith(kNone));
}

void LocalizerEditor::boxEdited(int column, const QString& text) {
  QTreeWidgetItem* row = list_->currentItem();
  if (!row) return;
  row->setText(column, text);
  if (column == kCaption)
    row->setData(kControl, Qt::AccessibleTextRole, row->text(kControl) + QStringLiteral(": ") + text);
  edited_ = true;
}

bool LocalizerEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_) {
    // A form hidden or going away takes its control's blinking with it, visible.
    if (event->type() == QEvent::Hide) stopBlinking();
    return false;
  }
  if (event->type() == QEvent::FocusIn && (watched == caption_ || watched == tooltip_)) {
    auto* box = static_cast<QLineEdit*>(watched);
    QTimer::singleShot(0, box, [box] { box->selectAll(); });
    return false;
  }
  if (event->type() != QEvent::KeyPress) return ChildDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
  if (ui::isEnter(*key) && held == Qt::NoModifier) {
    trap("frmLocalizer.KeyPress", [&] { enterFrom(watched); });
    return true;
  }
  if (watched == list_ && key->matches(QKeySequence::Copy)) {
    if (QTreeWidgetItem* row = list_->currentItem())
      QApplication::clipboard()->setText(QLatin1Char('[') + row->text(kControl) + QLatin1Char(']'));
    return true;
  }
  return ChildDialog::eventFilter(watched, event);
}

void LocalizerEditor::enterFrom(QObject* watched) {
  QLineEdit* next = nullptr;
  if (watched == list_) next = caption_->isEnabled() ? caption_ : tooltip_->isEnabled() ? tooltip_ : nullptr;
  else if (watched == caption_ && tooltip_->isEnabled()) next = tooltip_;
  if (next) {
    next->setFocus(Qt::TabFocusReason);
    next->selectAll();
  } else {
    list_->setFocus(Qt::TabFocusReason);
  }
}

// Beside the edited form inside the screen: on its right (on its left in a right-to-left
// language) when there is room, else on the other side, else at the screen's edge.
void LocalizerEditor::place() {
  adjustSize();
  const QScreen* screen = form_ && form_->screen() ? form_->screen() : QApplication::primaryScreen();
  if (!screen || !form_) return;
  const int margin = qRound(kMarginTwips * logicalDpiX() / 1440.0);
  const QRect area = screen->availableGeometry().adjusted(margin, margin, -margin, -margin);
  const QRect edited = form_->window()->frameGeometry();
  const QSize size = frameGeometry().size().expandedTo(sizeHint());
  const int right = edited.right() + 1 + margin;
  const int left = edited.left() - margin - size.width();
  const bool rtl = frmLocalizer().RTL();
  const bool fitsRight = right + size.width() <= area.right() + 1;
  const bool fitsLeft = left >= area.left();
  int x = rtl ? (fitsLeft    ? left
                 : fitsRight ? right
                             : area.left())
              : (fitsRight  ? right
                 : fitsLeft ? left
                            : area.right() + 1 - size.width());
  int y = edited.top();
  x = qBound(area.left(), x, qMax(area.left(), area.right() + 1 - size.width()));
  y = qBound(area.top(), y, qMax(area.top(), area.bottom() + 1 - size.height()));
  move(x, y);
}

void LocalizerEditor::startBlinking(QObject* control) {
  auto* w = qobject_cast<QWidget*>(control);
  if (!w || w == form_ || w->isHidden()) return;  // a menu entry or a hidden control cannot be found by blinking
  blinking_ = w;
  blinkWasHidden_ = w->isHidden();
  QSizePolicy policy = w->sizePolicy();
  blinkRetained_ = policy.retainSizeWhenHidden();
  policy.setRetainSizeWhenHidden(true);  // the form keeps the control's room while it is hidden
  w->setSizePolicy(policy);
  tmrBlink_.start();
}

void LocalizerEditor::stopBlinking() {
  tmrBlink_.stop();
  auto* w = qobject_cast<QWidget*>(blinking_.data());
  blinking_ = nullptr;
  if (!w) return;
  w->setVisible(!blinkWasHidden_);
  QSizePolicy policy = w->sizePolicy();
  policy.setRetainSizeWhenHidden(blinkRetained_);
  w->setSizePolicy(policy);
}

void LocalizerEditor::blink() {
  auto* w = qobject_cast<QWidget*>(blinking_.data());
  if (!w || !form_ || !form_->isVisible()) return stopBlinking();
  w->setVisible(w->isHidden());
}

void LocalizerEditor::finish() {
  stopBlinking();
  if (form_) form_->removeEventFilter(this);
  form_ = nullptr;
  edited_ = false;
  hideChild();  // the window that had the focus before has it again
  setWindowModality(Qt::NonModal);
}

QString LocalizerEditor::badRow() const {
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = list_->topLevelItem(i);
    const QString key = row->text(kControl);
    if (row->text(kCaption).contains(QLatin1Char('|'))) return hiddenText("lblBadBar").arg(key);
    for (int column : {kCaption, kTooltip})
      if (row->text(column).contains(QLatin1Char('\n')) || row->text(column).contains(QLatin1Char('\r')))
        return hiddenText("lblBadBreak").arg(key);
  }
  return {};
}

void LocalizerEditor::save() {
  if (!form_) return finish();
  const QString problem = badRow();
  if (!problem.isEmpty()) {
    ask(problem, msgbox::kOkOnly);
    return;
  }
  list_->sortItems(kControl, Qt::AscendingOrder);
  const bool mainWindow = form_->objectName() == kMainWindow;
  QList<std::pair<QString, QString>> entries;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = list_->topLevelItem(i);
    QString caption = row->text(kCaption);
    if (mainWindow && row->text(kControl).startsWith(QLatin1String("cmdMenu"))) caption.remove(QLatin1Char('&'));
    entries.append({row->text(kControl), ini::QuotedValue(caption + QLatin1Char('|') + row->text(kTooltip))});
  }
  QString reason;
  if (!frmLocalizer().DlgIni().SettingsSave(form_->objectName(), entries, &reason)) {
    ask(hiddenText("lblNotSaved").arg(frmLocalizer().DlgIniPath(), reason), msgbox::kOkOnly);
    return;  // the editor stays open with every edit
  }
  stopBlinking();
  if (auto* d = qobject_cast<ChildDialog*>(form_.data())) d->handleCmd(QStringLiteral("UI_LNGCHANGE"));
  else frmLocalizer().Localize(form_);
  finish();
}

void LocalizerEditor::cancel() {
  if (edited_ && ask(hiddenText("lblExitAsk"), msgbox::kYesNo) != msgbox::Yes) return;
  finish();
}

// A box over the editor; the editor and the control the user was on have the focus again after it.
qint16 LocalizerEditor::ask(const QString& message, int kind) {
  QPointer<QWidget> was = QApplication::focusWidget();
  if (!was || !isAncestorOf(was)) was = list_;
  const qint16 answer = MsgBoxEx(message, kind);
  if (isVisible()) {
    activateWindow();
    if (was) was->setFocus(Qt::OtherFocusReason);
  }
  return answer;
}

void LocalizerEditor::reject() { cancel(); }

void LocalizerEditor::closeEvent(QCloseEvent* event) {
  event->ignore();
  trap("frmLocalizer.Form_QueryUnload", [this] { cancel(); });
}

JEX_FORM_REGISTRATION(frmLocalizer, {.create = [] { return std::make_unique<LocalizerEditor>(); }})

}  // namespace jex
