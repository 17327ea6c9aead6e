#include <filesystem>
#include <fstream>
#include <sstream>

#include "ExchangeFixture.h"
#include "TCodeExport.h"
#include "TFrameRenderer.h"
#include "TInputDecoder.h"
#include "TIrFormats.h"
#include "TRecordingError.h"
#include "TestRandom.h"

namespace {
class InputDecoderTest : public ExchangeFixture {
 protected:
  static TInputDecoder::TResult Import(const std::string& Path,
                                       TRecordingDecoder::TOptions Options = {}) {
    TInputDecoder decoder(Options, Library);
    TInputDecoder::TResult result = decoder.Decode(Path);
    for (auto& sample : result.Samples) Engine->Decode(*sample);
    return result;
  }
  static std::string Export(const char* Format, const TInputDecoder::TResult& Result) {
    TCodeExport exporter(*TIrFormats::Find(Format), Library);
    for (const auto& sample : Result.Samples) exporter.Add(*sample, sample->Name);
    std::ostringstream out;
    exporter.Write(out);
    return out.str();
  }
};

struct TParsedCase {
  const char* Protocol;
  unsigned AddressBits, CommandBits;
};

// Every Flipper protocol: parsed signal -> import -> decode -> export gives the same protocol,
// address and command.
TEST_F(InputDecoderTest, FlipperParsedSignalsComeBackTheSame) {
  const TParsedCase cases[] = {{"NEC", 8, 8},        {"NECext", 16, 16},  {"NEC42", 13, 8},
                               {"NEC42ext", 26, 16}, {"Samsung32", 8, 8}, {"RC5", 5, 6},
                               {"RC5X", 5, 6},       {"RC6", 8, 8},       {"SIRC", 5, 7},
                               {"SIRC15", 8, 7},     {"SIRC20", 13, 7},   {"Kaseikyo", 26, 10},
                               {"RCA", 4, 8},        {"Pioneer", 8, 8}};
  TTestRandom random(7);
  std::string text = "Filetype: IR signals file\nVersion: 1\n";
  std::vector<std::string> expected;
  for (const TParsedCase& c : cases) {
    for (int round = 0; round < 3; ++round) {
      const uint32_t address = random.Bits(static_cast<int>(c.AddressBits));
      const uint32_t command = random.Bits(static_cast<int>(c.CommandBits));
      char block[200];
      std::snprintf(block, sizeof block,
                    "#\nname: %s_%d\ntype: parsed\nprotocol: %s\naddress: %02X %02X %02X %02X\n"
                    "command: %02X %02X 00 00\n",
                    c.Protocol, round, c.Protocol, address & 0xFF, address >> 8 & 0xFF,
                    address >> 16 & 0xFF, address >> 24, command & 0xFF, command >> 8);
      text += block;
      expected.push_back(std::string(block).substr(2));
    }
  }
  const TInputDecoder::TResult result = Import(WriteFile("parsed.ir", text));
  EXPECT_TRUE(result.Problems.empty());
  ASSERT_EQ(result.Samples.size(), expected.size());
  EXPECT_EQ(result.Samples[3]->Name, "NECext_0");
  EXPECT_EQ(result.Samples[3]->Source, ::testing::TempDir() + "parsed.ir");
  const std::string written = Export("flipper", result);
  for (const std::string& block : expected)
    EXPECT_NE(written.find(block), std::string::npos) << block << "\nnot in\n" << written;
}

// A Pronto code written out by hand, as forums publish them: NEC address 4, command 8, with
// one repeat frame.
// A code file is cut with the ending silence asked for: a Pace MSS frame, whose bit spaces are
// 4.4 and 6.9 ms long, arrives whole from a mode2 file only with a longer one.
TEST_F(InputDecoderTest, CodeFilesHonourTheEndingSilence) {
  const TDefinition* pace = Library->Find("Pace MSS");
  ASSERT_NE(pace, nullptr);
  std::string mode2;
  bool pulse = true;
  for (double us : TFrameRenderer::Render(*pace, {1, 1, 0x5A})) {
    mode2 += std::string(pulse ? "pulse " : "space ") + std::to_string(std::lround(us)) + "\n";
    pulse = !pulse;
  }
  const std::string path = WriteFile("pace.mode2", mode2);
  for (const double millis : {5.0, 10.0}) {
    SCOPED_TRACE(millis);
    TRecordingDecoder::TOptions options;
    options.EndSilenceMillis = millis;
    const TInputDecoder::TResult result = Import(path, options);
    ASSERT_FALSE(result.Samples.empty());
    const bool whole = millis > 7;
    EXPECT_EQ(result.Samples.size() == 1, whole);
    EXPECT_EQ(result.Samples[0]->Protocol->ProtocolName, whole ? "Pace MSS" : "unknown");
    if (whole) {
      EXPECT_EQ(result.Samples[0]->Protocol->GetDataText(), "toggle=1; address=1; command=90; ");
    }
  }
}

TEST_F(InputDecoderTest, PublishedProntoCodeDecodes) {
  const std::string code =
      "0000 006D 0022 0002 0157 00AC 0015 0016 0015 0016 0015 0040 0015 0016 0015 0016 "
      "0015 0016 0015 0016 0015 0016 0015 0040 0015 0040 0015 0016 0015 0040 0015 0040 "
      "0015 0040 0015 0040 0015 0040 0015 0016 0015 0016 0015 0016 0015 0040 0015 0016 "
      "0015 0016 0015 0016 0015 0016 0015 0040 0015 0040 0015 0040 0015 0016 0015 0040 "
      "0015 0040 0015 0040 0015 0040 0015 05F7 0157 0056 0015 0E6C\n";
  const TInputDecoder::TResult result = Import(WriteFile("tv.txt", code));
  ASSERT_EQ(result.Samples.size(), 2u);
  EXPECT_EQ(result.Samples[0]->Protocol->GetDataText(),
            "address=4; address_inv=251; command=8; command_inv=247; ");
  EXPECT_EQ(result.Samples[1]->Protocol->ProtocolName, "NEC repeat");
}

// Raw signals exported as Pronto, LIRC, mode2 or Flipper and read back decode the same; a raw
// signal of two frames gives two packets with its name.
TEST_F(InputDecoderTest, RawSignalsSurviveEveryFormat) {
  const TDefinition& sony = *Library->Find("Sony12");
  const TDefinition& jvc = *Library->Find("JVC");  // no Flipper protocol: raw
  std::string data;
  for (const auto& frame :
       {TFrameRenderer::Render(sony, {21, 1}), TFrameRenderer::Render(jvc, {0x80, 0x0C})}) {
    for (size_t i = 0; i + 1 < frame.size(); ++i)
      data += " " + std::to_string(std::lround(frame[i] + (i % 2 ? 20 : -20)));
    data += " 30000";
  }
  data.erase(data.rfind(' '));
  const std::string path = WriteFile("raw.ir",
                                     "Filetype: IR signals file\nVersion: 1\n#\n"
                                     "name: Two\ntype: raw\nfrequency: 38000\n"
                                     "duty_cycle: 0.33\ndata:" +
                                         data + "\n");
  const TInputDecoder::TResult original = Import(path);
  ASSERT_EQ(original.Samples.size(), 2u);
  EXPECT_EQ(original.Samples[1]->Name, "Two");
  EXPECT_EQ(original.Samples[1]->Protocol->ProtocolName, "JVC");
  for (const char* format : {"pronto", "lirc", "mode2", "flipper"}) {
    const TInputDecoder::TResult back =
        Import(WriteFile(std::string("back.") + format, Export(format, original)));
    ASSERT_EQ(back.Samples.size(), 2u) << format;
    EXPECT_STREQ(back.Format->Name(), format);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(back.Samples[i]->Protocol->ProtocolName,
                original.Samples[i]->Protocol->ProtocolName)
          << format;
      EXPECT_EQ(back.Samples[i]->Protocol->GetDataText(),
                original.Samples[i]->Protocol->GetDataText())
          << format;
    }
  }
}

// The content decides, not the name; what is neither a recording nor a code file, or holds no
// code that can be read, is refused with the file's name and the reason.
TEST_F(InputDecoderTest, ContentDecidesAndBadFilesAreRefused) {
  const std::string ir =
      "Filetype: IR signals file\nVersion: 1\n#\nname: P\ntype: parsed\n"
      "protocol: SIRC\naddress: 01 00 00 00\ncommand: 15 00 00 00\n";
  EXPECT_EQ(Import(WriteFile("codes.wav", ir)).Samples.size(), 1u);
  const auto refused = [](const std::string& Path, const std::string& Reason) {
    try {
      Import(Path);
      ADD_FAILURE() << Path << " was accepted";
    } catch (const TRecordingError& e) {
      EXPECT_EQ(e.FileName, Path);
      EXPECT_NE(e.Reason.find(Reason), std::string::npos) << e.what();
    }
  };
  refused(WriteFile("notes.txt", "shopping list\nmilk\n"), "neither an audio recording nor");
  refused(WriteFile("bad.ir",
                    "Filetype: IR signals file\nVersion: 1\nname: X\ntype: parsed\n"
                    "protocol: Teletext\naddress: 01\ncommand: 02\n"),
          "no code can be read:\n" + ::testing::TempDir() +
              "bad.ir:3: signal \"X\": unknown parsed protocol \"Teletext\"");
  refused(::testing::TempDir() + "missing.ir", "");
  std::filesystem::create_directories(::testing::TempDir() + "folder.ir");
  refused(::testing::TempDir() + "folder.ir", "not a regular file but a folder");
}
}  // namespace

// A line of many megabytes or a signal of many minutes costs that signal, not the file.
TEST_F(InputDecoderTest, OverlongLinesAndSignalsAreLeftOut) {
  const std::string text =
      "Filetype: IR signals file\nVersion: 1\nname: Long line\ntype: raw\ndata:" +
      std::string(3 << 20, '5') +
      "\nname: Hours\ntype: raw\ndata: 900 4000000000 900\n"
      "name: Kept\ntype: parsed\nprotocol: RC6\naddress: 01\ncommand: 02\n";
  const TInputDecoder::TResult result = Import(WriteFile("long.ir", text));
  ASSERT_EQ(result.Samples.size(), 1u);
  EXPECT_EQ(result.Samples[0]->Name, "Kept");
  ASSERT_EQ(result.Problems.size(), 2u);
  EXPECT_NE(result.Problems[0].find("long.ir:5: signal \"Long line\": line longer than"),
            std::string::npos);
  EXPECT_NE(result.Problems[1].find("long.ir:6: signal \"Hours\": longer than 60 seconds"),
            std::string::npos);
}
