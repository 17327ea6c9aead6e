#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "DecodeRig.h"
#include "LibraryPath.h"

namespace {
// A Blaupunkt key press as a remote sends it: the prefix frame (ten ones), a silence longer than
// any ending silence, then the first data frame (start bit, 9 bits LSB first), bi-phase with
// 1 = mark then space.
// A receiver lengthens every mark by MarkShiftUs and shortens every space as much.
struct TPress {
  const char* Name;
  double HalfUs;  // half-bit; the pre-pulse is one, its space five
  double GapUs;   // from the prefix's last mark to the data frame's pre-pulse
  double MarkShiftUs;
  uint32_t Bits;   // the data frame's 9 bits
  TFields Fields;  // what the press reads as
};

TCode PressCode(const TPress& Press, bool Prefix) {
  const double h = Press.HalfUs;
  const TShape one{h, -h}, zero{-h, h};
  TCode code;
  if (Prefix) {
    code.Frame.Add({h, -5 * h}).Bits(0x3FF, 10, true, zero, one);
    code.Frame.Runs.back().Us = Press.GapUs;
  }
  code.Frame.Add({h, -5 * h}).Add(one).Bits(Press.Bits, 9, true, zero, one);
  for (TRun& run : code.Frame.Runs) run.Us += run.Mark ? Press.MarkShiftUs : -Press.MarkShiftUs;
  code.Frame.Add(-100000);
  return code;
}

std::vector<TDecoded> Decode(const std::vector<TCode>& Codes, bool Join) {
  TDecodeRig rig(ShippedLibrary());
  rig.JoinSilences = Join;
  TTestRandom random(5);
  return rig.Run(RenderStream(Codes, CleanConditions(), random));
}

const std::vector<TPress> Presses{
    // IRP's timing: 512 µs half-bits, 23 ms from the prefix's last mark to the data frame.
    {"IRP, device 0", 512, 23040, 0, 0x011, {{"command", 17}, {"address", 0}}},
    {"IRP, last bit 1", 512, 23040, 0, 33 | 5 << 6, {{"command", 33}, {"address", 5}}},
    // Captured remotes: marks 130 µs long, 20.5 ms between the frames.
    {"long marks", 512, 20600, 130, 46, {{"command", 46}, {"address", 0}}},
    // A clock 3 % slow (Grundig's timing), device 1, a key above 63.
    {"slow clock", 528, 19600, 20, 100 | 1 << 7, {{"command", 100}, {"address", 1}}},
};
}  // namespace

// The joined packet of prefix and data frame reads as Blaupunkt with the data frame's fields;
// without joining, the prefix stays a packet of its own.
TEST(PrefixedPress, PrefixAndDataFrameReadAsOnePress) {
  for (const TPress& press : Presses) {
    SCOPED_TRACE(press.Name);
    const std::vector<TDecoded> joined = Decode({PressCode(press, true)}, true);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].Name, "Blaupunkt");
    EXPECT_EQ(joined[0].Fields, press.Fields) << FieldText(joined[0].Fields);
    EXPECT_EQ(Decode({PressCode(press, true)}, false).size(), 2u);
  }
}

// Data frames that follow each other as closely, without a prefix, stay apart: the entry needs
// the prefix.
TEST(PrefixedPress, DataFramesWithoutPrefixStayApart) {
  for (const TPress& press : Presses) {
    SCOPED_TRACE(press.Name);
    TCode first = PressCode(press, false);
    first.Frame.Runs.back().Us = press.GapUs;
    const std::vector<TDecoded> decoded = Decode({first, PressCode(press, false)}, true);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].Name, decoded[1].Name);
    EXPECT_EQ(decoded[0].Fields, decoded[1].Fields);
  }
}

namespace {
// A packet as the signal processor cuts it: a quiet run, the frame's runs (µs, mark first) and
// the ending silence, at the rig's rate.
std::unique_ptr<TSample> Packet(const std::vector<double>& Us, int64_t StreamIndex) {
  constexpr double SamplesPerUs = TDecodeRig::SampleRate / 1e6;
  auto sample = std::make_unique<TSample>();
  sample->Pulses.push_back(40);
  for (double us : Us)
    sample->Pulses.push_back(static_cast<uint16_t>(std::lround(us * SamplesPerUs)));
  sample->Pulses.push_back(
      static_cast<uint16_t>(TDecodeSettings::DefaultEndSilenceMillis * 1000 * SamplesPerUs));
  sample->StreamIndex = StreamIndex;
  return sample;
}

struct TWait {
  const char* What;
  std::vector<double> Us;
  bool Waits;  // for the next packet, which an entry with a longer ending silence may join
};

// A lead-in and Count runs of Us each.
std::vector<double> Runs(double LeadMark, double LeadSpace, double Us, size_t Count) {
  std::vector<double> us{LeadMark, LeadSpace};
  us.insert(us.end(), Count, Us);
  return us;
}

const std::vector<TWait> Waits{
    {"NEC (its zeros)", Runs(9000, 4500, 560, 65), false},
    {"Sony12", {2400, 600, 1200, 600, 600, 600, 1200, 600, 600, 600, 600, 600, 1200}, false},
    {"RC5", {889, 889, 1778, 889, 889, 1778, 1778, 889, 889, 889, 889, 1778, 889}, false},
    {"Blaupunkt's prefix (ten ones)", Runs(512, 2560, 512, 19), true},
    {"PCTV's lead-in, cut by its 6.7 ms space", {1664}, true},
    {"XMP-1's first half", {210, 760, 210, 1300, 210, 900, 210, 2800, 210}, true},
};
}  // namespace

// Live capture writes a packet once the next has come or the input has stayed quiet for the
// longest ending silence an entry asks for (25 ms): only a packet that such an entry's frame
// could begin with waits; any other is handed on as soon as it is cut.
TEST(PrefixedPress, OnlyAPacketAnEntryCouldJoinWaitsForTheNext) {
  TDecodeRig rig(ShippedLibrary());
  ASSERT_GT(rig.Recognition.LongestEndSilenceMillis(), TDecodeSettings::DefaultEndSilenceMillis);
  for (const TWait& wait : Waits) {
    SCOPED_TRACE(wait.What);
    std::vector<std::string> handedOn;
    TSilenceJoiner joiner(rig.Recognition, TDecodeRig::SampleRate);
    joiner.OnSample = [&](std::unique_ptr<TSample> Sample) {
      handedOn.push_back(Sample->Protocol->ProtocolName);
    };
    joiner.Add(Packet(wait.Us, 100000));
    EXPECT_EQ(handedOn.empty(), wait.Waits);
    joiner.Finish();
    EXPECT_EQ(handedOn.size(), 1u);
  }
}
