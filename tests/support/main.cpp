// GoogleTest main for every test executable: the tests run inside a QApplication so that
// widgets, timers and D-Bus connections work. Without a display the offscreen platform is used.
#include <gtest/gtest.h>
#include <QApplication>

// An area may prepare the process before the application exists (its own display and buses,
// the platform it needs) by defining this function.
__attribute__((weak)) void jexTestBeforeApplication(int argc, char** argv);

int main(int argc, char** argv) {
  if (jexTestBeforeApplication) jexTestBeforeApplication(argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
