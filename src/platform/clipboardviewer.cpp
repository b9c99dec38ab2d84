#include "platform/clipboardviewer.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QWidget>

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

QString cClipboardViewer::text(int limitMs) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return {};
  // Qt asks the owner and waits for its answer itself; an answer that took longer than the
  // limit is not used (the owner is slow or gone).
  QElapsedTimer t;
  t.start();
  const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
  if (t.elapsed() > limitMs || !data || !data->hasText()) return {};
  return data->text();
}

}  // namespace jex::platform
