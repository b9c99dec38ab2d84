// cClipboardViewer: hears the clipboard (the CLIPBOARD selection) change. On X the notice is the
// XFixes extension's selection owner change, which Qt's clipboard already selects on its own
// connection; every viewer listens there. There is no chain of viewers to keep: any number of
// viewers each hear every change, and a viewer that stops leaves the others listening.
//
// The clipboard's text is read with a time limit: an owner that never answers is given up after
// the limit and the text is empty. Qt's own clipboard waits seconds for such an owner, blocking
// the window; so another program's clipboard is asked on a connection of its own, which stops
// waiting at the limit, and Qt is asked only once the owner has shown that it answers.
#pragma once

#include <QObject>
#include <QPointer>
#include <optional>

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
  // The CLIPBOARD selection's text asked of its owner on a connection of its own to the display
  // (DISPLAY), waiting limitMs at most: an empty text when nobody owns it or its owner has not
  // answered in time; nullopt when the owner answered but the text must be taken through Qt
  // (no UTF-8 text, or one sent in pieces) or there is no display.
  static std::optional<QString> ownerText(int limitMs);

 signals:
  void ClipboardChanged();

 private:
  QPointer<QWidget> window_;
  bool active_ = false;
  QMetaObject::Connection connection_;
};

}  // namespace jex::platform
