#include <gtest/gtest.h>

#include <sstream>

#include "TProgressBar.h"

namespace {
struct FakeClock {
  double Now = 100;
  TProgressBar::TClock Clock() {
    return [this] { return Now; };
  }
};
}  // namespace

TEST(ProgressBar, StaysSilentWhenNotATerminalOrWhenTheWorkIsShort) {
  FakeClock clock;
  std::ostringstream out;
  {
    TProgressBar off(out, false, "x", clock.Clock());
    clock.Now += 10;
    off.Update(0.1);
    TProgressBar quick(out, true, "x", clock.Clock());
    clock.Now += 0.4;
    quick.Update(0.5);  // too early
    clock.Now += 0.2;
    quick.Update(0.9);  // 0.6 s for 90 %: done in well under 2 s
    EXPECT_FALSE(quick.Shown());
  }
  EXPECT_EQ(out.str(), "");
}

TEST(ProgressBar, DrawsLongWorkThrottledAndClearsItsLine) {
  FakeClock clock;
  std::ostringstream out;
  {
    TProgressBar bar(out, true, "vorlent-decode: long.wav", clock.Clock());
    clock.Now += 0.6;
    bar.Update(0.1);  // 6 s expected: shown
    clock.Now += 0.05;
    bar.Update(0.2);  // too soon after the last drawing
    clock.Now += 0.1;
    bar.Update(1.0);
    EXPECT_TRUE(bar.Shown());
  }
  const std::string clear = "\r\033[K";
  EXPECT_EQ(out.str(),
            clear + "vorlent-decode: long.wav [###...........................] 10%" + clear +
                "vorlent-decode: long.wav [##############################] 100%" + clear);
}
