#include "platform/clipboardviewer.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <QWidget>
#include <climits>

#include "base/error.h"
#include "base/log.h"
#include "platform/xcbutil.h"

namespace jex::platform {

cClipboardViewer::cClipboardViewer(QObject* parent) : QObject(parent) {}

cClipboardViewer::~cClipboardViewer() { StopClipboardChangeNotification(); }

void cClipboardViewer::InitClipboardChangeNotification(QWidget* window) {
  StopClipboardChangeNotification();
  window_ = window;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  connection_ = connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
    if (active_ && mode == QClipboard::Clipboard) emit ClipboardChanged();
  });
  active_ = true;
}

void cClipboardViewer::StopClipboardChangeNotification() {
  if (!active_) return;
  disconnect(connection_);
  active_ = false;
}

std::optional<QString> cClipboardViewer::ownerText(int limitMs) {
  return jex::trapped("cClipboardViewer.ownerText", std::optional<QString>(), [&]() -> std::optional<QString> {
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> c(xcb_connect(nullptr, &screen),
                                                                           xcb_disconnect);
    if (!c || xcb_connection_has_error(c.get())) return std::nullopt;
    xcb_connection_t* conn = c.get();
    const xcb_window_t root = xcb::rootOf(conn, screen);
    const xcb_atom_t clipboard = xcb::internAtom(conn, "CLIPBOARD");
    const xcb_atom_t utf8 = xcb::internAtom(conn, "UTF8_STRING");
    const xcb_atom_t incr = xcb::internAtom(conn, "INCR");
    const xcb_atom_t target = xcb::internAtom(conn, "JEX_CLIPBOARD_TEXT");
    if (!root || !clipboard || !utf8 || !target) return std::nullopt;
    const auto owner =
        xcb::reply(xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, clipboard), nullptr));
    if (!owner) return std::nullopt;
    if (owner->owner == XCB_WINDOW_NONE) return QString();  // nobody holds a clipboard
    const xcb_window_t window = xcb_generate_id(conn);
    xcb_create_window(conn, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_convert_selection(conn, window, clipboard, utf8, target, XCB_CURRENT_TIME);
    xcb_flush(conn);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < limitMs) {
      const xcb::Reply<xcb_generic_event_t> event = xcb::reply(xcb_poll_for_event(conn));
      if (!event) {
        if (xcb_connection_has_error(conn)) return std::nullopt;
        QThread::msleep(5);
        continue;
      }
      if ((event->response_type & ~0x80) != XCB_SELECTION_NOTIFY) continue;
      const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
      if (notify->property == XCB_ATOM_NONE) return std::nullopt;  // no UTF-8 text: Qt asks for others
      const auto value = xcb::reply(xcb_get_property_reply(
          conn, xcb_get_property(conn, 1, window, target, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT_MAX / 4), nullptr));
      if (!value || value->type == incr || value->format != 8) return std::nullopt;
      return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(value.get())),
                               xcb_get_property_value_length(value.get()));
    }
    jex::WriteLog(QStringLiteral("clipboard: its owner did not answer within %1 ms").arg(limitMs), jex::kTraffic);
    return QString();
  });
}

QString cClipboardViewer::text(int limitMs) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return {};
  // Another program's clipboard on the display: asked with the limit first.
  if (QGuiApplication::platformName() == u"xcb" && !clipboard->ownsClipboard())
    if (const std::optional<QString> text = ownerText(limitMs)) return *text;
  // Qt asks the owner and waits for its answer itself; an answer that took longer than the
  // limit is not used (the owner is slow or gone).
  QElapsedTimer t;
  t.start();
  const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
  if (t.elapsed() > limitMs || !data || !data->hasText()) return {};
  return data->text();
}

}  // namespace jex::platform
