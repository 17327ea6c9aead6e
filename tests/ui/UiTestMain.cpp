// Runs the window tests on Qt's offscreen platform (unless another one is asked for).

#include <gtest/gtest.h>
#include <unistd.h>

#include <QLocale>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TVorlentApplication.h"
#include "UiTestSupport.h"

int main(int argc, char** argv) {
  // Offscreen, on a screen as large as a desktop's (Qt's own is 800 x 800).
  // A file of this process's own: test processes run side by side.
  const std::string screen = std::filesystem::temp_directory_path() /
                             ("vorlent-ui-screen-" + std::to_string(getpid()) + ".json");
  std::ofstream(screen) << R"({"screens":[{"name":"s","width":1920,"height":1200}]})";
  if (!getenv("QT_QPA_PLATFORM") || std::string(getenv("QT_QPA_PLATFORM")) == "offscreen")
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QStandardPaths::setTestModeEnabled(true);  // settings go to a test folder, not the user's
  TVorlentApplication application(argc, argv);
  // The window remembers its settings: in a scratch folder, never in the user's own file.
  ui_test::UseScratchSettings();
  const int status = RUN_ALL_TESTS();
  std::filesystem::remove(screen);
  return status;
}
