// Follows the foreground application of the window system: the active window
// (_NET_ACTIVE_WINDOW), its process (_NET_WM_PID) and that process's name, polled.
// Task names are upper case, as the screen reader knows applications ("JEXUI" for JexUI).
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

struct xcb_connection_t;

namespace corvane {

class ForegroundWatcher : public QObject {
  Q_OBJECT
 public:
  explicit ForegroundWatcher(QObject* parent = nullptr);
  ~ForegroundWatcher() override;

  // Connects to the X display when one exists; false (and no polling) otherwise.
  bool start(int intervalMs = 250);
  // The task name of the active window now, or "" when it cannot be told.
  QString query();
  // The active window (_NET_ACTIVE_WINDOW) now, or 0.
  quint32 activeWindow();

  static QString taskNameOfPid(qint64 pid);

 signals:
  void foregroundChanged(const QString& taskName);

 private:
  void poll();
  unsigned internAtom(const char* name);
  quint32 cardinal(unsigned window, unsigned atom, unsigned type);

  xcb_connection_t* conn_ = nullptr;
  unsigned root_ = 0;
  unsigned activeAtom_ = 0;
  unsigned pidAtom_ = 0;
  QString last_;
  QTimer timer_;
};

}  // namespace corvane
