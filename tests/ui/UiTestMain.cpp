// Runs the window tests on Qt's offscreen platform (unless another one is asked for).

#include <gtest/gtest.h>

#include <QLocale>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TVorlentApplication.h"

int main(int argc, char** argv) {
  // Offscreen, on a screen as large as a desktop's (Qt's own is 800 x 800).
  const std::string screens = std::filesystem::temp_directory_path() / "vorlent-ui-screen.json";
  std::ofstream(screens) << R"({"screens":[{"name":"desktop","x":0,"y":0,"width":1920,)"
                         << R"("height":1200,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})";
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (!platform || std::string(platform) == "offscreen")
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QStandardPaths::setTestModeEnabled(true);  // settings go to a test folder, not the user's
  TVorlentApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
