// Every definition of the shipped library with random field values, sent through the renderer
// into a WAV file, read back, through a model of the LEDs and a demodulating receiver, recorded
// as the capture does and decoded: the same protocol and fields, each burst of light within a
// carrier period of the runs sent.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "LibraryPath.h"
#include "LoopBack.h"

namespace {
constexpr int CodesPerDefinition = 3;
constexpr uint64_t Seed = 24;
constexpr double MinStretchedShare = 0.95;
// A mark is whole carrier periods (half a period off at most); in mono mode its light ends
// with the last positive half-wave, half a period before the mark; a tone near the top of the
// band rings a little in the converter.
constexpr double MaxTimingErrorPeriods = 1.2;

using TMode = TCarrierRenderer::TMode;

struct TOutput {
  const char* Name;
  TMode Mode;
  unsigned Rate;
};
const TOutput Outputs[] = {
    {"antiphase48k", TMode::Antiphase, 48000},
    {"mono96k", TMode::Mono, 96000},
    {"antiphase96k", TMode::Antiphase, 96000},
};

class LoopBack : public testing::TestWithParam<TOutput> {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorlent-send-XXXXXX").string();
    Folder = mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(Folder); }
  std::filesystem::path Folder;
};
}  // namespace

// Whether every mark of Signal holds MinMarkPeriods carrier periods: a shorter flash (Jerrold's
// 54 us) is two cycles of light that a sound card's output cannot shape reliably.
bool CarriedWhole(const TIrSignal& Signal, uint32_t CarrierHz) {
  constexpr double MinMarkPeriods = 3;
  for (size_t i = 0; i < Signal.Frame.size(); i += 2)
    if (Signal.Frame[i] * CarrierHz / 1e6 < MinMarkPeriods) return false;
  return true;
}

// Sends CodesPerDefinition random codes of every definition; Stretch < 0 draws the receiver's.
// Returns the share decoded as sent among those the output carries.
double Share(TLoopBack& Loop, const TCarrierRenderer::TOptions& Options, double Stretch,
             bool ExpectEach) {
  TTestRandom random(Seed);
  int sent = 0, back = 0;
  for (const std::string& protocol : Loop.Source().Protocols()) {
    for (int i = 0; i < CodesPerDefinition; ++i) {
      const TLoopResult result = Loop.Send(protocol, Options, random, Stretch);
      const TIrSignal signal = Loop.Source().FromFields(protocol, result.Sent);
      const uint32_t carrier = TCarrierRenderer::Carrier(signal, Options);
      const bool carried = TCarrierRenderer::Refusal(carrier, Options).empty();
      EXPECT_EQ(result.Refused.empty(), carried) << result.Text();
      if (!carried) {
        EXPECT_NE(result.Refused.find(std::to_string(carrier) + " Hz"), std::string::npos);
        continue;
      }
      ++sent;
      back += result.Ok();
      if (ExpectEach && CarriedWhole(signal, carrier)) {
        EXPECT_TRUE(result.Ok()) << result.Text();
      }
      EXPECT_TRUE(result.RunsMatch) << result.Text();
      EXPECT_LE(result.TimingErrorPeriods, MaxTimingErrorPeriods) << result.Text();
    }
  }
  EXPECT_GT(sent, 0);
  return sent ? static_cast<double>(back) / sent : 0;
}

// A receiver that outputs exactly the bursts of light: every definition comes back.
TEST_P(LoopBack, EveryDefinitionComesBackAsSent) {
  TLoopBack loop(ShippedLibrary(), ShippedLibrary(), Folder.string());
  TCarrierRenderer::TOptions options{.Mode = GetParam().Mode, .Rate = GetParam().Rate};
  Share(loop, options, 0, true);
}

// A receiver that stretches marks by 50-150 us: the decoder's windows and its tolerant pass
// take most (bench/send measures the share for each definition).
TEST_P(LoopBack, StretchedMarksMostlyDecode) {
  TLoopBack loop(ShippedLibrary(), ShippedLibrary(), Folder.string());
  TCarrierRenderer::TOptions options{.Mode = GetParam().Mode, .Rate = GetParam().Rate};
  const double share = Share(loop, options, -1, false);
  printf("share decoded: %.3f\n", share);
  EXPECT_GE(share, MinStretchedShare);
}

INSTANTIATE_TEST_SUITE_P(Outputs, LoopBack, testing::ValuesIn(Outputs),
                         [](const auto& Info) { return std::string(Info.param.Name); });
