#include <map>

#include "ExchangeFixture.h"
#include "TCodeError.h"
#include "TDefinition.h"
#include "TFlipperProtocols.h"
#include "TFrameRenderer.h"
#include "AdmittedValues.h"
#include "TSignalProcessor.h"

namespace {
constexpr int RoundsPerDefinition = 12;

class RendererTest : public ExchangeFixture {};

// A space inside the frame as long as the silence that ends a packet cuts it in two (RC5X's
// pause next to two half-bit spaces): such a frame cannot be decoded whole.
bool CutByThePacketEnd(const std::vector<double>& Durations) {
  constexpr double SilenceMicros = TSignalProcessor::SilenceSeconds * 1e6;
  for (size_t i = 1; i + 1 < Durations.size(); i += 2)
    if (Durations[i] >= SilenceMicros - 2 * TEnvelopeSource::ReceiverShiftMicros) return true;
  return false;
}

// Rendering and decoding give the definition and its values back, for every definition of
// the shipped library; its bits give the values back too.
TEST_F(RendererTest, EveryDefinitionDecodesToWhatWasRendered) {
  ASSERT_GE(Library->Definitions().size(), 39u);
  TTestRandom random(11);
  int cut = 0;
  std::map<std::string, int> seen;
  for (const TDefinition& definition : Library->Definitions()) {
    ++seen[definition.Name];
    for (int round = 0; round < RoundsPerDefinition; ++round) {
      const TFrameRenderer::TValues values = AdmittedValues(definition, random);
      const std::vector<double> frame = TFrameRenderer::Render(definition, values);
      if (CutByThePacketEnd(frame)) {
        ++cut;
        continue;
      }
      const auto samples = DecodeDrawn({frame});
      ASSERT_EQ(samples.size(), 1u) << definition.Name;
      const TProtocol& decoded = *samples[0]->Protocol;
      ASSERT_EQ(decoded.ProtocolName, definition.Name) << "round " << round;
      ASSERT_EQ(decoded.Fields.size(), values.size()) << definition.Name;
      TFrameRenderer::TValues read;
      for (const TProtocolField& field : decoded.Fields) read.push_back(field.Value);
      // A second reading of a name (Blaupunkt's) gives way to the first where that reads the
      // frame: the same bits, split otherwise.
      if (seen[definition.Name] > 1 && read != values &&
          TFrameRenderer::Bits(*Library->Find(definition.Name), read) ==
              TFrameRenderer::Bits(definition, values))
        continue;
      EXPECT_EQ(read, values) << definition.Name;
      EXPECT_EQ(TFrameRenderer::Fields(definition, TFrameRenderer::Bits(definition, values)),
                values)
          << definition.Name;
    }
  }
  // Only the sixteen definitions whose spaces always exceed the default ending silence
  // (Samsung36, Dish Network, Pace MSS, PCTV, Dishplayer, Jerrold, the four Zenith entries,
  // the two XMP-1 entries, Velleman, RECS80, Blaupunkt's two key presses), and some RC5X
  // frames.
  EXPECT_LT(cut, 17 * RoundsPerDefinition);
}

TEST_F(RendererTest, RefusesValuesThatDoNotFit) {
  const TDefinition& nec = *Library->Find("NEC");
  EXPECT_THROW(TFrameRenderer::Render(nec, {256, 0, 0, 0}), TCodeError);
  EXPECT_THROW(TFrameRenderer::Render(nec, {1, 2, 3}), TCodeError);
  EXPECT_FALSE(TFrameRenderer::Fields(nec, std::vector<bool>(31)).has_value());
  // Apple's fixed address and vendor bits must be there.
  EXPECT_FALSE(TFrameRenderer::Fields(*Library->Find("Apple"), std::vector<bool>(32)));
}
}  // namespace

namespace {
struct TExportCase {
  const char* Protocol;
  std::vector<uint16_t> Fields;
  const char* Flipper;  // "" when no parsed protocol sends the frame
  uint32_t Address, Command;
};

class FlipperExportTest : public ExchangeFixture,
                          public ::testing::WithParamInterface<TExportCase> {};

// A decoded packet gets the Flipper protocol, address and command that send the same frame.
TEST_P(FlipperExportTest, FindsTheParsedForm) {
  const TExportCase& c = GetParam();
  TProtocol decoded;
  decoded.ProtocolName = c.Protocol;
  for (uint16_t value : c.Fields) decoded.AddField("f", value);
  const auto parsed = TFlipperProtocols::FromPacket(decoded, *Library);
  ASSERT_EQ(parsed.has_value(), *c.Flipper != '\0');
  if (!parsed) return;
  EXPECT_EQ(parsed->Protocol, c.Flipper);
  EXPECT_EQ(parsed->Address, c.Address);
  EXPECT_EQ(parsed->Command, c.Command);
}

INSTANTIATE_TEST_SUITE_P(
    Packets, FlipperExportTest,
    ::testing::Values(TExportCase{"NEC", {4, 251, 8, 247}, "NEC", 4, 8},
                      TExportCase{"NEC", {4, 0x12, 8, 247}, "NECext", 0x1204, 0xF708},
                      TExportCase{"Apple", {1, 5, 0x20}, "NECext", 0x87EE, 0x200B},
                      TExportCase{"Samsung32", {7, 7, 2, 253}, "Samsung32", 7, 2},
                      TExportCase{"Samsung32", {7, 6, 2, 253}, "", 0, 0},
                      TExportCase{"RC5", {1, 1, 3, 5}, "RC5", 3, 5},
                      TExportCase{"RC5", {0, 0, 3, 5}, "RC5X", 3, 5},
                      TExportCase{"RCA", {15, 42, 0, 213}, "RCA", 15, 0x54},
                      TExportCase{"Sony20", {5, 3, 0x44}, "SIRC20", 0x883, 5},
                      TExportCase{"Kaseikyo", {0x2002, 1, 0, 0, 0, 0, 0}, "", 0, 0},
                      TExportCase{"JVC", {1, 2}, "", 0, 0}));
}  // namespace
