// A plain Qt window for the task tests, titled by its argument: everything it does on the
// display (the answer to _NET_WM_PING included) is Qt's own.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QApplication::arguments().value(1));
  window.resize(200, 100);
  window.show();
  return app.exec();
}
