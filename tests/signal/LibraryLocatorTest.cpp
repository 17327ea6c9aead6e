// Where the protocol library is looked for: real folders and files in a scratch folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "TLibraryLocator.h"

namespace fs = std::filesystem;

namespace {
struct Scratch {
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "vorlent-lib-XXXXXX").string();
    Path = mkdtemp(pattern.data());
  }
  ~Scratch() { fs::remove_all(Path); }
  std::string Folder(const std::string& Name) const {
    fs::create_directories(Path / Name);
    return (Path / Name).string();
  }
  fs::path Path;
};

// Sets (or with nullopt unsets) an environment variable for the scope.
class EnvVar {
 public:
  EnvVar(const char* VariableName, std::optional<std::string> Value) : Name(VariableName) {
    if (const char* old = getenv(Name)) Old = old;
    Value ? setenv(Name, Value->c_str(), 1) : unsetenv(Name);
  }
  ~EnvVar() { Old ? setenv(Name, Old->c_str(), 1) : unsetenv(Name); }

 private:
  const char* Name;
  std::optional<std::string> Old;
};
}  // namespace

TEST(LibraryLocator, TheFirstFolderHoldingTheFileWins) {
  Scratch s;
  const std::string a = s.Folder("a"), b = s.Folder("b"), c = s.Folder("c");
  const TLibraryLocator locator({a, b, c});
  EXPECT_EQ(
      locator.Candidates(),
      (std::vector<std::string>{a + "/protocols.xml", b + "/protocols.xml", c + "/protocols.xml"}));
  EXPECT_EQ(locator.Find(), "");
  EXPECT_EQ(locator.NotFoundText(),
            "protocols.xml was not found. Looked in:\n  " + a + "\n  " + b + "\n  " + c);
  std::ofstream(c + "/protocols.xml") << "<protocols/>";
  EXPECT_EQ(locator.Find(), c + "/protocols.xml");
  fs::create_directory(b + "/protocols.xml");  // a folder of that name is no library
  EXPECT_EQ(locator.Find(), c + "/protocols.xml");
  fs::create_symlink(c + "/protocols.xml", a + "/protocols.xml");  // a link to one is
  EXPECT_EQ(locator.Find(), a + "/protocols.xml");
  fs::remove(c + "/protocols.xml");  // a dangling link is not
  EXPECT_EQ(locator.Find(), "");
  EXPECT_EQ(TLibraryLocator(std::vector<std::string>{}).NotFoundText(),
            "protocols.xml was not found. Looked in: nowhere");
}

TEST(LibraryLocator, TheUsualOrderIsCurrentUserProgramInstalled) {
  Scratch s;
  const fs::path old = fs::current_path();
  fs::current_path(s.Folder("work"));
  const std::string program = fs::read_symlink("/proc/self/exe").parent_path().string();
  const struct {
    std::optional<std::string> Xdg, Home;
    std::string User;  // "" when there is no user folder
  } cases[] = {{s.Path.string() + "/xdg", "/home/x", s.Path.string() + "/xdg/vorlent"},
               {std::nullopt, "/home/x", "/home/x/.local/share/vorlent"},
               {"relative/xdg", "/home/x", "/home/x/.local/share/vorlent"},
               {std::nullopt, std::nullopt, ""}};
  for (const auto& c : cases) {
    EnvVar xdg("XDG_DATA_HOME", c.Xdg), home("HOME", c.Home);
    const std::vector<std::string> folders = TLibraryLocator::DefaultFolders();
    std::vector<std::string> expected = {(s.Path / "work").string()};
    if (!c.User.empty()) expected.push_back(c.User);
    expected.push_back(program);
    ASSERT_EQ(folders.size(), expected.size() + 1) << c.User;
    EXPECT_EQ(std::vector<std::string>(folders.begin(), folders.end() - 1), expected);
    EXPECT_EQ(fs::path(folders.back()).filename(), "vorlent");
    EXPECT_EQ(fs::path(folders.back()).parent_path().filename(), "share");
  }
  // The program's folder as the current one is tried once.
  fs::current_path(program);
  const std::vector<std::string> folders = TLibraryLocator::DefaultFolders();
  EXPECT_EQ(std::count(folders.begin(), folders.end(), program), 1);
  fs::current_path(old);
}
