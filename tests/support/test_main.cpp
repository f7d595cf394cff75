#include <gtest/gtest.h>

#include <QApplication>

// Every test executable gets an application object so that Qt classes needing
// one (event loop, timers, widgets) work. Widgets are drawn on the offscreen
// platform unless a platform is chosen explicitly; no display is touched.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
