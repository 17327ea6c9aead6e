#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <sstream>

#include "TDecodeCommand.h"
#include "TIrSynth.h"
#include "TestFiles.h"
#include "U_protocolRecognition.h"
#include "WeakReceiver.h"

using namespace testfiles;

namespace {
using Lines = std::vector<std::string>;

// NEC, and a protocol whose spaces (6 ms) are longer than the default ending silence.
const char* const Protocols = R"(<?xml version="1.0"?>
<protocols>
  <protocol name="NEC">
    <bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>
    <packet>
      <delimiter name="lead-in">#9000_4500</delimiter>
      <data name="address" length="16" bitorder="LSB"/>
      <data name="command" length="16" bitorder="LSB"/>
      <delimiter name="stop">#560</delimiter>
    </packet>
  </protocol>
  <protocol name="Slow">
    <bitset><bit value="1">#500_6000</bit><bit value="0">#500_3000</bit></bitset>
    <packet>
      <data name="command" length="4" bitorder="MSB"/>
      <delimiter name="stop">#500</delimiter>
    </packet>
  </protocol>
</protocols>
)";

// The protocol of every packet the command finds in Input, with Options.
Lines Decoded(const TempDir& Dir, const std::string& Input, Lines Options) {
  Lines args = {"vorlent-decode", "--protocols", Dir / "protocols.xml", "--format", "json"};
  args.insert(args.end(), Options.begin(), Options.end());
  args.push_back(Dir / Input);
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  EXPECT_EQ(TDecodeCommand(out, err, false).Run(static_cast<int>(argv.size()), argv.data()), 0)
      << err.str();
  Lines names;
  const nlohmann::json doc = nlohmann::json::parse(out.str());
  for (const auto& packet : doc["packets"]) names.push_back(packet["protocol"].get<std::string>());
  return names;
}

std::pair<int, std::string> Refusal(const Lines& Options) {
  std::vector<const char*> argv = {"vorlent-decode"};
  for (const auto& o : Options) argv.push_back(o.c_str());
  argv.push_back("x.wav");
  std::ostringstream out, err;
  int status = TDecodeCommand(out, err, false).Run(static_cast<int>(argv.size()), argv.data());
  return {status, err.str().substr(0, err.str().find('\n'))};
}
}  // namespace

TEST(DecodeSettingsOptions, ValuesOutOfRangeAreRefusedByName) {
  const std::pair<Lines, std::string> cases[] = {
      {{"--tolerance", "0"}, "--tolerance: tolerance 0 µs is not within 1..1000 µs"},
      {{"--level", "loud"}, "--level: \"loud\" is neither a whole number nor auto"},
      {{"--level=100"}, "--level: trigger level 100 is not within 130..255"},
      {{"--end-silence", "200"}, "--end-silence: ending silence 200 ms is not within 1..100 ms"},
      {{"--second-pass", "1"}, "--second-pass: \"1\" is neither on nor off"},
  };
  for (const auto& [options, text] : cases)
    EXPECT_EQ(Refusal(options), std::make_pair(2, "vorlent-decode: " + text)) << options[0];
}

TEST(DecodeSettingsOptions, TheEngineGetsToleranceAndSecondPass) {
  TDecodeOptions options;
  CLI::App app;
  options.AddTo(app);
  app.parse("--second-pass off --tolerance 80", false);
  TProtocolRecognition engine;
  options.Apply(engine);
  EXPECT_FALSE(engine.SecondPass);
  EXPECT_FLOAT_EQ(engine.Tolerance, 48000 * 80e-6f);
}

// Each setting decodes a recording that the defaults cannot.
TEST(DecodeSettingsOptions, EachSettingHasItsEffect) {
  TempDir dir;
  WriteText(dir / "protocols.xml", Protocols);
  WriteU8Wav(dir / "weak.wav", weak_receiver::Render(weak_receiver::NecRuns(4, 8), {}));
  TIrSynth slow;
  slow.Frame({{true, 500},
              {false, 6000},
              {true, 500},
              {false, 3000},
              {true, 500},
              {false, 6000},
              {true, 500},
              {false, 3000},
              {true, 500}});
  slow.Quiet(20000);
  slow.Write(dir / "slow.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1);
  TIrSynth stretched({.MarkStretchMicros = 80, .JitterMicros = 2});
  stretched.Quiet(10000);
  stretched.Frame(TIrSynth::Nec(4, 8));
  stretched.Quiet(20000);
  stretched.Write(dir / "stretched.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1);

  EXPECT_NE(Decoded(dir, "weak.wav", {}), Lines{"NEC"});
  EXPECT_EQ(Decoded(dir, "weak.wav", {"--level", "auto"}), Lines{"NEC"});
  EXPECT_EQ(Decoded(dir, "slow.wav", {}), Lines(3, "unknown"));
  EXPECT_EQ(Decoded(dir, "slow.wav", {"--end-silence", "10"}), Lines{"Slow"});
  EXPECT_EQ(Decoded(dir, "stretched.wav", {"--second-pass", "off"}), Lines{"unknown"});
  EXPECT_EQ(Decoded(dir, "stretched.wav", {"--tolerance", "150", "--second-pass", "off"}),
            Lines{"NEC"});
}
