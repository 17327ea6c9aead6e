#include <algorithm>
#include <cctype>
#include <sstream>

#include "ExchangeFixture.h"
#include "TDecodeSettings.h"
#include "TInputDecoder.h"
#include "TLineReader.h"
#include "TLircFormat.h"
#include "TestRandom.h"

namespace {
std::string Remote(const std::string& Parameters, const std::string& Codes) {
  return "begin remote\n  name tv\n" + Parameters + "  begin codes\n" + Codes +
         "  end codes\nend remote\n";
}

const std::string NecCodes =
    "    KEY_POWER 0x10EF  # address 4, command 8\n    KEY_VOLUMEUP 0x40BF\n";
const char* const NecPower = "address=4; address_inv=251; command=8; command_inv=247; ";
const char* const NecVolumeUp = "address=4; address_inv=251; command=2; command_inv=253; ";
const std::string Rc6 =
    "  bits 16\n  flags RC6|CONST_LENGTH\n  header 2666 889\n  one 444 444\n  zero 444 444\n"
    "  pre_data_bits 5\n  rc6_mask 0x10000\n  gap 105000\n  frequency 36000\n";

struct TDecodeCase {
  const char* Label;
  std::string Text;
  std::vector<std::pair<std::string, std::string>> Packets;  // protocol, fields
};

class CodeFileDecodeTest : public ExchangeFixture,
                           public ::testing::WithParamInterface<TDecodeCase> {};

// Each file, written to disk and read as the front ends read it, decodes with the shipped
// library to the packets its codes stand for, in order.
TEST_P(CodeFileDecodeTest, DecodesToTheLibrarysProtocols) {
  TInputDecoder decoder({}, Library);
  const TInputDecoder::TResult result =
      decoder.Decode(WriteFile(std::string(GetParam().Label) + ".conf", GetParam().Text));
  EXPECT_TRUE(result.Problems.empty()) << result.Problems.front();
  ASSERT_EQ(result.Samples.size(), GetParam().Packets.size());
  for (size_t i = 0; i < result.Samples.size(); ++i) {
    TSample& sample = *result.Samples[i];
    Engine->Decode(sample);
    EXPECT_EQ(sample.Protocol->ProtocolName, GetParam().Packets[i].first) << i;
    EXPECT_EQ(sample.Protocol->GetDataText(), GetParam().Packets[i].second) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CodeFileDecodeTest,
    ::testing::Values(
        TDecodeCase{"Nec",
                    Remote("  bits 16\n  flags SPACE_ENC|CONST_LENGTH\n  header 9000 4500\n"
                           "  one 560 1690\n  zero 560 560\n  ptrail 560\n  pre_data_bits 16\n"
                           "  pre_data 0x20DF\n  gap 108000\n",
                           NecCodes),
                    {{"NEC", NecPower}, {"NEC", NecVolumeUp}}},
        TDecodeCase{"NecMeasuredReverse",  // off by up to 58 us: a likely match
                    Remote("  bits 16\n  flags SPACE_ENC | REVERSE\n  eps 30\n  aeps 100\n"
                           "  header 9080 4420\n  one 620 1630\n  zero 620 510\n  ptrail 620\n"
                           "  repeat 9080 2200\n  pre_data_bits 16\n  pre_data 0xFB04\n"
                           "  gap 40000 44000\n  min_repeat 1\n  duty_cycle 33\n",
                           "    KEY_POWER 0xF708\n    KEY_VOLUMEUP 0xFD02\n"),
                    {{"NEC", NecPower}, {"NEC", NecVolumeUp}}},
        TDecodeCase{"Rc5",
                    Remote("  bits 13\n  flags RC5|CONST_LENGTH\n  one 889 889\n  zero 889 889\n"
                           "  plead 889\n  gap 113792\n  toggle_bit_mask 0x800\n",
                           "    KEY_POWER 0x100C\n    KEY_VOLUMEUP 0x1950\n    KEY_9 0x0149\n"),
                    {{"RC5", "field=1; toggle=0; address=0; command=12; "},
                     {"RC5", "field=1; toggle=1; address=5; command=16; "},
                     {"RC5", "field=0; toggle=0; address=5; command=9; "}}},
        // LIRC's RC6 codes hold every bit inverted (it sends a 1 as space-mark); the second
        // remote's pre_data has the toggle set.
        TDecodeCase{"Rc6TwoRemotes",
                    Remote(Rc6 + "  pre_data 0x0F\n", "    KEY_POWER 0xFFF3\n") +
                        Remote(Rc6 + "  pre_data 0x0E\n", "    KEY_OK 0xFB5A\n"),
                    {{"RC6-0-16 T0", "address=0; command=12; "},
                     {"RC6-0-16 T1", "address=4; command=165; "}}},
        TDecodeCase{"Mce",  // mode 6: the trailer bit is the fifth of 37
                    Remote("  bits 16\n  flags RC6|CONST_LENGTH\n  header 2666 889\n"
                           "  one 444 444\n  zero 444 444\n  pre_data_bits 21\n"
                           "  pre_data 0x37FF0\n  rc6_mask 0x100000000\n  gap 105000\n",
                           "    KEY_POWER 0xFBF3\n"),
                    {{"MCE", "oem1=128; oem2=15; toggle=0; address=4; command=12; "}}},
        TDecodeCase{"SonySequence",  // a sequence of codes: a frame each
                    Remote("  bits 12\n  flags SPACE_ENC|CONST_LENGTH\n  header 2400 600\n"
                           "  one 1200 600\n  zero 600 600\n  gap 45000\n",
                           "    KEY_POWER 0xA90\n    KEY_TWICE 0x290 0x290\n"),
                    {{"Sony12", "command=21; address=1; "},
                     {"Sony12", "command=20; address=1; "},
                     {"Sony12", "command=20; address=1; "}}},
        TDecodeCase{"ProntoCompact",
                    "Power: 5000 0073 0000 0002 0000 000C\n5000 0073 0000 0002 0005 004C\n"
                    "6000 0073 0000 0002 0004 00A5\n",
                    {{"RC5", "field=1; toggle=0; address=0; command=12; "},
                     {"RC5", "field=0; toggle=0; address=5; command=12; "},
                     {"RC6-0-16 T0", "address=4; command=165; "}}}),
    [](const ::testing::TestParamInfo<TDecodeCase>& Info) { return Info.param.Label; });

// CONST_LENGTH: the silence fills the frame period; a frame's last space is not sent (LIRC
// sends the gap in its place).
TEST(LircRemoteTest, ConstantLengthSilenceFillsThePeriod) {
  std::istringstream in(
      Remote("  bits 12\n  flags CONST_LENGTH\n  header 2400 600\n"
             "  one 1200 600\n  zero 600 600\n  gap 45000\n",
             "    KEY_POWER 0xA90\n"));
  TLineReader lines(in, "sony.conf");
  const TIrCodeFile file = TLircFormat().Read(lines, TDecodeSettings());
  ASSERT_EQ(file.Codes.size(), 1u);
  const TIrCode& code = file.Codes[0];
  EXPECT_EQ(code.Name, "KEY_POWER");
  EXPECT_EQ(code.Line, 10u);
  ASSERT_EQ(code.Durations.size(), 25u);
  EXPECT_EQ(code.Durations[0], 2400u);
  EXPECT_EQ(code.Durations[2], 1200u);
  EXPECT_EQ(code.Durations[24], 600u);
  EXPECT_EQ(code.GapMicros, 45000u - 19200u);  // the frame lasts 19.8 ms, its last space 0.6
}

// Any number in any parameter or code, up to 64 bits and beyond, gives codes that start and end
// with a mark, hold no empty run and fit TIrCode, or a problem naming the file.
TEST(LircRemoteTest, AnyNumbersDrawSoundFramesOrProblems) {
  const std::string base = Remote(Rc6 + "  pre_data 0x10\n  post_data_bits 8\n  post_data 1\n",
                                  "    KEY_1 0x000C 0x1\n") +
                           Remote(
                               "  bits 16\n  flags CONST_LENGTH\n  header 9000 4500\n  plead 5\n"
                               "  one 560 1690\n  zero 560 560\n  foot 9 9\n  gap 108000\n",
                               "    KEY_2 0x10EF\n");
  std::vector<size_t> numbers;  // where the numbers start
  for (size_t i = 0; i < base.size(); ++i)
    if (std::isdigit(static_cast<unsigned char>(base[i])) && base[i - 1] == ' ')
      numbers.push_back(i);
  const char* const values[] = {"0",
                                "1",
                                "63",
                                "64",
                                "65",
                                "4294967295",
                                "4294967296",
                                "0xFFFFFFFFFFFFFFFF",
                                "18446744073709551616",
                                "0x"};
  TTestRandom random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string text = base;
    std::vector<size_t> picked;
    for (int n = random.Int(1, 3); n > 0; --n)
      picked.push_back(numbers[random.Bits(16) % numbers.size()]);
    std::sort(picked.rbegin(), picked.rend());  // from the end: earlier places stay put
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
    for (const size_t at : picked)
      text.replace(at, text.find_first_of(" \n", at) - at, values[random.Int(0, 9)]);
    std::istringstream in(text);
    TLineReader lines(in, "any.conf");
    const TIrCodeFile file = TLircFormat().Read(lines, TDecodeSettings());
    for (const std::string& problem : file.Problems) EXPECT_EQ(problem.rfind("any.conf:", 0), 0u);
    for (const TIrCode& code : file.Codes) {
      ASSERT_EQ(code.Durations.size() % 2, 1u) << text;
      ASSERT_LE(code.Durations.size(), TIrCode::MaxDurations);
      EXPECT_EQ(std::count(code.Durations.begin(), code.Durations.end(), 0u), 0) << text;
      EXPECT_GT(code.GapMicros, 0u);
    }
  }
}
// Lines of every length around the reader's blocks come back whole, with their breaks ("\r\n"
// too) removed, and a line only just over the limit (its '\r' counted) comes back empty and
// overlong.
TEST(LineReader, LinesOfAnyLengthComeBackWhole) {
  const size_t most = TLineReader::MaxLineLength;
  for (const size_t length : {size_t{0}, size_t{1}, size_t{255}, size_t{256}, size_t{257},
                              size_t{513}, most - 1, most, most + 1}) {
    for (const char* const end : {"\n", "\r\n", ""}) {
      SCOPED_TRACE(std::to_string(length) + (*end ? " with a break" : " at the end"));
      std::string line(length, 'x');
      for (size_t i = 0; i < length; i += 97) line[i] = static_cast<char>('a' + i % 26);
      std::istringstream in(line + end + (*end ? "next" : ""));
      TLineReader lines(in, "any.txt");
      std::string read;
      ASSERT_EQ(lines.Next(read), length > 0 || *end);
      if (length == 0 && !*end) continue;
      const bool overlong = length + (std::string(end) == "\r\n") > most;  // '\r' is read too
      EXPECT_EQ(lines.Overlong(), overlong);
      EXPECT_TRUE(read == (overlong ? "" : line));  // no million characters in a message
      EXPECT_EQ(lines.Next(read), *end != 0);
      if (*end) {
        EXPECT_EQ(read, "next");
      }
    }
  }
}
}  // namespace
