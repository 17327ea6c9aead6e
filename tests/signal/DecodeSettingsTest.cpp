#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "TDecodeSettings.h"
#include "TMessageQueue.h"
#include "TScriptedSoundSystem.h"
#include "U_signalProcessor.h"
#include "WeakReceiver.h"

namespace {
using TItem = TDecodeSettings::TItem;
constexpr size_t N = TSignalProcessor::BufferSize;
using Buffer = std::vector<uint8_t>;

// A processor recording from a scripted sound system with the given settings.
struct Rig {
  explicit Rig(const TDecodeSettings& Settings) {
    auto sound = std::make_unique<TScriptedSoundSystem>();
    Sound = sound.get();
    P.Init(&Queue, TDecodeSettings::SampleRate, std::move(sound));
    P.Configure(Settings);
    P.StartRecording();
  }
  // Feeds Data buffer by buffer (the last one filled up with quiet line) and closes the end.
  void Feed(Buffer Data) {
    Data.resize((Data.size() / N + 2) * N, 128);
    for (size_t at = 0; at < Data.size(); at += N) {
      Sound->Feed(
          Buffer(Data.begin() + static_cast<long>(at), Data.begin() + static_cast<long>(at + N)));
      while (auto message = Queue.Take()) P.ProcessBuffer(*message);
    }
  }
  TMessageQueue Queue;
  TScriptedSoundSystem* Sound;
  TSignalProcessor P;
};

TDecodeSettings With(TItem Item, const std::string& Value) {
  TDecodeSettings settings;
  EXPECT_EQ(settings.SetValue(Item, Value), "");
  return settings;
}
}  // namespace

TEST(DecodeSettings, DefaultsDifferencesAndRefusals) {
  TDecodeSettings settings;
  EXPECT_TRUE(settings.AtDefaults());
  EXPECT_EQ(settings.DifferencesText(), "");
  EXPECT_EQ(settings.SetValue(TItem::Level, "auto"), "");
  EXPECT_EQ(settings.SetValue(TItem::EndSilence, "10"), "");
  EXPECT_EQ(settings.SetValue(TItem::SecondPass, "off"), "");
  EXPECT_FALSE(settings.Differs(TItem::Tolerance));
  EXPECT_EQ(settings.DifferencesText(), "level auto, ending silence 10 ms, second pass off");
  const struct {
    TItem Item;
    const char* Value;
    const char* Problem;
  } refused[] = {
      {TItem::Tolerance, "0", "tolerance 0 µs is not within 1..1000 µs"},
      {TItem::Tolerance, "50us", "\"50us\" is not a number of µs"},
      {TItem::Tolerance, "nan", "tolerance nan µs is not within 1..1000 µs"},
      {TItem::Level, "256", "trigger level 256 is not within 130..255"},
      {TItem::Level, "150.5", "\"150.5\" is neither a whole number nor auto"},
      {TItem::EndSilence, "0.5", "ending silence 0.5 ms is not within 1..100 ms"},
      {TItem::SecondPass, "yes", "\"yes\" is neither on nor off"},
  };
  for (const auto& r : refused) {
    TDecodeSettings before = settings;
    EXPECT_EQ(settings.SetValue(r.Item, r.Value), r.Problem) << r.Value;
    EXPECT_EQ(settings, before) << "a refused value changes nothing";
  }
}

TEST(DecodeSettingsProcessor, AFixedLevelDecidesTriggerAndRuns) {
  Buffer data(2000, 128);
  std::fill(data.begin() + 1000, data.begin() + 1010, 150);  // starts at the default level
  std::fill(data.begin() + 1010, data.begin() + 1030, 170);
  for (auto [level, runs] : {std::pair{"143", std::vector<uint16_t>{120, 30, 239}},
                             std::pair{"160", std::vector<uint16_t>{120, 20, 239}}}) {
    Rig rig(With(TItem::Level, level));
    rig.Feed(data);
    ASSERT_EQ(rig.P.Samples.size(), 1u) << level;
    EXPECT_EQ(rig.P.Samples[0]->Pulses, runs) << level;
    TSample loaded;  // a loaded sample gets the same runs
    loaded.Signal = rig.P.Samples[0]->Signal;
    rig.P.ExtractPulses(loaded);
    EXPECT_EQ(loaded.Pulses, runs);
  }
  Rig high(With(TItem::Level, "171"));
  high.Feed(data);
  EXPECT_TRUE(high.P.Samples.empty());
}

TEST(DecodeSettingsProcessor, TheEndingSilenceJoinsPacketsWithLongerSpaces) {
  Buffer data(3000, 128);
  std::fill(data.begin() + 1000, data.begin() + 1030, 200);
  std::fill(data.begin() + 1366, data.begin() + 1396, 200);  // 7 ms later
  Rig usual(TDecodeSettings{});
  usual.Feed(data);
  EXPECT_EQ(usual.P.Samples.size(), 2u);
  Rig longer(With(TItem::EndSilence, "10"));
  longer.Feed(data);
  ASSERT_EQ(longer.P.Samples.size(), 1u);
  const TSample& joined = *longer.P.Samples[0];
  EXPECT_EQ(joined.Signal.size(), 120u + 396 + 480);
  EXPECT_EQ(joined.Duration, longer.P.SamplesToSeconds(396));
  EXPECT_EQ(joined.Pulses, (std::vector<uint16_t>{120, 30, 336, 30, 479}));
}

// A weak receiver (marks 22 above rest, a coupling capacitor, noise): the fixed level breaks
// the frame up, the automatic one cuts it whole, with every run of the frame.
TEST(DecodeSettingsProcessor, TheAutomaticLevelCutsAWeakFrameWhole) {
  const auto pcm = weak_receiver::Render(weak_receiver::NecRuns(4, 8), {});
  Rig fixed(TDecodeSettings{});
  fixed.Feed(pcm);
  const bool whole = fixed.P.Samples.size() == 1 && fixed.P.Samples[0]->Pulses.size() == 69;
  EXPECT_FALSE(whole);
  Rig automatic(With(TItem::Level, "auto"));
  automatic.Feed(pcm);
  ASSERT_EQ(automatic.P.Samples.size(), 1u);
  EXPECT_EQ(automatic.P.Samples[0]->Pulses.size(), 2u + 67);
}

// Noise of 2 LSB on a wandering baseline: the automatic level never starts a packet.
TEST(DecodeSettingsProcessor, TheAutomaticLevelIgnoresNoise) {
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0, 2);
  Buffer data(10 * N);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(std::lround(128 + 6 * std::sin(i / 20000.0) + noise(random)));
  Rig rig(With(TItem::Level, "auto"));
  rig.Feed(data);
  EXPECT_TRUE(rig.P.Samples.empty());
  EXPECT_EQ(rig.P.CurrentSample, nullptr);
}
