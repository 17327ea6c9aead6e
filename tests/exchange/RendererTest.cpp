#include "ExchangeFixture.h"
#include "TCodeError.h"
#include "TFrameRenderer.h"
#include "TestRandom.h"
#include "U_signalProcessor.h"

namespace {
constexpr int RoundsPerDefinition = 12;

class RendererTest : public ExchangeFixture {};

std::vector<uint32_t> RandomValues(const TFrameDefinition& Definition, TTestRandom& Random) {
  std::vector<uint32_t> values;
  for (const TFrameItem& item : Definition.Items)
    if (!item.Delimiter) values.push_back(Random.Bits(static_cast<int>(item.Length)));
  return values;
}

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
  for (const TFrameDefinition& definition : Library->Definitions()) {
    for (int round = 0; round < RoundsPerDefinition; ++round) {
      const std::vector<uint32_t> values = RandomValues(definition, random);
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
      for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(decoded.Fields[i].Value, values[i]) << definition.Name << " field " << i;
      EXPECT_EQ(TFrameRenderer::Fields(definition, TFrameRenderer::Bits(definition, values)),
                values)
          << definition.Name;
    }
  }
  EXPECT_LT(cut, RoundsPerDefinition);  // only some RC5X frames
}

TEST_F(RendererTest, RefusesValuesThatDoNotFit) {
  const TFrameDefinition& nec = *Library->Find("NEC");
  EXPECT_THROW(TFrameRenderer::Render(nec, {256, 0, 0, 0}), TCodeError);
  EXPECT_THROW(TFrameRenderer::Render(nec, {1, 2, 3}), TCodeError);
  EXPECT_FALSE(TFrameRenderer::Fields(nec, std::vector<bool>(31)).has_value());
  // Apple's fixed address and vendor bits must be there.
  EXPECT_FALSE(TFrameRenderer::Fields(*Library->Find("Apple"), std::vector<bool>(32)));
}
}  // namespace
