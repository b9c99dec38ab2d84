// JexUI program entry.
#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::puts("JexUI: the program itself arrives with the start-up work.");
  return 0;
}
