#include <algorithm>
#include <sstream>

#include "ExchangeFixture.h"
#include "TCodeExport.h"
#include "TFlipperProtocols.h"
#include "TFrameRenderer.h"
#include "TInputDecoder.h"
#include "TIrFormats.h"
#include "TLineReader.h"
#include "AdmittedValues.h"

namespace {
constexpr int RoundsPerEntry = 2;
constexpr double SilenceMarginMillis = 1;

// The ending silence that keeps Frame in one packet and leaves its last space whole: the
// default, or just above its longest space when that is longer.
TRecordingDecoder::TOptions WholeFrame(const std::vector<double>& Frame) {
  TRecordingDecoder::TOptions options;
  for (size_t i = 1; i < Frame.size(); i += 2)
    options.EndSilenceMillis =
        std::max(options.EndSilenceMillis, Frame[i] / 1e3 + SilenceMarginMillis);
  return options;
}

class ExportRoundTripTest : public ExchangeFixture,
                            public ::testing::WithParamInterface<const char*> {
 protected:
  // Frame drawn as captured and decoded with Options, as the one packet it must make.
  static std::unique_ptr<TSample> Decoded(TProtocolRecognition& Decoder,
                                          const std::vector<double>& Frame,
                                          const TRecordingDecoder::TOptions& Options) {
    TEnvelopeSource source;
    source.Add(Frame, false);
    auto samples = TRecordingDecoder(Options).Decode(source).Samples;
    EXPECT_EQ(samples.size(), 1u);
    if (samples.empty()) return nullptr;
    Decoder.Decode(*samples[0]);
    return std::move(samples[0]);
  }
  // Sample exported to Format with Codes, written to a file and read back as the front ends
  // read it, decoded again. Parsed tells whether it went as Flipper's parsed form.
  static std::vector<std::unique_ptr<TSample>> ThroughFile(
      TProtocolRecognition& Decoder, std::shared_ptr<const TCodeLibrary> Codes,
      const TSample& Sample, const TRecordingDecoder::TOptions& Options, const std::string& Name,
      bool* Parsed = nullptr) {
    TCodeExport exporter(*TIrFormats::Find(GetParam()), Codes);
    EXPECT_TRUE(exporter.Add(Sample, "code"));
    if (Parsed) *Parsed = exporter.Codes().at(0).Parsed();
    std::ostringstream out;
    exporter.Write(out);
    TInputDecoder::TResult result =
        TInputDecoder(Options, Codes).Decode(WriteFile(Name + "." + GetParam(), out.str()));
    EXPECT_TRUE(result.Problems.empty()) << out.str();
    for (auto& sample : result.Samples) Decoder.Decode(*sample);
    return std::move(result.Samples);
  }
  static TFrameRenderer::TValues FieldsOf(const TSample& Sample) {
    TFrameRenderer::TValues values;
    for (const TProtocolField& field : Sample.Protocol->Fields) values.push_back(field.Value);
    return values;
  }
  // Flipper's parsed form of Sample: "protocol address command".
  static std::string ParsedText(const TSample& Sample) {
    const auto parsed = TFlipperProtocols::FromPacket(*Sample.Protocol, *Library);
    if (!parsed) return "none";
    return parsed->Protocol + " " + std::to_string(parsed->Address) + " " +
           std::to_string(parsed->Command);
  }
};

// Every entry of the shipped library, drawn with random field values, decodes to those values,
// and the packet exported to each code format and read back decodes to them again; one written
// in Flipper's parsed form comes back as the same parsed code (which carries no toggle).
TEST_P(ExportRoundTripTest, EveryShippedEntryComesBackTheSame) {
  ASSERT_GE(Library->Definitions().size(), 70u);
  TTestRandom random(23);
  for (const TDefinition& definition : Library->Definitions()) {
    for (int round = 0; round < RoundsPerEntry; ++round) {
      TFrameRenderer::TValues values = AdmittedValues(definition, random);
      const std::vector<double> frame = TFrameRenderer::Render(definition, values);
      // A second entry of a name (Blaupunkt's) reads as the first where that reads the frame:
      // the same bits, split by the first entry's fields.
      const TDefinition& first = *Library->Find(definition.Name);
      if (&first != &definition)
        values = TFrameRenderer::Fields(first, TFrameRenderer::Bits(definition, values))
                     .value_or(values);
      const TRecordingDecoder::TOptions options = WholeFrame(frame);
      const auto sample = Decoded(*Engine, frame, options);
      ASSERT_TRUE(sample);
      ASSERT_EQ(sample->Protocol->ProtocolName, definition.Name) << "round " << round;
      ASSERT_EQ(FieldsOf(*sample), values) << definition.Name;
      bool parsed = false;
      const auto back = ThroughFile(*Engine, Library, *sample, options, "entry", &parsed);
      ASSERT_EQ(back.size(), 1u) << definition.Name;
      if (parsed) {
        EXPECT_EQ(ParsedText(*back[0]), ParsedText(*sample));
        continue;
      }
      EXPECT_EQ(back[0]->Protocol->ProtocolName, definition.Name);
      EXPECT_EQ(FieldsOf(*back[0]), values) << definition.Name << " round " << round;
    }
  }
}

// A field wider than 32 bits and a carrier of the entry's own: exported and drawn whole, on
// that carrier.
TEST_P(ExportRoundTripTest, WideFieldsAndTheEntrysCarrier) {
  const std::string library = WriteFile("wide.xml", R"(<protocols>
  <protocol name="Wide40" carrier="56000">
    <bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>
    <packet>
      <delimiter name="lead-in">#9000_4500</delimiter>
      <data name="address" length="40" bitorder="LSB"/>
      <data name="command" length="8" bitorder="MSB"/>
      <delimiter name="end">#560_4750</delimiter>
    </packet>
  </protocol>
</protocols>)");
  TProtocolRecognition decoder;
  decoder.SampleRate = TDecodeSettings::SampleRate;
  decoder.SetTolerance(TDecodeSettings().ToleranceSeconds());
  decoder.LoadProtocols(library);
  const auto codes = std::make_shared<const TCodeLibrary>(decoder);
  const TDefinition* wide = codes->Find("Wide40");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(codes->CarrierHz("Wide40"), 56000u);
  const TFrameRenderer::TValues values = {0xA5C3F0E1D2, 0x5A};
  const std::vector<double> frame = TFrameRenderer::Render(*wide, values);
  EXPECT_EQ(frame.size(), 2 + 2 * 48 + 2u);
  const auto sample = Decoded(decoder, frame, {});
  ASSERT_TRUE(sample);
  ASSERT_EQ(sample->Protocol->ProtocolName, "Wide40");
  EXPECT_EQ(FieldsOf(*sample), values);

  TCodeExport exporter(*TIrFormats::Find(GetParam()), codes);
  ASSERT_TRUE(exporter.Add(*sample));
  EXPECT_EQ(exporter.Codes()[0].CarrierHz, 56000u);
  std::ostringstream out;
  exporter.Write(out);
  std::istringstream in(out.str());
  TLineReader lines(in, "wide");
  const TIrCodeFile file = TIrFormats::Find(GetParam())->Read(lines, TDecodeSettings());
  ASSERT_EQ(file.Codes.size(), 1u);
  EXPECT_NEAR(file.Codes[0].CarrierHz, 56000, 200) << out.str();  // Pronto keeps a period
  const auto back = ThroughFile(decoder, codes, *sample, {}, "wide");
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(FieldsOf(*back[0]), values);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportRoundTripTest,
                         ::testing::Values("flipper", "pronto", "lirc"));
}  // namespace
