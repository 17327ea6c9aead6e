#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>

#include "TStopSignals.h"

namespace {
class StopSignals : public testing::TestWithParam<int> {};

// The first signal only asks the loop to stop; the second one ends the program as before.
TEST_P(StopSignals, TheFirstAsksToStopTheSecondEnds) {
  const int signal = GetParam();
  EXPECT_EXIT(
      {
        const std::atomic<bool>& stop = TStopSignals::Install();
        if (stop) _exit(1);
        raise(signal);
        if (!stop) _exit(2);
        fprintf(stderr, "asked to stop\n");
        raise(signal);
        _exit(3);
      },
      testing::KilledBySignal(signal), "asked to stop");
}

INSTANTIATE_TEST_SUITE_P(Both, StopSignals, testing::Values(SIGINT, SIGTERM));
}  // namespace
