// The systemd user unit as installed: written for the prefix it lands in, naming the
// installed listener, and accepted by systemd's own checker.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "TestFiles.h"

using namespace testfiles;

namespace {
// Runs Command through the shell; its exit status and what it wrote to stdout and stderr.
int Shell(const std::string& Command, std::string& Output) {
  Output.clear();
  FILE* pipe = popen((Command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) Output.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(InstalledUnit, NamesTheInstalledListenerAndPassesSystemdsCheck) {
  TempDir prefix;
  std::string output;
  ASSERT_EQ(Shell("'" CMAKE_COMMAND "' --install '" VORLENT_BUILD_DIR "' --component listen "
                  "--prefix '" +
                      prefix.Path.string() + "'",
                  output),
            0)
      << output;
  const std::string unit = prefix / "lib/systemd/user/vorlent-listen.service";
  std::ifstream in(unit);
  ASSERT_TRUE(in) << unit << " not installed";
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  const std::string program = prefix / "bin/vorlent-listen";
  EXPECT_NE(text.find("\nExecStart=" + program + " --protocols " + prefix / "bin/protocols.xml" +
                      " --actions %h/.config/vorlent/actions $VORLENT_LISTEN_OPTIONS\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(Shell("'" + program + "' --version", output), 0) << output;
  EXPECT_EQ(output.rfind("vorlent-listen ", 0), 0u) << output;

  if (Shell("command -v systemd-analyze", output) != 0) GTEST_SKIP() << "no systemd-analyze";
  EXPECT_EQ(Shell("systemd-analyze verify '" + unit + "'", output), 0) << output;
  EXPECT_EQ(output, "");  // no unknown keys, no missing program
}
