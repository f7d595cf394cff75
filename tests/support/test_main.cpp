#include <gtest/gtest.h>

#include <QCoreApplication>

// Every test executable gets a core application so that Qt classes needing one
// (event loop, standard paths, timers) work; no display is touched.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
