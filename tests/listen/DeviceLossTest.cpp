#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "TListener.h"
#include "TProtocolRecognition.h"
#include "TScriptedSoundSystem.h"

namespace {
struct TLossCase {
  const char* Name;
  bool OpenFailsAfterLoss;
  std::vector<std::string> Log;  // stderr, line by line
};

class DeviceLoss : public testing::TestWithParam<TLossCase> {};

// A device that stops delivering buffers is noticed within about 2 s; the listener says so once,
// then opens it again every 3 s, quietly, until it records again (said too). Scripted back-end:
// it is opened, started, and never fills a buffer.
TEST_P(DeviceLoss, IsReportedAndOpenedAgainUntilItIsBack) {
  auto sound = std::make_unique<TScriptedSoundSystem>();
  TScriptedSoundSystem* scripted = sound.get();
  std::ostringstream out, err;
  TProtocolRecognition engine;
  TListener listener(out, err, engine, {}, {});
  ASSERT_TRUE(listener.Start(std::move(sound)));
  if (GetParam().OpenFailsAfterLoss)
    scripted->Fail(TScriptedSoundSystem::Op::Open, MMSYSERR_NODRIVER);
  std::atomic<bool> stop = false;
  const auto started = std::chrono::steady_clock::now();
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5800));
    stop = true;
  });
  listener.Run(stop);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(7));
  std::vector<std::string> lines;
  std::istringstream text(err.str());
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  EXPECT_EQ(lines, GetParam().Log);
  const size_t opens = std::count(scripted->Log.begin(), scripted->Log.end(), "open");
  EXPECT_EQ(opens, 2u);  // at the start, and once 3 s after the loss
}

const std::string Silent = std::string("vorlent-listen: ") + TSignalProcessor::DeviceSilentText;
const std::string Lost =
    "vorlent-listen: the sound device is lost; opening it again every 3 seconds until it is back";

INSTANTIATE_TEST_SUITE_P(
    Devices, DeviceLoss,
    testing::Values(TLossCase{"ComesBack",
                              false,
                              {Silent, Lost, "vorlent-listen: the sound device records again"}},
                    TLossCase{"StaysAway", true, {Silent, Lost}}),
    [](const auto& Case) { return std::string(Case.param.Name); });
}  // namespace
