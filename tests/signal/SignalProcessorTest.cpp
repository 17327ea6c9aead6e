#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TMessageQueue.h"
#include "TScriptedSoundSystem.h"
#include "TSignalProcessor.h"

namespace {
constexpr size_t N = 65534;
using Buffer = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

// A processor recording from a scripted sound system; buffers are fed and handled in turn.
struct Rig {
  Rig() {
    auto sound = std::make_unique<TScriptedSoundSystem>();
    Sound = sound.get();
    P.OnError = [this](const std::string& text) { Errors.push_back(text); };
    P.OnNewSample = [this] { ++Announced; };
    P.Init(&Queue, 48000, std::move(sound));
  }
  void Record() { P.StartRecording(); }
  void Feed(Buffer buf) {
    buf.resize(N, 128);
    Sound->Feed(buf);
    Pump();
  }
  void Pump() {
    while (auto message = Queue.Take()) P.ProcessBuffer(*message);
  }
  TSample& Last() { return *P.Samples.back(); }

  TMessageQueue Queue;
  TScriptedSoundSystem* Sound;
  TSignalProcessor P;
  Lines Errors;
  int Announced = 0;
};

Buffer Quiet() {
  return Buffer(N, 128);
}
void Put(Buffer& buf, size_t at, size_t count, uint8_t value) {
  std::fill(buf.begin() + static_cast<long>(at), buf.begin() + static_cast<long>(at + count),
            value);
}
}  // namespace

TEST(SignalProcessorUnits, WindowMarginAndConversions) {
  Rig rig;
  EXPECT_EQ(rig.P.SecondsToSamples(0.005f), 240);
  EXPECT_EQ(rig.P.SecondsToSamples(0.005f) / 2, 120);
  EXPECT_FLOAT_EQ(rig.P.SamplesToSeconds(480), 0.01f);
  EXPECT_EQ(rig.P.SamplesToSeconds(1), static_cast<float>(1.0L / 48000));
  // Halves round to even: 48000 / 256 = 187.5 -> 188, 3 * 187.5 = 562.5 -> 562.
  EXPECT_EQ(rig.P.SecondsToSamples(1.0f / 256), 188);
  EXPECT_EQ(rig.P.SecondsToSamples(3.0f / 256), 562);
}

TEST(SignalProcessorStart, SetsTheFormatAndQueuesThreeBuffers) {
  Rig rig;
  rig.Record();
  const TWaveFormatEx& f = rig.Sound->OpenedFormat;
  EXPECT_EQ(f.nSamplesPerSec, 48000u);
  EXPECT_EQ(f.nAvgBytesPerSec, 48000u);
  EXPECT_EQ(f.wBitsPerSample, 8);
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(rig.Sound->QueuedCount(), 3u);
  EXPECT_TRUE(rig.P.WaveIn->Recording);
  EXPECT_TRUE(rig.Errors.empty());
}

TEST(SignalProcessorStart, FailedOpenReportsThreeMessagesInOrderAndCanRetry) {
  Rig rig;
  rig.Sound->Fail(TScriptedSoundSystem::Op::Open, 2);
  rig.Record();
  EXPECT_EQ(rig.Errors, (Lines{"Could not open the input device for recording: \r scripted error 2",
                               "Error - Try again",
                               "Error starting wavein, close attempted: scripted error 5"}));
  EXPECT_FALSE(rig.P.WaveIn->Recording);
  rig.Sound->Fail(TScriptedSoundSystem::Op::Open, 0);
  rig.Errors.clear();
  rig.Record();
  EXPECT_TRUE(rig.P.WaveIn->Recording);
  EXPECT_TRUE(rig.Errors.empty());
}

TEST(SignalProcessorPackets, QuietBufferOnlyCountsSilence) {
  Rig rig;
  rig.Record();
  rig.Feed(Quiet());
  EXPECT_TRUE(rig.P.Samples.empty());
  EXPECT_EQ(rig.P.CurrentSample, nullptr);
  EXPECT_EQ(rig.P.SilenceCount, 65534);
  EXPECT_EQ(rig.P.BuffersProcessed, 1);
}

TEST(SignalProcessorPackets, MarginIsTheHundredTwentyValuesBeforeTheTrigger) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  for (size_t i = 380; i < 500; ++i) buf[i] = static_cast<uint8_t>(i % 100);  // all quiet
  Put(buf, 500, 30, 200);
  rig.Feed(buf);
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  const TSample& s = rig.Last();
  ASSERT_EQ(s.Signal.size(), 120u + 30 + 240);
  for (size_t i = 0; i < 120; ++i) ASSERT_EQ(s.Signal[i], (380 + i) % 100);
  EXPECT_EQ(s.Signal[120], 200);
  EXPECT_EQ(s.Duration, rig.P.SamplesToSeconds(30));
  EXPECT_EQ(s.Gap, static_cast<float>(500.0L / 48000));
  EXPECT_EQ(s.StreamIndex, 500);
  EXPECT_GE(s.CaptureTime, 0.0);
  EXPECT_LT(s.CaptureTime, 1.0);
  EXPECT_EQ(rig.Announced, 1);
}

TEST(SignalProcessorPackets, ShortAndEmptyMargins) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 0, 10, 200);     // trigger at 0: margin is the single value 128
  Put(buf, 1000, 10, 200);  // well separated
  rig.Feed(buf);
  ASSERT_EQ(rig.P.Samples.size(), 2u);
  EXPECT_EQ(rig.P.Samples[0]->Signal.size(), 1u + 10 + 240);
  EXPECT_EQ(rig.P.Samples[0]->Signal[0], 128);
  EXPECT_EQ(rig.P.Samples[0]->Duration, rig.P.SamplesToSeconds(10));

  Rig rig2;
  rig2.Record();
  Buffer b2 = Quiet();
  Put(b2, 50, 10, 200);
  rig2.Feed(b2);
  ASSERT_EQ(rig2.P.Samples.size(), 1u);
  EXPECT_EQ(rig2.Last().Signal.size(), 50u + 10 + 240);
  EXPECT_EQ(rig2.Last().Duration, rig2.P.SamplesToSeconds(10));
}

TEST(SignalProcessorPackets, SingleTriggerValue) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  buf[1000] = 143;
  rig.Feed(buf);
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  EXPECT_EQ(rig.Last().Duration, rig.P.SamplesToSeconds(1));
  EXPECT_EQ(rig.Last().Pulses, (std::vector<uint16_t>{120, 1, 239}));
}

TEST(SignalProcessorPackets, TriggerAtTheLastIndexContinuesInTheNextBuffer) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  buf[65533] = 200;
  rig.Feed(buf);
  ASSERT_NE(rig.P.CurrentSample, nullptr);
  EXPECT_EQ(rig.P.CurrentSample->Signal.size(), 121u);
  Buffer next = Quiet();
  Put(next, 0, 20, 200);
  rig.Feed(next);
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  EXPECT_EQ(rig.Last().Signal.size(), 121u + 20 + 240);
  EXPECT_EQ(rig.Last().Duration, rig.P.SamplesToSeconds(21));
}

TEST(SignalProcessorPackets, CountdownCarriesAcrossBuffers) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 60000, 5434, 200);  // active part ends 100 values before the end
  rig.Feed(buf);
  ASSERT_TRUE(rig.P.Samples.empty());
  rig.Feed(Quiet());
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  // The close comes at the 140th value of the second buffer (index 139).
  EXPECT_EQ(rig.Last().Signal.size(), 120u + 5434 + 100 + 140);
  EXPECT_EQ(rig.Last().Duration, rig.P.SamplesToSeconds(5434));
  EXPECT_EQ(rig.P.SilenceCount, 240 + (65534 - 139));
}

TEST(SignalProcessorPackets, ActivePastTheEndRestartsTheCountdown) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 65000, 534, 200);
  rig.Feed(buf);
  Buffer next = Quiet();
  Put(next, 0, 10, 200);
  rig.Feed(next);
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  EXPECT_EQ(rig.Last().Duration, rig.P.SamplesToSeconds(544));
}

TEST(SignalProcessorPackets, NoiseOf142KeepsAPacketOpen141IsQuiet) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 1000, 10, 200);
  Put(buf, 1010, 300, 141);
  buf[1200] = 142;  // inside the pause: restarts the countdown
  Put(buf, 1310, 10, 200);
  rig.Feed(buf);
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  EXPECT_EQ(rig.Last().Duration, rig.P.SamplesToSeconds(320));
  // 142 is low for the run lengths.
  EXPECT_EQ(rig.Last().Pulses, (std::vector<uint16_t>{120, 10, 300, 10, 239}));
}

// Packets followed and measured a block of values at a time agree with value by value: marks and
// gaps of lengths about a block, at every alignment, the second mark at the lowest high value,
// gaps quiet (the 240th quiet value ends a packet) or of noise that keeps it open but reads low.
TEST(SignalProcessorPackets, BlocksOfValuesAgreeWithSingleValues) {
  for (size_t offset = 1000; offset < 1032; ++offset) {
    for (const size_t mark : {1, 32, 33}) {
      for (const size_t gap : {1, 32, 239, 240}) {
        for (const uint8_t gapValue : {128, 142}) {
          SCOPED_TRACE(std::to_string(offset) + " " + std::to_string(mark) + " " +
                       std::to_string(gap) + " " + std::to_string(gapValue));
          Rig rig;
          rig.Record();
          Buffer buf = Quiet();
          Put(buf, offset, mark, 200);
          Put(buf, offset + mark, gap, gapValue);
          Put(buf, offset + mark + gap, mark, 143);
          rig.Feed(buf);
          using TRuns = std::vector<uint16_t>;
          const auto run = [](size_t Length) { return static_cast<uint16_t>(Length); };
          if (gap < 240 || gapValue == 142) {
            ASSERT_EQ(rig.P.Samples.size(), 1u);
            EXPECT_EQ(rig.Last().Pulses, (TRuns{120, run(mark), run(gap), run(mark), 239}));
            continue;
          }
          ASSERT_EQ(rig.P.Samples.size(), 2u);
          for (const auto& sample : rig.P.Samples)
            EXPECT_EQ(sample->Pulses, (TRuns{120, run(mark), 239}));
        }
      }
    }
  }
}

TEST(SignalProcessorPackets, GapIsTriggerIndexMinusLastActiveIndex) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 1000, 20, 200);        // last active value at 1019
  Put(buf, 1019 + 481, 20, 200);  // 480 quiet values between
  rig.Feed(buf);
  ASSERT_EQ(rig.P.Samples.size(), 2u);
  EXPECT_EQ(rig.P.Samples[1]->Gap, static_cast<float>(481.0L / 48000));
  EXPECT_EQ(rig.Announced, 2);
}

TEST(SignalProcessorPackets, InvertedInput) {
  Rig rig;
  rig.P.InvertInput = true;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 3000, 30, 0);
  rig.Feed(buf);
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  EXPECT_EQ(rig.Last().Signal[0], 127);
  EXPECT_EQ(rig.Last().Signal[120], 255);
  EXPECT_EQ(rig.Last().Duration, rig.P.SamplesToSeconds(30));
}

TEST(SignalProcessorRecording, BuffersAfterStopAreOnlyCounted) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 100, 50, 200);
  rig.Sound->Feed(buf);   // filled but not yet handled
  rig.P.StopRecording();  // hands back the other two queued buffers
  rig.Pump();
  EXPECT_TRUE(rig.P.Samples.empty());
  EXPECT_EQ(rig.P.BuffersProcessed, 3);
  EXPECT_EQ(rig.P.SilenceCount, 0);
  EXPECT_EQ(rig.Sound->QueuedCount(), 0u);
}

TEST(SignalProcessorRecording, OpenPacketSurvivesStopAndStart) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 65500, 34, 200);
  rig.Feed(buf);
  ASSERT_NE(rig.P.CurrentSample, nullptr);
  rig.P.StopRecording();
  rig.Pump();
  rig.Record();
  rig.Feed(Quiet());
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  EXPECT_EQ(rig.Last().Duration, rig.P.SamplesToSeconds(34));
}

TEST(SignalProcessorRecording, BufferCountWrapsAfter65536) {
  Rig rig;
  rig.Record();
  rig.P.BuffersProcessed = 65535;
  rig.Feed(Quiet());
  EXPECT_EQ(rig.P.BuffersProcessed, 0);
}

TEST(SignalProcessorRecording, ClearKeepsTheOpenPacket) {
  Rig rig;
  rig.Record();
  Buffer buf = Quiet();
  Put(buf, 100, 10, 200);
  Put(buf, 65530, 4, 200);
  rig.Feed(buf);
  ASSERT_EQ(rig.P.Samples.size(), 1u);
  rig.P.ClearSamples();
  EXPECT_TRUE(rig.P.Samples.empty());
  rig.Feed(Quiet());
  EXPECT_EQ(rig.P.Samples.size(), 1u);
}

// The longest packet that fits closes as usual, and the gap after it is measured as usual.
TEST(SignalProcessorRobustness, APacketOfExactly65535ValuesIsNotCut) {
  Rig rig;
  rig.Record();
  Buffer first = Quiet();
  Put(first, 1000, N - 1000, 200);  // 64534 active values, then 641 in the next buffer
  rig.Feed(first);
  Buffer second = Quiet();
  Put(second, 0, 641, 200);
  Put(second, 640 + 1360, 10, 200);
  rig.Feed(second);
  ASSERT_EQ(rig.P.Samples.size(), 2u);
  EXPECT_EQ(rig.P.Samples[0]->Signal.size(), 65535u);
  EXPECT_EQ(rig.P.Samples[0]->Duration, rig.P.SamplesToSeconds(65175));
  EXPECT_EQ(rig.P.Samples[0]->Pulses, (std::vector<uint16_t>{120, 65175, 239}));
  EXPECT_EQ(rig.P.Samples[1]->Gap, static_cast<float>(1360.0L / 48000));
}

// A stuck active input: each packet is cut at 65535 values, never more.
TEST(SignalProcessorRobustness, StuckHighLineIsCutIntoFullLengthPackets) {
  Rig rig;
  rig.Record();
  Buffer first(N, 200);
  Put(first, 0, 500, 128);  // so that cuts fall inside buffers, not on their edges
  rig.Feed(first);
  for (int i = 0; i < 4; ++i) rig.Feed(Buffer(N, 200));
  ASSERT_GE(rig.P.Samples.size(), 4u);
  for (const auto& s : rig.P.Samples) {
    EXPECT_EQ(s->Signal.size(), TSignalProcessor::MaxSignalLength);
    uint32_t sum = 0;
    for (uint16_t r : s->Pulses) sum += r;
    EXPECT_EQ(sum, s->Signal.size() - 1);
  }
  // The packet after a cut starts on the next value: one sample after the last active one.
  EXPECT_EQ(rig.P.Samples[1]->Gap, static_cast<float>(1.0L / 48000));
  // The line comes back: the packet then closes on its silence as usual.
  size_t before = rig.P.Samples.size();
  Buffer recovering = Quiet();
  Put(recovering, 0, 1000, 200);
  rig.Feed(recovering);
  ASSERT_EQ(rig.P.CurrentSample, nullptr);
  ASSERT_GT(rig.P.Samples.size(), before);
  EXPECT_EQ(rig.Last().Pulses.back(), 239);
  EXPECT_LT(rig.Last().Signal.size(), TSignalProcessor::MaxSignalLength);
}
