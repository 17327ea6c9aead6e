// The window under a user's locale whose decimal separator is a comma: the protocol library's
// numbers read as the command-line tool reads them. A process of its own, because the locale
// has to be in place before the application object exists; the locale is built for the test
// with localedef, so that it runs on a machine that has none installed.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QStandardPaths>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TVorlentApplication.h"
#include "TestFiles.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
constexpr const char* CommaLocale = "de_DE.UTF-8";

// The test library with fractions in the lead-in, which only a full stop separates.
std::string FractionsXml() {
  std::string xml = ProtocolsXml;
  const std::string whole = "#9000_4500";
  xml.replace(xml.find(whole), whole.size(), "#9000.5_4499.5");
  return xml;
}

// The built vorlent-decode run in Dir under the environment of this process.
std::string DecodeCsv(const std::string& Dir, const std::string& Wav) {
  const std::string command = "cd '" + Dir + "' && '" VORLENT_DECODE_BINARY "' --format csv '" +
                              Wav + "' --protocols protocols.xml";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char chunk[4096];
  while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
  const int status = pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
  return out;
}

// The locale of the environment is the window's, except for how numbers are read.
TEST(CommaLocale, TheUsersLocaleHoldsButNumbersReadWithAFullStop) {
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), CommaLocale);
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

// A packet whose definition has a lead-in of 9000.5 us decodes in the window as in vorlent-decode
// started under the same locale.
TEST(CommaLocale, TheWindowMatchesFractionsAsTheCommandLineDoes) {
  const std::string xml = FractionsXml();
  TWindowRig rig(xml.c_str());
  auto buffer = QuietBuffer();
  Put(buffer, 1000, NecRuns(4, 8));
  rig.Record();
  rig.Feed(buffer);
  ASSERT_EQ(rig.Gui->Processor->Samples.size(), 1u);
  const TProtocol& window = *rig.Sample(0).Protocol;
  EXPECT_EQ(window.ProtocolName, "NEC");
  testfiles::WriteU8Wav((rig.Dir / "nec.wav").string(), buffer);
  const std::string csv = DecodeCsv(rig.Dir.string(), "nec.wav");
  EXPECT_NE(csv.find(",NEC,exact," + window.GetDataText() + ","), std::string::npos)
      << csv << "\nthe window: " << window.ProtocolName << " " << window.GetDataText();
}
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  // The comma locale, built into a scratch folder that glibc is told to look in.
  const testfiles::TempDir locales;
  const std::string build = "localedef -c -i de_DE -f UTF-8 '" + locales / CommaLocale + "'";
  if (std::system(build.c_str()) != 0 || setenv("LOCPATH", locales.Path.c_str(), 1) != 0 ||
      setenv("LC_ALL", CommaLocale, 1) != 0) {
    std::fprintf(stderr, "the locale %s cannot be built: %s\n", CommaLocale, build.c_str());
    return 1;
  }
  QStandardPaths::setTestModeEnabled(true);
  TVorlentApplication application(argc, argv);
  UseScratchSettings();
  return RUN_ALL_TESTS();
}
