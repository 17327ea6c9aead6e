// The tolerant pass's memo of readings: what it keeps, for how long, and what it never keeps.

#include <gtest/gtest.h>

#include "TReadingMemo.h"

namespace {

using TReading = TReadingMemo::TReading;

// A memo whose table holds shapes up to 3: the first packet only learns the width.
TReadingMemo Widened() {
  TReadingMemo memo;
  memo.Clear();
  memo.Set(3, 0, TReading::Whole);
  EXPECT_EQ(memo.Get(3, 0), TReading::Unknown);  // no table yet
  memo.Clear();
  return memo;
}

}  // namespace

TEST(ReadingMemo, KeepsReadingsOfOnePacketWhereItCan) {
  const struct {
    const char* What;
    uint32_t Shape;
    size_t Run;
    TReading Reading, Kept;
  } cases[] = {
      {"refused", 1, 0, TReading::Refused, TReading::Refused},
      {"whole", 3, 7, TReading::Whole, TReading::Whole},
      {"last run kept", 2, TReadingMemo::MaxRuns - 1, TReading::Whole, TReading::Whole},
      {"front never kept", 2, 4, TReading::Front, TReading::Unknown},
      {"no shape", 0, 4, TReading::Refused, TReading::Unknown},
      {"run past the table", 1, TReadingMemo::MaxRuns, TReading::Refused, TReading::Unknown},
      {"shape wider than the table", 4, 4, TReading::Refused, TReading::Unknown},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.What);
    TReadingMemo memo = Widened();
    memo.Set(test.Shape, test.Run, test.Reading);
    EXPECT_EQ(memo.Get(test.Shape, test.Run), test.Kept);
    EXPECT_EQ(memo.Get(test.Shape == 1 ? 2 : 1, test.Run), TReading::Unknown);  // another shape
    EXPECT_EQ(memo.Get(test.Shape, test.Run + 1), TReading::Unknown);           // another run
  }
}

// A new packet forgets everything, however many packets came before, and when a wider shape makes
// the table grow.
TEST(ReadingMemo, ClearForgetsEveryReading) {
  TReadingMemo memo = Widened();
  for (int packet = 0; packet < 40000; ++packet) {
    ASSERT_EQ(memo.Get(2, 5), TReading::Unknown) << "packet " << packet;
    memo.Set(2, 5, TReading::Whole);
    ASSERT_EQ(memo.Get(2, 5), TReading::Whole);
    memo.Clear();
  }
  memo.Set(2, 5, TReading::Refused);
  memo.Set(9, 5, TReading::Refused);  // widens the next packet's table
  memo.Clear();
  EXPECT_EQ(memo.Get(2, 5), TReading::Unknown);
  memo.Set(9, 5, TReading::Whole);
  EXPECT_EQ(memo.Get(9, 5), TReading::Whole);
  EXPECT_EQ(memo.Get(2, 5), TReading::Unknown);
}
