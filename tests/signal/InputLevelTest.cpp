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

}  // namespace

// The window's tests cover the hints; here their edges: noise, and a swing down that a
// small swing up does not hide.
TEST(InputLevel, HintsStartAtTheSignalMargin) {
  const std::vector<std::tuple<uint8_t, uint8_t, TInputLevel::THint>> cases = {
      {128, 133, TInputLevel::THint::None},     {128, 134, TInputLevel::THint::BelowTrigger},
      {128, 143, TInputLevel::THint::None},     {128, 123, TInputLevel::THint::None},
      {128, 122, TInputLevel::THint::Inverted}, {140, 100, TInputLevel::THint::Inverted}};
  for (auto [rest, pulse, hint] : cases) {
    TInputLevel level;
    const std::vector<uint8_t> data = Pulses(pulse, rest);
    level.Add(data.data(), data.size(), Rate, false);
    EXPECT_EQ(level.Hint(143, false), hint) << int{rest} << " " << int{pulse};
  }
}

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
