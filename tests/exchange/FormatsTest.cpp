#include <gtest/gtest.h>

#include <sstream>

#include "TDecodeSettings.h"
#include "TIrFormats.h"
#include "TLineReader.h"

namespace {
const std::string FlipperHeader = "Filetype: IR signals file\nVersion: 1\n";
const std::string GoodRaw =
    "name: Good\ntype: raw\nfrequency: 38000\nduty_cycle: 0.33\ndata: 900 450 560\n";

// A remote of lircd.conf codes (NEC, 16 bits after 16 of pre_data) with Extra parameters from
// line 11 on, then its KEY_POWER and Codes.
std::string NecRemote(const std::string& Extra, const std::string& Codes = "") {
  return "begin remote\n name tv\n bits 16\n header 9000 4500\n one 560 1690\n zero 560 560\n"
         " ptrail 560\n pre_data_bits 16\n pre_data 0x20DF\n gap 108000\n" +
         Extra + " begin codes\n KEY_POWER 0x10EF\n" + Codes + " end codes\nend remote\n";
}

TIrCodeFile Read(const std::string& Format, const std::string& Text) {
  std::istringstream in(Text);
  TLineReader lines(in, "codes.txt");
  return TIrFormats::Find(Format)->Read(lines, TDecodeSettings());
}

struct TBadCase {
  const char* Label;
  const char* Format;
  std::string Text;
  size_t CodesKept;
  const char* Problem;  // the start of the only problem: "file:line: reason"
};

class BadInputTest : public ::testing::TestWithParam<TBadCase> {};

// A bad signal is named with its line and the reason; the good ones around it are kept.
TEST_P(BadInputTest, NamesLineAndReasonAndKeepsTheRest) {
  const TBadCase& c = GetParam();
  const TIrCodeFile file = Read(c.Format, c.Text);
  EXPECT_EQ(file.Codes.size(), c.CodesKept);
  ASSERT_EQ(file.Problems.size(), 1u);
  EXPECT_EQ(file.Problems[0].substr(0, std::string(c.Problem).size()), c.Problem);
}

const std::string LongLine(TLineReader::MaxLineLength + 10, '7');

INSTANTIATE_TEST_SUITE_P(
    Codes, BadInputTest,
    ::testing::Values(
        TBadCase{"FlipperZero", "flipper",
                 FlipperHeader + GoodRaw + "name: Z\ntype: raw\ndata: 900 0 560\n" + GoodRaw, 2,
                 "codes.txt:8: signal \"Z\": duration 0 is out of range"},
        TBadCase{"FlipperNegative", "flipper",
                 FlipperHeader + "name: N\ntype: raw\ndata: 900 -450 560\n" + GoodRaw, 1,
                 "codes.txt:3: signal \"N\": duration -450"},
        TBadCase{"FlipperText", "flipper", FlipperHeader + "name: T\ntype: raw\ndata: 900 x 5\n", 0,
                 "codes.txt:3: signal \"T\": \"x\" is not a duration"},
        TBadCase{"FlipperAddress", "flipper",
                 FlipperHeader + GoodRaw +
                     "name: A\ntype: parsed\nprotocol: NEC\naddress: 0G\ncommand: 01\n",
                 1, "codes.txt:8: signal \"A\": address \"0G\" is not 1 to 4 hex bytes"},
        TBadCase{"FlipperType", "flipper", FlipperHeader + "name: Q\ntype: learned\n" + GoodRaw, 1,
                 "codes.txt:3: signal \"Q\": type \"learned\""},
        TBadCase{"FlipperLongLine", "flipper",
                 FlipperHeader + GoodRaw + "name: L\ndata: " + LongLine, 1,
                 "codes.txt:9: signal \"L\": line longer than 1048576"},
        TBadCase{"FlipperTooMany", "flipper",
                 FlipperHeader + "name: M\ntype: raw\ndata:" +
                     [] {
                       std::string many;
                       for (int i = 0; i < 65536; ++i) many += " 500";
                       return many;
                     }() +
                     "\n" + GoodRaw,
                 1, "codes.txt:3: signal \"M\": more than 65535 durations"},
        TBadCase{"NotFlipper", "flipper", "Filetype: something else\n", 0,
                 "codes.txt:1: not a Flipper IR file"},
        TBadCase{"ProntoHex", "pronto",
                 "0000 006D 0001 0000 0157 00G1\n0000 006D 0001 0000 0157 00AC\n", 1,
                 "codes.txt:1: word 6 \"00G1\" is not four hexadecimal digits"},
        TBadCase{"ProntoCount", "pronto", "# remote\n0000 006D 0002 0000 0157 00AC\n", 0,
                 "codes.txt:2: the counts announce 8 words, the line has 6"},
        TBadCase{"ProntoNec", "pronto", "900A 006D 0000 0001 0004 0008\n", 0,
                 "codes.txt:1: only learned codes (0000) and the RC5 and RC6 forms (5000, 6000) "
                 "are read, not 900A"},
        TBadCase{"ProntoRc5x", "pronto", "5001 0073 0000 0003 0005 0010 0001\n", 0,
                 "codes.txt:1: only learned codes (0000) and the RC5"},
        TBadCase{"ProntoRc5System", "pronto",
                 "5000 0073 0000 0002 0020 0001\n5000 0073 0000 0002 0000 000C\n", 1,
                 "codes.txt:1: system 32 or command 1 is out of range for 5000 (RC5)"},
        TBadCase{"ProntoRc6Words", "pronto", "6000 0073 0000 0001 0004 0008\n", 0,
                 "codes.txt:1: a 6000 (RC6) code is \"6000 FREQ 0000 0002 SYSTEM COMMAND\""},
        TBadCase{"ProntoZero", "pronto", "0000 006D 0001 0000 0000 00AC\n", 0,
                 "codes.txt:1: word 5 is a duration of 0"},
        TBadCase{"ProntoLongLine", "pronto", LongLine + "\n0000 006D 0001 0000 0157 00AC\n", 1,
                 "codes.txt:1: line longer than"},
        TBadCase{"LircDuration", "lirc",
                 "begin remote\n name r\n flags RAW_CODES\n begin raw_codes\n name A\n 900 0 560\n"
                 " name B\n 900 450 560\n end raw_codes\nend remote\n",
                 1, "codes.txt:6: code \"A\": duration 0"},
        TBadCase{"LircCodeNumber", "lirc", NecRemote("", " KEY_1 0x1G\n"), 1,
                 "codes.txt:13: code \"KEY_1\": \"0x1G\" is not a number"},
        TBadCase{"LircCodeWide", "lirc", NecRemote("", " KEY_1 0x10000\n"), 1,
                 "codes.txt:13: code \"KEY_1\": 0x10000 is wider than the remote's 16 bits"},
        TBadCase{"LircCodeHuge", "lirc", NecRemote("", " KEY_1 0x1FFFFFFFFFFFFFFFF\n"), 1,
                 "codes.txt:13: code \"KEY_1\": \"0x1FFFFFFFFFFFFFFFF\" is not a number"},
        TBadCase{"LircTooManyDurations", "lirc",
                 NecRemote(
                     " post_data_bits 64\n", " KEY_MANY" +
                                                 [] {
                                                   std::string many;
                                                   for (int i = 0; i < 700; ++i) many += " 0xFFFF";
                                                   return many;
                                                 }() +
                                                 "\n"),
                 1, "codes.txt:14: code \"KEY_MANY\": more than 65535 durations"},
        TBadCase{"LircRunOverflow", "lirc", NecRemote(" plead 4294967295\n foot 4294967295 1\n"), 0,
                 "codes.txt:14: code \"KEY_POWER\": a run of 4294967855 us"},
        TBadCase{"LircNoCodes", "lirc",
                 "begin remote\n name empty\n bits 8\nend remote\n" + NecRemote(""), 1,
                 "codes.txt:1: remote \"empty\" has neither codes nor raw codes"},
        TBadCase{"LircFlag", "lirc", NecRemote(" flags SPACE_ENC|XMP\n") + NecRemote(""), 1,
                 "codes.txt:11: remote \"tv\": flag XMP is not read"},
        TBadCase{"LircBitsZero", "lirc", NecRemote(" bits 0\n"), 0,
                 "codes.txt:11: remote \"tv\": \"bits\" 0 is out of range (1 to 64); its codes"},
        TBadCase{"LircBitsHuge", "lirc", NecRemote(" bits 18446744073709551615\n"), 0,
                 "codes.txt:11: remote \"tv\": \"bits\" 18446744073709551615 is out of range"},
        TBadCase{"LircGap", "lirc", NecRemote(" gap 0x100000000\n"), 0,
                 "codes.txt:11: remote \"tv\": \"gap\": 4294967296 us is out of range"},
        TBadCase{"LircNoTimings", "lirc",
                 "begin remote\n name tv\n bits 16\n begin codes\n KEY_1 0x1\n end codes\nend "
                 "remote\n",
                 0, "codes.txt:4: remote \"tv\": no \"one\" and \"zero\" timings"},
        TBadCase{"LircUnclosed", "lirc",
                 "begin remote\n flags RAW_CODES\n begin raw_codes\n name A\n 900 450 560\n", 1,
                 "codes.txt:5: the file ends inside a block"},
        TBadCase{"Mode2Text", "mode2", "pulse 900\nspace 450\npulse abc\nspace 90000\npulse 560\n",
                 1, "codes.txt:3: \"pulse abc\" is not \"pulse MICROSECONDS\""},
        TBadCase{"Mode2Zero", "mode2", "pulse 900\nspace 0\npulse 560\ntimeout 90000\npulse 560\n",
                 1, "codes.txt:2: duration 0 is out of range"},
        TBadCase{"IrCtlTwoSigns", "mode2", "+900 -450 +560 -90000\n+900 +-450\n", 1,
                 "codes.txt:2: \"+-450\" is neither a pulse/space line nor a signed duration"},
        TBadCase{"PulseTwoSigns", "mode2", "pulse 900\nspace 90000\npulse --560\n", 1,
                 "codes.txt:3: \"pulse --560\" is not \"pulse MICROSECONDS\""},
        TBadCase{"IrCtlWord", "mode2", "+900 -450 +560 -90000\n+900 -450 x\n", 1,
                 "codes.txt:2: \"x\" is neither a pulse/space line nor a signed duration"}),
    [](const ::testing::TestParamInfo<TBadCase>& Info) { return Info.param.Label; });

// What each format writes, it reads back: names, durations and the carrier where it has them.
TEST(FormatsTest, WriteThenReadGivesTheCodesBack) {
  TIrCode code;
  code.Name = "KEY_POWER";
  code.CarrierHz = 36000;
  code.Durations = {2666, 889, 444, 444, 444, 889, 889, 444};
  code.Durations.push_back(444);
  code.GapMicros = 80000;
  for (const TIrFormat* format : TIrFormats::All()) {
    std::ostringstream out;
    format->Write(out, {code, code});
    std::istringstream in(out.str());
    std::vector<std::string> head;
    for (std::string line; head.size() < 8 && std::getline(in, line);)
      if (!line.empty()) head.push_back(line);
    EXPECT_TRUE(format->Recognizes(head)) << format->Name();
    const TIrCodeFile file = Read(format->Name(), out.str());
    ASSERT_EQ(file.Codes.size(), 2u) << format->Name();
    EXPECT_TRUE(file.Problems.empty()) << format->Name() << ": " << file.Problems[0];
    const std::string name = format->Name();
    if (name == "flipper" || name == "lirc" || name == "pronto") {
      EXPECT_EQ(file.Codes[1].Name, code.Name) << name;
    }
    if (name == "flipper" || name == "pronto") {
      EXPECT_NEAR(file.Codes[0].CarrierHz, code.CarrierHz, 300) << name;
    }
    ASSERT_EQ(file.Codes[0].Durations.size(), code.Durations.size()) << name;
    for (size_t i = 0; i < code.Durations.size(); ++i)
      EXPECT_NEAR(file.Codes[0].Durations[i], code.Durations[i], 15) << name << " " << i;
  }
}

// A Pronto line's name ends at its colon: names that would not read back as written are made
// readable, never lost as a comment or mistaken for the code.
TEST(FormatsTest, ProntoWritesNamesItsReaderTakes) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"Power", "Power"}, {"Vol: up", "Vol  up"},
      {"#1", "_#1"},      {"a\nb", "a b"},
      {" : ", ""},        {"", ""}};
  const TIrFormat& pronto = *TIrFormats::Find("pronto");
  for (const auto& [name, read] : names) {
    TIrCode code;
    code.Name = name;
    code.Durations = {900, 450, 560};
    std::ostringstream out;
    pronto.Write(out, {code});
    const TIrCodeFile file = Read("pronto", out.str());
    ASSERT_EQ(file.Codes.size(), 1u) << name << ": " << out.str();
    EXPECT_EQ(file.Codes[0].Name, read) << out.str();
    EXPECT_EQ(out.str().rfind(read.empty() ? "0000 " : read + ": 0000 ", 0), 0u) << out.str();
  }
}
}  // namespace

// A parameter this program does not know, even one with a word for a value (irrecord writes
// "driver devinput"), is skipped with a note naming its line; the remote's codes are kept.
TEST(FormatsTest, UnknownLircParametersAreNotedAndSkipped) {
  const TIrCodeFile file = Read("lirc", NecRemote(" driver devinput\n serial_mode 8N1\n"));
  EXPECT_EQ(file.Codes.size(), 1u);
  EXPECT_TRUE(file.Problems.empty());
  EXPECT_EQ(file.Notes, (std::vector<std::string>{
                            "codes.txt:11: remote \"tv\": parameter \"driver\" skipped",
                            "codes.txt:12: remote \"tv\": parameter \"serial_mode\" skipped"}));
}

struct TSplitCase {
  const char* Label;
  double EndSilenceMillis;
  size_t Codes, Problems;
};

class Mode2SplitTest : public ::testing::TestWithParam<TSplitCase> {};

// mode2 is cut into signals where a recording is cut into packets: at the ending silence. Frames
// 30 ms apart are many signals by default, and one too long for a code with 40 ms.
TEST_P(Mode2SplitTest, SignalsEndAtTheEndingSilence) {
  std::string text;
  constexpr size_t Frames = 22000;  // 3 durations each: 66,000 in all
  for (size_t i = 0; i < Frames; ++i) text += "pulse 500\nspace 500\npulse 500\nspace 30000\n";
  std::istringstream in(text);
  TLineReader lines(in, "frames.mode2");
  TDecodeSettings settings;
  settings.EndSilenceMillis = GetParam().EndSilenceMillis;
  const TIrCodeFile file = TIrFormats::Find("mode2")->Read(lines, settings);
  EXPECT_EQ(file.Codes.size(), GetParam().Codes);
  EXPECT_EQ(file.Problems.size(), GetParam().Problems);
}

INSTANTIATE_TEST_SUITE_P(Silences, Mode2SplitTest,
                         ::testing::Values(TSplitCase{"Default", 5, 22000, 0},
                                           TSplitCase{"Long", 40, 0, 1}),
                         [](const auto& Info) { return std::string(Info.param.Label); });

struct TBoundCase {
  const char* Label;
  const char* Format;
  std::string Text;
};

class FileBoundTest : public ::testing::TestWithParam<TBoundCase> {};

// However many codes a file lists, what is read stays within the bound; the rest is left out
// with one problem at the first code that would pass it.
TEST_P(FileBoundTest, ReadingStopsAtTheBound) {
  const TIrCodeFile file = Read(GetParam().Format, GetParam().Text);
  size_t durations = 0;
  for (const TIrCode& code : file.Codes)
    durations += code.Parsed() ? TIrCodeFile::ParsedDurations : code.Durations.size();
  EXPECT_LE(durations, TIrCodeFile::MinDurations);
  EXPECT_GT(durations, TIrCodeFile::MinDurations * 9 / 10);
  ASSERT_EQ(file.Problems.size(), 1u);
  EXPECT_NE(file.Problems[0].find("the file holds more than 1000000 durations"), std::string::npos)
      << file.Problems[0];
}

std::string Repeated(const std::string& Text, size_t Count) {
  std::string out;
  for (size_t i = 0; i < Count; ++i) out += Text;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileBoundTest,
    ::testing::Values(
        // Lines of 900 codes: 60,000 durations each.
        TBoundCase{"LircSequences", "lirc",
                   NecRemote("", Repeated(" KEY_MANY" + Repeated(" 0x10EF", 900) + "\n", 20))},
        TBoundCase{"FlipperParsed", "flipper",
                   FlipperHeader +
                       Repeated("name: P\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\n"
                                "command: 08 00 00 00\n",
                                TIrCodeFile::MinDurations / TIrCodeFile::ParsedDurations + 5)}),
    [](const auto& Info) { return std::string(Info.param.Label); });

// A file that lists its durations one by one costs memory in proportion to its size: a long
// capture is read whole, past the bound of a short file.
TEST(FileBound, ALongCaptureIsReadWhole) {
  const size_t codes = TIrCodeFile::MinDurations / 27 + 2000;  // 27 durations a code
  const TIrCodeFile file =
      Read("mode2", Repeated(Repeated("+500 -500 ", 13) + "+500 -9000\n", codes));
  EXPECT_TRUE(file.Problems.empty()) << file.Problems[0];
  EXPECT_EQ(file.Codes.size(), codes);
}
