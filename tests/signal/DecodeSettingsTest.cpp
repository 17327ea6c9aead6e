#include <gtest/gtest.h>

#include <random>

#include "TMessageQueue.h"
#include "TScriptedSoundSystem.h"
#include "TSignalProcessor.h"

namespace {
using TItem = TDecodeSettings::TItem;
using Buffer = std::vector<uint8_t>;
using Runs = std::vector<uint16_t>;
constexpr size_t N = TSignalProcessor::BufferSize;

TDecodeSettings With(TItem Item, const std::string& Value) {
  TDecodeSettings settings;
  EXPECT_EQ(settings.SetValue(Item, Value), "");
  return settings;
}

// The packets a processor with Settings cuts out of Data (and a quiet buffer after it).
std::vector<std::unique_ptr<TSample>> Cut(const TDecodeSettings& Settings, Buffer Data) {
  TMessageQueue queue;
  auto sound = std::make_unique<TScriptedSoundSystem>();
  TScriptedSoundSystem& feed = *sound;
  TSignalProcessor p;
  p.Init(&queue, TDecodeSettings::SampleRate, std::move(sound));
  p.Configure(Settings);
  p.StartRecording();
  Data.resize((Data.size() / N + 2) * N, 128);
  for (auto at = Data.begin(); at != Data.end(); at += N) {
    feed.Feed(Buffer(at, at + N));
    while (auto message = queue.Take()) p.ProcessBuffer(*message);
  }
  return std::move(p.Samples);
}
}  // namespace

// A step from 150 to 170: the level decides where the packet and its mark start.
TEST(DecodeSettingsProcessor, AFixedLevelDecidesTriggerAndRuns) {
  Buffer data(2000, 128);
  std::fill(data.begin() + 1000, data.begin() + 1010, 150);
  std::fill(data.begin() + 1010, data.begin() + 1030, 170);
  for (auto [level, runs] : {std::pair{"143", Runs{120, 30, 239}}, {"160", Runs{120, 20, 239}}}) {
    auto cut = Cut(With(TItem::Level, level), data);
    ASSERT_EQ(cut.size(), 1u) << level;
    EXPECT_EQ(cut[0]->Pulses, runs) << level;
  }
  EXPECT_TRUE(Cut(With(TItem::Level, "171"), data).empty());
}

TEST(DecodeSettingsProcessor, TheEndingSilenceJoinsPacketsWithLongerSpaces) {
  Buffer data(3000, 128);
  std::fill(data.begin() + 1000, data.begin() + 1030, 200);
  std::fill(data.begin() + 1366, data.begin() + 1396, 200);  // 7 ms later
  EXPECT_EQ(Cut(TDecodeSettings(), data).size(), 2u);
  auto joined = Cut(With(TItem::EndSilence, "10"), data);
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(joined[0]->Duration, static_cast<float>(396.0L / 48000));
  EXPECT_EQ(joined[0]->Pulses, (Runs{120, 30, 336, 30, 479}));
}

// Noise of 2 LSB on a wandering baseline: the automatic level never starts a packet.
TEST(DecodeSettingsProcessor, TheAutomaticLevelIgnoresNoise) {
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0, 2);
  Buffer data(10 * N);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(std::lround(128 + 6 * std::sin(i / 20000.0) + noise(random)));
  EXPECT_TRUE(Cut(With(TItem::Level, "auto"), data).empty());
}
