#include "platform/foreground.h"

#include "base/error.h"
#include "base/log.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/xcbutil.h"

namespace jex::platform {

namespace {

// Sends _NET_ACTIVE_WINDOW for the window to the root window of its screen, when a window
// manager is there to answer it.
bool sendActiveWindowMessage(QWidget* window) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11 ? x11->connection() : nullptr;
  if (!c || xcb_connection_has_error(c)) return false;
  const xcb_atom_t atom = xcb::internAtom(c, "_NET_ACTIVE_WINDOW");
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  if (atom == XCB_ATOM_NONE || !screen) return false;
  // Without a window manager nobody would answer: Qt's own request then sets the input focus.
  if (!xcb::managerSupports(c, screen->root, xcb::internAtom(c, "_NET_SUPPORTED"), atom)) return false;

  xcb::sendToWindowManager(c, screen->root, xcb::activeWindowRequest(xcb_window_t(window->winId()), atom));
  xcb_flush(c);
  return true;
}

// A window shown a moment ago is not managed yet, and the manager drops a request that comes
// before the window's map: the request is sent again once the window is on screen (within a
// few seconds, else the watch ends).
class ActivateWhenExposed : public QObject {
 public:
  explicit ActivateWhenExposed(QWidget* window) : QObject(window), window_(window) {
    window->windowHandle()->installEventFilter(this);
    QTimer::singleShot(3000, this, &QObject::deleteLater);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && window_->windowHandle() && window_->windowHandle()->isExposed()) {
      if (!window_->isActiveWindow())
        trap("platform.ActivateWhenExposed", [this] { sendActiveWindowMessage(window_); });
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget* window_;
};

void restore(QWidget* window) {
  if (window->isMinimized()) window->showNormal();
  else if (!window->isVisible()) window->show();
}

}  // namespace

bool requestActivation(QWidget* window) {
  return trapped("platform.requestActivation", false, [&] {
    if (!window) return false;
    window->raise();
    if (sendActiveWindowMessage(window)) {
      if (window->windowHandle() && !window->windowHandle()->isExposed()) new ActivateWhenExposed(window);
      return true;
    }
    window->activateWindow();
    return false;
  });
}

void ForceForeground(QWidget* window, int method) {
  trap("platform.ForceForeground", [&] {
    if (!window) return;
    window = window->window();
    WriteLog(QStringLiteral("ForceForeground ") + window->objectName() + QStringLiteral(", method ") +
                 QString::number(method),
             kDetail);
    switch (method) {
      case kShowRaiseActivate:
        restore(window);
        window->raise();
        window->activateWindow();
        break;
      case kRestoreThenActivate:
        restore(window);
        [[fallthrough]];
      case kActivateUnlessActive:
        if (!window->isActiveWindow()) requestActivation(window);
        break;
      default:
        break;
    }
  });
}

}  // namespace jex::platform
