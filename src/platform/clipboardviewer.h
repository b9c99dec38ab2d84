// cClipboardViewer: hears the clipboard (the CLIPBOARD selection) change. On X the notice is the
// XFixes extension's selection owner change, which Qt's clipboard already selects on its own
// connection; every viewer listens there. There is no chain of viewers to keep: any number of
// viewers each hear every change, and a viewer that stops leaves the others listening.
//
// The clipboard's text is read with a time limit: an owner that never answers is given up after
// the limit and the text is empty.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace jex::platform {

class cClipboardViewer : public QObject {
  Q_OBJECT
 public:
  explicit cClipboardViewer(QObject* parent = nullptr);
  ~cClipboardViewer() override;  // stops

  // Stops an earlier notification, remembers window and starts hearing changes.
  void InitClipboardChangeNotification(QWidget* window);
  void StopClipboardChangeNotification();
  bool active() const { return active_; }
  QWidget* window() const { return window_; }

  // The clipboard's text; empty when it holds none (an image), or when its owner has not
  // answered within limitMs.
  static QString text(int limitMs = 1000);

 signals:
  void ClipboardChanged();

 private:
  QPointer<QWidget> window_;
  bool active_ = false;
  QMetaObject::Connection connection_;
};

}  // namespace jex::platform
