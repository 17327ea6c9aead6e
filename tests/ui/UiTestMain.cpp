// Runs the window tests on Qt's offscreen platform (unless another one is asked for).

#include <gtest/gtest.h>

#include <QLocale>
#include <cstdlib>

#include "TVorlentApplication.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  TVorlentApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
