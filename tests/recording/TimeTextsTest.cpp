#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "TTimeTexts.h"

TEST(TimeTexts, NiceTimePeriodRoundsToOneDecimalInMsUpToOneSecond) {
  const std::vector<std::pair<float, std::string>> cases = {
      {0.0f, "0ms"},   {0.00056f, "0.6ms"},  {0.00904f, "9ms"},     {0.0125f, "12.5ms"},
      {0.1f, "100ms"}, {0.99999f, "1000ms"}, {1.0f, "1000ms"},      {1.04f, "1s"},
      {1.26f, "1.3s"}, {12.34f, "12.3s"},    {0.0050625f, "5.1ms"}, {3600.04f, "3600s"},
      {1.75f, "1.8s"}, {2.25f, "2.2s"}};  // 17.5 and 22.5 tenths: halves to even
  for (const auto& [seconds, text] : cases)
    EXPECT_EQ(TTimeTexts::niceTimePeriod(seconds), text) << seconds;
}

TEST(TimeTexts, NiceTimePeriodOfHugeAndInvalidValuesHasNoExponent) {
  EXPECT_EQ(TTimeTexts::niceTimePeriod(1e20f), "100000002004087734272s");
  EXPECT_EQ(TTimeTexts::niceTimePeriod(-0.5f), "-500ms");
  EXPECT_EQ(TTimeTexts::niceTimePeriod(std::numeric_limits<float>::quiet_NaN()), "nanms");
}

TEST(TimeTexts, TimeTextRoundsTheSinglePrecisionTimeHalvesToEven) {
  const std::vector<std::pair<uint16_t, std::string>> cases = {
      {27, "562"}, {3, "63"},      {15, "312"}, {81, "1688"},
      {24, "500"}, {480, "10000"}, {0, "0"},    {65535, "1365312"}};
  for (const auto& [count, text] : cases) EXPECT_EQ(TTimeTexts::TimeText(count, 48000), text);
}

TEST(TimeTexts, ClockTextCountsHoursPastADay) {
  EXPECT_EQ(TTimeTexts::ClockText(0), "0:00:00.000");
  EXPECT_EQ(TTimeTexts::ClockText(62.5), "0:01:02.500");
  EXPECT_EQ(TTimeTexts::ClockText(3725.25), "1:02:05.250");
  EXPECT_EQ(TTimeTexts::ClockText(90000), "25:00:00.000");
  EXPECT_EQ(TTimeTexts::ClockText(59.9996), "0:01:00.000");
  EXPECT_EQ(TTimeTexts::ClockText(-1), "-:--:--.---");
  EXPECT_EQ(TTimeTexts::ClockText(std::numeric_limits<double>::infinity()), "-:--:--.---");
}

TEST(TimeTexts, TimeOfDayDropsTheDateAndWrapsAtMidnight) {
  EXPECT_EQ(TTimeTexts::TimeOfDayText(0.5), "12:00:00.000");
  EXPECT_EQ(TTimeTexts::TimeOfDayText(1.75), "18:00:00.000");
  EXPECT_EQ(TTimeTexts::TimeOfDayText(-0.25), "18:00:00.000");
  EXPECT_EQ(TTimeTexts::TimeOfDayText(0.999999999999), "0:00:00.000");
  EXPECT_EQ(TTimeTexts::TimeOfDayText((10 * 3600 + 7 * 60 + 3.042) / 86400.0), "10:07:03.042");
  EXPECT_EQ(TTimeTexts::TimeOfDayText(std::nan("")), "-:--:--.---");
}
