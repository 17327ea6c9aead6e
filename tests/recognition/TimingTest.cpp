// MatchTiming: the fit window, taking the front of a run, carried remainders and the notation.

#include <charconv>
#include <cmath>
#include <cstring>

#include "RecognitionFixture.h"
#include "TRunWindow.h"
#include "TTimingPattern.h"

namespace {

struct TState {
  uint16_t Cursor;
  uint16_t Remainder;
  uint16_t Position;
  bool operator==(const TState&) const = default;
};

void PrintTo(const TState& State, std::ostream* Out) {
  *Out << "{cursor " << State.Cursor << ", remainder " << State.Remainder << ", position "
       << State.Position << "}";
}

class TimingTest : public RecognitionFixture {
 protected:
  // Runs Pattern against Runs from State; returns the success and leaves the state in After.
  bool Match(const std::string& Pattern, const std::vector<uint16_t>& Runs, TState State,
             TState& After) {
    RunsInUse = Runs;
    Engine.CurrentPulses = &RunsInUse;
    Engine.Cursor = State.Cursor;
    Engine.Remainder = State.Remainder;
    uint16_t position = State.Position;
    const bool matched = Engine.MatchTiming(Pattern, position);
    After = {Engine.Cursor, Engine.Remainder, position};
    return matched;
  }

  std::vector<uint16_t> RunsInUse;
};

TEST_F(TimingTest, ToleranceIsRateTimesSecondsJustUnderTwoPointFour) {
  EXPECT_EQ(Engine.Tolerance, 48000.0f * 0.00005f);
  EXPECT_LT(Engine.Tolerance, 2.4f);
  EXPECT_GT(Engine.Tolerance, 2.3999f);
}

// 560 us is 26.88 samples: runs of 25 to 29 fit, 24 is too short, 30 too long. A two-duration
// pattern needs its first duration to fit, so 30 fails there too.
TEST_F(TimingTest, FitWindowIsExclusiveAtBothEnds) {
  for (uint16_t run = 20; run <= 34; ++run) {
    TState after{};
    const bool fits = run >= 25 && run <= 29;
    EXPECT_EQ(Match("#560_560", {0, run, 27}, {1, 0, 100}, after), fits) << "run " << run;
    const TState expected = fits ? TState{3, 0, static_cast<uint16_t>(100 + run + 27)}
                                 : TState{1, 0, 100};  // a failure changes nothing
    EXPECT_EQ(after, expected) << "run " << run;
  }
}

// t - Tolerance and t + Tolerance are compared exactly, not rounded to singles first: 550 us is
// 26.3999996 samples, so the window opens at 23.9999995 and 24 fits (24.0 as a single would turn
// it away); 575 us is 27.6000004 samples, the window closes at 30.0000005 and 30 fits.
TEST_F(TimingTest, WindowEndsAreExactSums) {
  const std::tuple<const char*, uint16_t, bool> cases[] = {
      {"#550_560", 23, false}, {"#550_560", 24, true}, {"#575_560", 30, true},
      {"#575_560", 31, false}, {"#75_560", 5, true},   {"#75_560", 6, false},  // 3.6 + 2.4 is 6
  };
  for (const auto& [pattern, run, fits] : cases) {
    TState after{};
    EXPECT_EQ(Match(pattern, {0, run, 27}, {1, 0, 0}, after), fits) << pattern << " run " << run;
  }
}

// At 32768 Hz, 152.587890625 us is exactly 5 samples and 2^-14 s exactly 2 samples, so the window
// ends fall on whole runs: 3 and 7 lie outside it.
TEST_F(TimingTest, WindowEndsThemselvesDoNotFit) {
  Engine.SampleRate = 32768;
  Engine.SetTolerance(1.0f / 16384);
  for (uint16_t run = 2; run <= 8; ++run) {
    TState after{};
    EXPECT_EQ(Match("#152.587890625_152.587890625", {0, run, 5}, {1, 0, 0}, after),
              run >= 4 && run <= 6)
        << "run " << run;
  }
}

// t = d x 10^-6 x rate is worked out in extended precision, left to right, and rounded once to a
// single. This d (exact in binary) puts t a hair above 26.5 + 2^-20, halfway between two singles:
// dividing by 10^6 in double precision loses the hair and gives 26.5 (advance 26, remainder 34);
// the single just above 26.5 gives an advance of 27 and a remainder of 33.
TEST_F(TimingTest, DurationIsRoundedOnceToASingle) {
  TState after{};
  ASSERT_TRUE(
      Match("#552.083353201548334254766814410686492919921875", {0, 60, 5}, {1, 0, 0}, after));
  EXPECT_EQ(after, (TState{1, 33, 27}));
}

// Every duration is the extended-precision number nearest to its decimal text, short or long.
TEST(TimingPatternTest, DurationsAreTheNearestExtendedNumbers) {
  const char* numbers[] = {"0.1",
                           "889",
                           "1690.3",
                           "26.88",
                           "0.0000000000000000001",
                           "9999999999999999999",
                           "1234567890.123456789",
                           "1234567890.1234567891",
                           "552.083353201548334254766814410686492919921875"};
  for (const char* number : numbers) {
    long double expected = 0;
    std::from_chars(number, number + std::strlen(number), expected);
    bool highFirst = false;
    std::vector<long double> durations;
    ASSERT_TRUE(TTimingPattern::Parse(std::string("#") + number, ".", 8, highFirst, durations));
    EXPECT_EQ(durations, std::vector<long double>{expected}) << number;
  }
}

TEST_F(TimingTest, OneDurationTakesTheFrontOfALongerRun) {
  TState after{};
  ASSERT_TRUE(Match("#889", {0, 85, 300}, {1, 0, 10}, after));
  EXPECT_EQ(after, (TState{1, 42, 10 + 43}));
  // The rest of the run keeps its level: a low pattern fails, a high one fits the remainder.
  EXPECT_FALSE(Match("_889", {0, 85, 300}, after, after));
  ASSERT_TRUE(Match("#889", {0, 85, 300}, {1, 42, 53}, after));
  EXPECT_EQ(after, (TState{2, 0, 53 + 42}));
}

TEST_F(TimingTest, OnlyTheLastOfSeveralDurationsTakesTheFront) {
  TState after{};
  EXPECT_FALSE(Match("#889_889", {0, 85, 43, 300}, {1, 0, 10}, after));
  EXPECT_EQ(after, (TState{1, 0, 10}));
  ASSERT_TRUE(Match("#889_889", {0, 43, 85, 300}, {1, 0, 10}, after));
  EXPECT_EQ(after, (TState{2, 42, 10 + 43 + 43}));
  EXPECT_FALSE(Match("#444_889_444", {0, 21, 85, 21}, {1, 0, 0}, after)) << "middle is whole";
}

TEST_F(TimingTest, RoomAndLevelAreCheckedFirst) {
  TState after{};
  EXPECT_FALSE(Match("#560_560", {0, 27}, {1, 0, 0}, after)) << "one run short";
  EXPECT_FALSE(Match("_560", {0, 27, 27}, {1, 0, 0}, after)) << "cursor on a high run";
  EXPECT_TRUE(Match("_560", {0, 27, 27}, {2, 0, 0}, after));
  EXPECT_FALSE(Match("#560", {0, 27}, {2, 0, 0}, after)) << "cursor past the end";
  EXPECT_FALSE(Match("#560", {}, {0, 0, 0}, after));
  Engine.CurrentPulses = nullptr;
  uint16_t position = 0;
  EXPECT_FALSE(Engine.MatchTiming("#560", position));
}

TEST_F(TimingTest, RemaindersAndAdvancesRoundHalvesToEven) {
  // At 32000 Hz, 46.875 us is exactly 1.5 samples and 78.125 us exactly 2.5 samples.
  Engine.SampleRate = 32000;
  Engine.SetTolerance(0.00001f);  // 0.32 samples
  TState after{};
  ASSERT_TRUE(Match("#46.875", {0, 10, 5}, {1, 0, 0}, after));
  EXPECT_EQ(after, (TState{1, 8, 2})) << "8.5 -> 8, 1.5 -> 2";
  ASSERT_TRUE(Match("#78.125", {0, 10, 5}, {1, 0, 0}, after));
  EXPECT_EQ(after, (TState{1, 8, 2})) << "7.5 -> 8, 2.5 -> 2";
}

// With a tolerance under half a sample a remainder can round to nothing; the run is then used up
// instead of being read again whole by the next pattern.
TEST_F(TimingTest, RemainderRoundingToNothingUsesTheRunUp) {
  Engine.SetTolerance(0.000002f);  // 0.096 samples
  TState after{};
  ASSERT_TRUE(Match("#560", {0, 27, 27}, {1, 0, 0}, after));
  EXPECT_EQ(after, (TState{2, 0, 27}));
  EXPECT_TRUE(Match("_560", {0, 27, 27}, after, after));
}

struct TNotationCase {
  const char* Pattern;
  bool Valid;
};

// Each pattern is tried against a high run of 27 and a low run of 81 samples (560 and 1690 us).
TEST_F(TimingTest, NotationOfTimingPatterns) {
  const TNotationCase cases[] = {
      {"#560_1690", true},
      {"#560#1690", true},                // separators carry no level
      {"#560\n1690", true},               // a line break separates
      {" \t\r\n#560_1690 \t\r\n", true},  // white space and control characters trimmed
      {"\x01#560_1690\x7f", true},
      {"#  560 _ 1690  ", true},     // spaces around numbers
      {"#_560__1690_", true},        // empty items dropped
      {"#\n  560\n  1690\n", true},  // indented lines
      {"#0560.000_1690.", true},     // fractions, leading zeros
      {"#0000000000000000000000000000000000000000000000000000000000000000000560.5000000000000000"
       "000000000000000000000000000000000000000000000000000000_1690",
       true},  // zeros that carry no digit do not count towards a number's length
      {"#.560e3_1690", false},
      {"#560\t_1690", false},  // an inner tab
      {"#5 60_1690", false},   // a space inside the number
      {"#560_+1690", false},
      {"#560_-1690", false},
      {"#560_1690x", false},
      {"#560,0_1690", false},  // not this locale's separator
      {"#", false},            // no duration
      {"", false},
      {"560_1690", false},  // starts low, the cursor is on a high run
  };
  for (const auto& test : cases) {
    TState after{};
    EXPECT_EQ(Match(test.Pattern, {0, 27, 81, 27}, {1, 0, 0}, after), test.Valid)
        << "pattern \"" << test.Pattern << "\"";
    if (test.Valid) {
      EXPECT_EQ(after, (TState{3, 0, 27 + 81}));
    }
  }
}

TEST_F(TimingTest, FractionsUseTheConfiguredSeparator) {
  TState after{};
  Engine.SetDecimalSeparator(",");
  EXPECT_TRUE(Match("#560,5_1690", {0, 27, 81}, {1, 0, 0}, after));
  EXPECT_FALSE(Match("#560.5_1690", {0, 27, 81}, {1, 0, 0}, after));
  Engine.SetDecimalSeparator("");
  EXPECT_FALSE(Match("#560,5_1690", {0, 27, 81}, {1, 0, 0}, after));
  EXPECT_TRUE(Match("#560_1690", {0, 27, 81}, {1, 0, 0}, after));
}

// Without an override the separator is the C locale's, "." here (the test never sets a locale).
TEST_F(TimingTest, SeparatorDefaultsToTheLocales) {
  TProtocolRecognition engine;
  engine.SampleRate = Rate;
  engine.SetTolerance(ToleranceSeconds);
  const std::vector<uint16_t> runs{0, 27, 81};
  engine.CurrentPulses = &runs;
  engine.Cursor = 1;
  uint16_t position = 0;
  EXPECT_TRUE(engine.MatchTiming("#560.5_1690", position));
  EXPECT_EQ(position, 27 + 81);
}

TEST_F(TimingTest, AbsurdNumbersFailWithoutHarm) {
  TState after{};
  const std::string huge = "#" + std::string(400, '9');
  EXPECT_FALSE(Match(huge, {0, 27, 81}, {1, 0, 0}, after));
  EXPECT_FALSE(Match("#99999999999999999999_1690", {0, 27, 81}, {1, 0, 0}, after));
  EXPECT_TRUE(Match("#0", {0, 27, 81}, {1, 0, 0}, after)) << "0 us takes nothing of the run";
  EXPECT_EQ(after, (TState{1, 27, 0}));
}

// The one window check of both passes: both ends exclusive, a NaN fits nothing, and only a
// pattern's last duration may take the front of a longer run.
TEST(RunWindow, EndsAreExclusiveAndOnlyTheLastTakesAFront) {
  using enum TRunWindow::TFit;
  const struct {
    double Length, Expected, Window;
    TRunWindow::TFit Fit;
  } cases[] = {{10, 12, 2, TooShort},  {10.001, 12, 2, Fits},   {13.999, 12, 2, Fits},
               {14, 12, 2, TooLong},   {40, 12, 2, TooLong},    {NAN, 12, 2, TooShort},
               {12, NAN, 2, TooShort}, {12, 12, NAN, TooShort}, {12, 12, 0, TooShort}};
  for (const auto& test : cases) {
    EXPECT_EQ(TRunWindow::Classify(test.Length, test.Expected, test.Window), test.Fit)
        << test.Length << " against " << test.Expected << " +- " << test.Window;
  }
  EXPECT_TRUE(TRunWindow::MayTakeFront(0, 1));
  EXPECT_TRUE(TRunWindow::MayTakeFront(2, 3));
  EXPECT_FALSE(TRunWindow::MayTakeFront(0, 2));
}

}  // namespace
