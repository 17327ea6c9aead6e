// Where the protocol library is looked for: real folders and files in a scratch folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "TLibraryLocator.h"

namespace fs = std::filesystem;

TEST(LibraryLocator, TheFirstFolderHoldingTheFileWins) {
  std::string pattern = (fs::temp_directory_path() / "vorlent-lib-XXXXXX").string();
  const fs::path dir = mkdtemp(pattern.data());
  const std::string a = dir / "a", b = dir / "b", c = dir / "c";
  for (const auto& folder : {a, b, c}) fs::create_directory(folder);
  const TLibraryLocator locator({a, b, c});
  EXPECT_EQ(locator.Find(), "");
  EXPECT_EQ(locator.NotFoundText(),
            "protocols.xml was not found. Looked in:\n  " + a + "\n  " + b + "\n  " + c);
  std::ofstream(c + "/protocols.xml") << "<protocols/>";
  fs::create_directory(b + "/protocols.xml");  // a folder of that name is no library
  EXPECT_EQ(locator.Find(), c + "/protocols.xml");
  fs::remove_all(dir);
}
