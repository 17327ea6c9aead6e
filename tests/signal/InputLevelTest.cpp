#include <gtest/gtest.h>

#include <vector>

#include "TInputLevel.h"

namespace {
constexpr unsigned Rate = 48000;
constexpr size_t Buffer = 24000;  // half a second

std::vector<uint8_t> Pulses(uint8_t Value, uint8_t Rest = 128) {
  std::vector<uint8_t> data(Buffer, Rest);
  for (size_t at = 100; at + 50 < data.size(); at += 2000)
    std::fill_n(data.begin() + at, 50, Value);
  return data;
}

struct THintCase {
  uint8_t Rest, Pulse;
  bool Automatic;
  TInputLevel::THint Expected;
};
class InputLevelHint : public testing::TestWithParam<THintCase> {};
}  // namespace

TEST_P(InputLevelHint, FollowsTheSwingAgainstTheTrigger) {
  TInputLevel level;
  EXPECT_EQ(level.Hint(143, false), TInputLevel::THint::None);  // nothing measured
  const std::vector<uint8_t> data = Pulses(GetParam().Pulse, GetParam().Rest);
  level.Add(data.data(), data.size(), Rate, false);
  EXPECT_EQ(level.Resting(), GetParam().Rest);
  EXPECT_EQ(level.Hint(143, GetParam().Automatic), GetParam().Expected)
      << int{GetParam().Rest} << " " << int{GetParam().Pulse};
}

INSTANTIATE_TEST_SUITE_P(
    Swings, InputLevelHint,
    testing::Values(THintCase{128, 133, false, TInputLevel::THint::None},  // noise
                    THintCase{128, 134, false, TInputLevel::THint::BelowTrigger},
                    THintCase{128, 142, false, TInputLevel::THint::BelowTrigger},
                    THintCase{128, 143, false, TInputLevel::THint::None},
                    THintCase{128, 142, true, TInputLevel::THint::None},
                    THintCase{128, 123, false, TInputLevel::THint::None},  // noise
                    THintCase{128, 122, false, TInputLevel::THint::Inverted},
                    THintCase{128, 20, true, TInputLevel::THint::Inverted},
                    THintCase{140, 100, false, TInputLevel::THint::Inverted}));

// A peak stays for PeakHoldSeconds and then goes; inverting turns the values over.
TEST(InputLevel, HoldsPeaksForASecondAndAHalf) {
  TInputLevel level;
  const std::vector<uint8_t> loud = Pulses(220), quiet(Buffer, 128);
  level.Add(loud.data(), loud.size(), Rate, false);
  EXPECT_EQ(level.PeakHigh(), 220);
  level.Add(quiet.data(), quiet.size(), Rate, false);
  level.Add(quiet.data(), quiet.size(), Rate, false);
  EXPECT_EQ(level.PeakHigh(), 220);  // 1.5 s measured, the loud buffer among them
  level.Add(quiet.data(), quiet.size(), Rate, false);
  EXPECT_EQ(level.PeakHigh(), 128);
  level.Add(loud.data(), loud.size(), Rate, true);
  EXPECT_EQ(level.PeakLow(), 255 - 220);
  EXPECT_EQ(level.Resting(), 127);
  level.Add(nullptr, 10, Rate, false);  // ignored
  level.Add(loud.data(), loud.size(), 0, false);
  EXPECT_EQ(level.Resting(), 127);
  level.Reset();
  EXPECT_FALSE(level.Measured());
  EXPECT_EQ(level.PeakHigh(), TInputLevel::ZeroLine);
}
