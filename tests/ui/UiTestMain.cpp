// Runs the window tests on Qt's offscreen platform (unless another one is asked for).

#include <gtest/gtest.h>

#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TVorlentApplication.h"

int main(int argc, char** argv) {
  // Offscreen, on a screen as large as a desktop's (Qt's own is 800 x 800).
  const std::string screen = std::filesystem::temp_directory_path() / "vorlent-ui-screen.json";
  std::ofstream(screen) << R"({"screens":[{"name":"s","width":1920,"height":1200}]})";
  if (!getenv("QT_QPA_PLATFORM") || std::string(getenv("QT_QPA_PLATFORM")) == "offscreen")
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QStandardPaths::setTestModeEnabled(true);  // settings go to a test folder, not the user's
  TVorlentApplication application(argc, argv);
  // The window remembers its settings: in a scratch folder, never in the user's own file.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  return RUN_ALL_TESTS();
}
