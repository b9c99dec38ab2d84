// A plain Qt window for the task tests, titled by its first argument: everything it does on the
// display (the answer to _NET_WM_PING included) is Qt's own. With a second argument the window
// is a focused one-line text field holding that text (a program whose field is copied).
#include <QApplication>
#include <QLineEdit>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  QWidget plain;
  QLineEdit field;
  QWidget& window = args.size() > 2 ? static_cast<QWidget&>(field) : plain;
  field.setText(args.value(2));
  window.setWindowTitle(args.value(1));
  window.resize(200, 100);
  window.show();
  return app.exec();
}
