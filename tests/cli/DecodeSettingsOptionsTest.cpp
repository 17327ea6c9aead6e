#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "TDecodeCommand.h"
#include "TestFiles.h"
#include "WeakReceiver.h"

using namespace testfiles;

namespace {
using Lines = std::vector<std::string>;

// NEC, and a protocol whose spaces (6 ms) are longer than the default ending silence.
const char* const Protocols = R"(<protocols><protocol name="NEC">
  <bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>
  <packet><delimiter name="lead-in">#9000_4500</delimiter><data name="a" length="16" bitorder="LSB"/>
    <data name="c" length="16" bitorder="LSB"/>
    <delimiter name="stop">#560</delimiter></packet></protocol>
<protocol name="Slow"><bitset><bit value="1">#500_6000</bit><bit value="0">#500_3000</bit></bitset>
  <packet><data name="c" length="4" bitorder="MSB"/><delimiter name="stop">#500</delimiter></packet></protocol>
</protocols>)";

// The protocol of every packet the command reports with Args; its error when it refuses them.
Lines Command(Lines Args) {
  Args.insert(Args.begin(), {"vorlent-decode", "--format", "json"});
  std::vector<const char*> argv;
  for (const auto& a : Args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status =
      TDecodeCommand(out, err, false).Run(static_cast<int>(argv.size()), argv.data());
  if (status == TDecodeCommand::ExitUsage) return {err.str().substr(0, err.str().find('\n'))};
  Lines names;
  const nlohmann::json doc = nlohmann::json::parse(out.str());
  for (const auto& packet : doc["packets"]) names.push_back(packet["protocol"]);
  return names;
}
}  // namespace

TEST(DecodeSettingsOptions, ValuesOutOfRangeAreRefusedByName) {
  const std::pair<Lines, std::string> cases[] = {
      {{"--tolerance", "0"}, "--tolerance: tolerance 0 µs is not within 1..1000 µs"},
      {{"--tolerance", "5us"}, "--tolerance: \"5us\" is not a number of µs"},
      {{"--tolerance", "nan"}, "--tolerance: tolerance nan µs is not within 1..1000 µs"},
      {{"--level", "loud"}, "--level: \"loud\" is neither a whole number nor auto"},
      {{"--level=100"}, "--level: trigger level 100 is not within 130..255"},
      {{"--end-silence", "200"}, "--end-silence: ending silence 200 ms is not within 1..100 ms"},
      {{"--second-pass", "1"}, "--second-pass: \"1\" is neither on nor off"},
      {{"--generic", "yes"}, "--generic: \"yes\" is neither on nor off"},
  };
  for (auto [options, text] : cases) {
    options.push_back("x.wav");
    EXPECT_EQ(Command(options), Lines{"vorlent-decode: " + text});
  }
}

// Each setting decodes a recording that the defaults cannot.
TEST(DecodeSettingsOptions, EachSettingHasItsEffect) {
  TempDir dir;
  WriteText(dir / "protocols.xml", Protocols);
  WriteU8Wav(dir / "weak.wav", weak_receiver::Render(weak_receiver::NecRuns(4, 8)));
  weak_receiver::TRuns slow = {{true, 500}};  // bits 1010 with spaces of 6 and 3 ms
  for (double space : {6000, 3000, 6000, 3000})
    slow.insert(slow.end(), {{false, space}, {true, 500}});
  WriteU8Wav(dir / "slow.wav", weak_receiver::Render(slow, 95, 0, 0));
  auto stretched = weak_receiver::NecRuns(4, 8);  // marks 80 us longer, spaces 80 us shorter
  for (auto& [high, micros] : stretched) micros += high ? 80 : -80;
  WriteU8Wav(dir / "stretched.wav", weak_receiver::Render(stretched, 95, 0, 0));
  const std::string p = "--protocols=" + dir / "protocols.xml";
  const std::pair<Lines, Lines> cases[] = {
      {{"weak.wav"}, {"unknown"}},
      {{"--level", "auto", "weak.wav"}, {"NEC"}},
      {{"slow.wav"}, {"unknown", "unknown", "unknown"}},
      {{"--end-silence", "10", "slow.wav"}, {"Slow"}},
      {{"--second-pass", "off", "--generic", "off", "stretched.wav"}, {"unknown"}},
      {{"--second-pass", "off", "stretched.wav"}, {"Pulse distance"}},
      {{"--tolerance", "150", "--second-pass", "off", "stretched.wav"}, {"NEC"}},
  };
  for (auto [args, names] : cases) {
    args.back() = dir / args.back();
    args.insert(args.begin(), p);
    EXPECT_EQ(Command(args), names) << args.back();
  }
}

// On strong signals the automatic level sits where the default does: the same packets.
TEST(DecodeSettingsOptions, TheAutomaticLevelReadsStrongSignalsAsTheDefaultDoes) {
  const std::string source = VORLENT_SOURCE_DIR,
                    example = source + "/examples/remotes-44k1-16bit-stereo.wav";
  const Lines decoded = Command({"--protocols=" + source + "/data/protocols.xml", example});
  EXPECT_EQ(decoded.size(), 8u);
  EXPECT_EQ(Command({"--protocols=" + source + "/data/protocols.xml", "--level=auto", example}),
            decoded);
}
