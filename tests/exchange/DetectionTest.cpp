#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "ExchangeFixture.h"
#include "TInputDecoder.h"
#include "TIrFormats.h"
#include "TRecordingError.h"

namespace {
const std::string Comments8 =
    "#\n# brand: Philips\n# model: MCE\n#\n# written by irrecord\n#\n# more words\n#\n";
const std::string LircBody =
    "begin remote\n name tv\n bits 8\n header 9000 4500\n one 560 1690\n zero 560 560\n"
    " gap 108000\n begin codes\n KEY_POWER 0x10\n end codes\nend remote\n";
const std::string Bom = "\xEF\xBB\xBF";

std::string Utf16(const std::string& Ascii, bool LittleEndian) {
  std::string out;
  for (const char c : Ascii) out += LittleEndian ? std::string{c, '\0'} : std::string{'\0', c};
  return out;
}

struct THeadCase {
  const char* Label;
  std::string Head;
  const char* Format;   // "" for none
  const char* Refusal;  // the start of the refusal, "" for none
};

class DetectionTest : public ::testing::TestWithParam<THeadCase> {};

// The content is evidence, comments and a byte-order mark are not; UTF-16 is named.
TEST_P(DetectionTest, FindsTheFormatByEvidence) {
  const THeadCase& c = GetParam();
  const TIrFormats::TDetection found = TIrFormats::ExamineHead(c.Head);
  EXPECT_EQ(found.Format ? found.Format->Name() : std::string(), c.Format);
  EXPECT_EQ(found.Refusal.substr(0, std::string(c.Refusal).size()), c.Refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, DetectionTest,
    ::testing::Values(
        THeadCase{"LircAfterEightComments", Comments8 + LircBody, "lirc", ""},
        THeadCase{"LircAfterManyComments", Comments8 + Comments8 + Comments8 + "\n\n" + LircBody,
                  "lirc", ""},
        THeadCase{"LircAfterInclude", "include \"other.conf\"\n" + LircBody, "lirc", ""},
        THeadCase{"LircWithBom", Bom + LircBody, "lirc", ""},
        THeadCase{"FlipperWithBom", Bom + "Filetype: IR signals file\nVersion: 1\n", "flipper", ""},
        THeadCase{"Mode2AfterComment", "# mode2 of the power key\npulse 9000\nspace 4500\n",
                  "mode2", ""},
        THeadCase{"ProntoAfterComment", "# power\n0000 006D 0001 0000 0157 00AC\n", "pronto", ""},
        THeadCase{"OnlyComments", Comments8, "", ""},
        THeadCase{"Binary", std::string("RIFF\x10\0\0\0WAVEfmt ", 16), "", ""},
        THeadCase{"Utf16LittleBom", "\xFF\xFE" + Utf16(LircBody, true), "", "a UTF-16 text file"},
        THeadCase{"Utf16BigBom", "\xFE\xFF" + Utf16(LircBody, false), "", "a UTF-16 text file"},
        THeadCase{"Utf16NoBom", Utf16("Filetype: IR signals file\n", true), "",
                  "a UTF-16 text file"}),
    [](const auto& Info) { return std::string(Info.param.Label); });

class InputFileTest : public ExchangeFixture {};

// What the reader of a real file says: a lircd.conf behind eight comment lines decodes, a
// UTF-16 file is refused by name, and a FIFO is refused at once instead of waiting for a
// writer that never comes (under a watchdog: a hang fails the test, it does not stall ctest).
TEST_F(InputFileTest, RealFilesAndAFifo) {
  TInputDecoder decoder({}, Library);
  EXPECT_EQ(decoder.Decode(WriteFile("commented.conf", Comments8 + LircBody)).Samples.size(), 1u);
  const std::string utf16 = WriteFile("utf16.ir", "\xFF\xFE" + Utf16(LircBody, true));
  try {
    decoder.Decode(utf16);
    ADD_FAILURE() << "UTF-16 accepted";
  } catch (const TRecordingError& e) {
    EXPECT_EQ(e.FileName, utf16);
    EXPECT_NE(e.Reason.find("UTF-16"), std::string::npos) << e.what();
  }

  const std::string fifo = ::testing::TempDir() + "codes.fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto refused = std::async(std::launch::async, [&] {
    try {
      TInputDecoder(TRecordingDecoder::TOptions{}, Library).Decode(fifo);
    } catch (const TRecordingError& e) {
      return e.Reason;
    }
    return std::string("accepted");
  });
  if (refused.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::fprintf(stderr, "reading a FIFO hangs\n");
    std::_Exit(EXIT_FAILURE);  // the reader cannot be joined
  }
  EXPECT_NE(refused.get().find("not a regular file but a pipe (FIFO)"), std::string::npos);
  std::remove(fifo.c_str());
}
}  // namespace
