// frmMDI: the child switch (one dialog visible at a time), TOGGMEN, the button row marks and
// keys, and the tool tip in the status bar.
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "app/cmdqueue.h"
#include "app/frmmain.h"
#include "app/frmmdi.h"
#include "app/twips.h"
#include "base/error.h"
#include "base/log.h"
#include "dialogs/keys/frmqmenu.h"
#include "global/cglobal.h"
#include "global/sounds.h"
#include "localisation/frmlocalizer.h"
#include "platform/foreground.h"
#include "platform/pointer.h"
#include "widgets/formservice.h"

namespace jex {
namespace {
constexpr int kParkOffset = 4;  // pixels inside the window's edge
constexpr int kTipVoice = 7;

QString plainCaption(const QPushButton* b) { return b->text().remove(u'&'); }
}  // namespace

void frmMDI::StoreLastForeApp() {
  trap("frmMDI.StoreLastForeApp", [] {
    cGlobal& g = gGlobal();
    if (Jex().isNothing()) return;
    g.LastForeApp = Jex().str(QStringLiteral("proc.ForeGroundApp")).toUpper();
    g.LastForeWnd = trapped("frmMDI.StoreLastForeApp.Wnd", qint64(0),
                            [] { return Jex().get(QStringLiteral("System.GetRealForegroundWindow")).toLongLong(); });
    g.LastBrlAI =
        trapped("frmMDI.StoreLastForeApp.BrlAI", Obj(), [] { return Jex().obj(QStringLiteral("proc.CurrentBRLAI")); });
    WriteLog(QStringLiteral("StoreLastForeApp: ") + g.LastForeApp, kDetail);
  });
}

void frmMDI::SetMainCaption(const QString& text) {
  const QString title = gGlobal().AppTitle.isEmpty() ? lblAppTitle_->text() : gGlobal().AppTitle;
  setWindowTitle(text.isEmpty() ? title : text + QStringLiteral(" - ") + title);
}

void frmMDI::closeForeignModal() {
  QWidget* w = QApplication::activeModalWidget();
  if (!w) w = QApplication::activeWindow();
  if (!w || w == this) return;
  const QString name = w->objectName();
  if (name == QLatin1String("frmHelp") || name == QLatin1String("frmAbout") || name == QLatin1String("frmMsgEx")) {
    WriteLog(QStringLiteral("force close Form: ") + name, kDetail);
    w->close();
  } else if (name == QLatin1String("frmQMenu")) {
    if (auto* q = qobject_cast<frmQMenu*>(w)) q->CloseQuickMenu();
    w->hide();
  }
}

bool frmMDI::QueryHideChild(ChildDialog* newForm) {
  return trapped("frmMDI.QueryHideChild", false, [&] {
    StoreLastForeApp();
    show();
    platform::ForceForeground(this, gGlobal().UseForceForeGround);
    closeForeignModal();
    const auto caption = [&] {
      if (!newForm) return;
      if (newForm->objectName() == QLatin1String("frmReadMe")) SetMainCaption(QString());
      SetMainCaption(newForm->lblTitle()->text());
    };
    ChildDialog* active = activeChild();
    if (!active) {
      WriteLog(QStringLiteral("MDI.ACtiveForm was Nothing"), kDetail);
      caption();
      return true;
    }
    if (active == newForm) {
      caption();
      return true;
    }
    const QString name = active->objectName();
    WriteLog(QStringLiteral("try hiding: ") + name, kDetail);
    switching_ = true;
    iNotify(QStringLiteral("UI_QUERYHIDECHILD"));
    switching_ = false;
    if (activeChild() != active) {
      WriteLog(QStringLiteral("hiding successfull !"), kDetail);
      if (!newForm) showHome();  // the form that follows is not shown in the frame
      caption();
      return true;
    }
    WriteLog(QStringLiteral("stays active: ") + name, kDetail);
    return false;
  });
}

void frmMDI::Child_Activates(ChildDialog& form) {
  trap("frmMDI.Child_Activates", [&] {
    WriteLog(QStringLiteral("Child_Activates: ") + form.objectName(), kDetail);
    SetMainCaption(form.lblTitle()->text());
    // The home child leaves the mark where it was: closing a dialog returns to its button.
    if (const int button = forms::menuButton(form.objectName()); button >= 0) ColorButtons(button);
  });
}

void frmMDI::Child_Closed(ChildDialog& form) {
  trap("frmMDI.Child_Closed", [&] {
    if (gGlobal().Quitting || &form == home_) return;
    if (switching_) return;  // another dialog takes the place at once
    showHome();
    // The focus wandered through the row while the dialog hid: back to the dialog's button.
    if (const int button = forms::menuButton(form.objectName()); button >= 0) ColorButtons(button);
    LastMenuBtn();
    WriteLog(QStringLiteral("Child_Closed, LastForeApp: ") + gGlobal().LastForeApp, kDetail);
    if (gGlobal().LastForeApp != QLatin1String("JEXUI")) hide();
  });
}

void frmMDI::showHome() {
  if (!home_) return;
  SetMainCaption(home_->lblTitle()->text());
  if (home_->isVisibleTo(client_)) return;
  trap("frmMDI.ShowHome", [this] { home_->loadInfo(frmLocalizer().LngDir() + QStringLiteral("JEXINFO.RTF")); });
  home_->show();
}

void frmMDI::ColorButtons(int index) {
  if (index == marked_) return;
  if (QPushButton* old = cmdMenu(marked_)) {
    old->setPalette(QPalette());
    old->setAutoFillBackground(false);
  }
  marked_ = cmdMenu(index) ? index : -1;
  if (QPushButton* b = cmdMenu(marked_)) {
    QPalette p = b->palette();
    p.setColor(QPalette::Button, p.color(QPalette::Highlight));
    p.setColor(QPalette::ButtonText, p.color(QPalette::HighlightedText));
    b->setPalette(p);
    b->setAutoFillBackground(true);
  }
}

void frmMDI::LastMenuBtn() {
  if (QWidget* row = findChild<QWidget*>(QStringLiteral("picMenu"))) row->setVisible(true);
  QPushButton* b = cmdMenu(marked_ >= 0 ? marked_ : 0);
  if (b && !b->isEnabled()) b = cmdMenu(0);
  if (b) b->setFocus(Qt::OtherFocusReason);
}

void frmMDI::TOGGMEN() {
  trap("frmMDI.TOGGMEN", [this] {
    StoreLastForeApp();
    cGlobal& g = gGlobal();
    if (g.LastForeApp == QLatin1String("JEXUI")) {
      if (quickMenuOpen()) {
        closeQuickMenu();
        return;
      }
      ChildDialog* child = activeChild();
      if (child && !child->querySave()) return;  // the dialog's changes are settled before it goes
      PlaySound(QStringLiteral("MenuOff"));
      QWidget* focus = QApplication::focusWidget();
      if (!child) lastCtl_ = cmdMenu(0);
      else lastCtl_ = focus && child->isAncestorOf(focus) ? focus : nullptr;
      WriteLog(QStringLiteral("LastCtl: ") + (lastCtl_ ? lastCtl_->objectName() : QString()), kDetail);
      hide();
      return;
    }
    PlaySound(QStringLiteral("MenuOn"));
    show();
    platform::ForceForeground(this, g.UseForceForeGround);
    if (!activeChild() || !lastCtl_) {
      LastMenuBtn();
    } else {
      WriteLog(QStringLiteral("m_LastCtl.Visible: ") +
                   (lastCtl_->isVisible() ? QStringLiteral("True") : QStringLiteral("False")),
               kDetail);
      if (lastCtl_->isVisible()) lastCtl_->setFocus(Qt::OtherFocusReason);
      else LastMenuBtn();
    }
    if (g.ParkMouse != 0) {
      const QPoint edge = frameGeometry().topLeft();
      platform::setPointerPos(QPoint(edge.x() + kParkOffset, edge.y() + kParkOffset));
    }
  });
}

// The quick menu, when it is loaded: its own state says whether it is open, and it closes its
// open popup itself (Escape to the popup in front, not to the form).
namespace {
frmQMenu* quickMenu() { return qobject_cast<frmQMenu*>(forms::instance(QStringLiteral("frmQMenu"))); }
}  // namespace

bool frmMDI::quickMenuOpen() const {
  const frmQMenu* q = quickMenu();
  return q && q->isOpen();
}

void frmMDI::closeQuickMenu() {
  if (frmQMenu* q = quickMenu()) q->CloseQuickMenu();
}

// ---------------------------------------------------------------- tool tips

void frmMDI::StatusTip(const QString& text) {
  statusPanel(QStringLiteral("tip"))->setText(text);
  if (text.isEmpty()) return;
  tipRequested_ = now();
  tipTicks_ = 0;
  tipPending_ = true;
  // A tip never interrupts speech: while the core speaks (the focus utterance of the control
  // whose tip this is, mostly) the timer waits for the end of it.
  if (!gGlobal().Speaking) tmrTip_->start();
}

qint64 frmMDI::now() const { return clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch(); }

void frmMDI::clearTip() {
  tipPending_ = false;
  tipTicks_ = 0;
  tmrTip_->stop();
  statusPanel(QStringLiteral("tip"))->clear();
}

void frmMDI::readerTick() {
  trap("frmMDI.tmrReader_Timer", [this] {
    if (gGlobal().InMenu) return;
    QWidget* window = QApplication::activeWindow();
    if (!window) {
      if (!noActiveForm_) WriteLog(QStringLiteral("no active Form"), kDetail);
      noActiveForm_ = true;
      clearTip();
      return;
    }
    noActiveForm_ = false;
    QWidget* focus = QApplication::focusWidget();
    const QString tip = focus ? focus->toolTip() : QString();
    if (!tip.isEmpty() && tip != statusPanel(QStringLiteral("tip"))->text()) StatusTip(tip);
  });
}

void frmMDI::tipTick() {
  trap("frmMDI.tmrTip_Timer", [this] {
    if (++tipTicks_ <= gGlobal().TipDelay) return;
    tmrTip_->stop();
    tipPending_ = false;
    const QString text = statusPanel(QStringLiteral("tip"))->text();
    if (text.isEmpty() || Jex().isNothing()) return;
    // The core asks for the voice while the call runs; the tip keeps its own.
    gGlobal().NoVoiceSelect = true;
    const struct Reset {
      ~Reset() { gGlobal().NoVoiceSelect = false; }
    } reset;
    Jex().call(QStringLiteral("proc.SpeechOutVoice"), {text, kTipVoice});
  });
}

// ---------------------------------------------------------------- button row keys

bool frmMDI::buttonRowKey(int key) {
  for (int i = 0; i < kMenuButtons; ++i) {
    QPushButton* b = cmdMenu_[size_t(i)];
    const QString caption = plainCaption(b);
    if (caption.isEmpty() || caption.at(0).toUpper().unicode() != key) continue;
    if (b->isEnabled()) b->setFocus(Qt::ShortcutFocusReason);
    iAdd2JexCmdQ(QStringLiteral("GOFOCUS"));
    return true;
  }
  return false;
}

bool frmMDI::eventFilter(QObject* watched, QEvent* event) {
  if (watched == statusBar() && event->type() == QEvent::MouseButtonRelease)
    trap("frmMDI.Status_MouseUp", [&] { statusGesture(static_cast<QMouseEvent*>(event)); });
  auto* button = qobject_cast<QPushButton*>(watched);
  if (button && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0 &&
        buttonRowKey(key->key()))
      return true;
  }
  if (button && event->type() == QEvent::FocusIn)
    for (int i = 0; i < kMenuButtons; ++i)
      if (cmdMenu_[size_t(i)] == button) ColorButtons(i);
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace jex
