#include <gtest/gtest.h>

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
