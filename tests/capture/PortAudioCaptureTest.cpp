// Records a prepared file through the real path: ALSA's file plugin as the default capture
// device, PortAudio, TWaveIn and TSignalProcessor. Needs no sound card.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AlsaFileDevice.h"
#include "TMessageQueue.h"
#include "TSignalProcessor.h"

namespace fs = std::filesystem;

namespace {
constexpr size_t BufferSize = TSignalProcessor::BufferSize;
constexpr int BuffersRecorded = 3;
constexpr auto Patience = std::chrono::seconds(30);

struct Packet {
  size_t At;
  std::vector<std::pair<uint8_t, size_t>> Runs;  // value, count
};

// The recording: quiet 128 with packets at known places; padded with silence at the end,
// since the file plugin repeats its last bytes once the file is used up.
std::vector<uint8_t> Recording(const std::vector<Packet>& packets) {
  std::vector<uint8_t> pcm(BufferSize * (BuffersRecorded + 4), 128);
  for (const auto& packet : packets) {
    size_t at = packet.At;
    for (auto [value, count] : packet.Runs)
      for (size_t i = 0; i < count; ++i) pcm[at++] = value;
  }
  return pcm;
}
}  // namespace

TEST(PortAudioCapture, PacketsOfAPreparedRecordingArriveExactly) {
  std::string pattern = (fs::temp_directory_path() / "vorlent-alsa-XXXXXX").string();
  fs::path dir = mkdtemp(pattern.data());
  // NEC-like runs, a second packet 480 quiet values later, one across a buffer boundary.
  std::vector<Packet> packets = {
      {10000, {{220, 432}, {128, 216}, {210, 27}, {128, 81}, {230, 27}}},
      {10783 + 480, {{200, 27}, {128, 27}, {200, 27}}},
      {BufferSize - 50, {{240, 100}, {128, 30}, {240, 20}}},
  };
  auto pcm = Recording(packets);
  std::ofstream(dir / "input.raw", std::ios::binary)
      .write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
  UseAlsaFileDevice(dir, dir / "input.raw");

  TMessageQueue window;
  std::vector<std::string> errors;
  TSignalProcessor processor;
  processor.OnError = [&](const std::string& text) { errors.push_back(text); };
  processor.Init(&window, 48000);  // the real sound system
  ASSERT_TRUE(processor.WaveIn->Ready) << processor.WaveIn->LastError;
  processor.StartRecording();
  ASSERT_TRUE(errors.empty()) << errors.front();
  ASSERT_TRUE(processor.WaveIn->Recording);

  auto deadline = std::chrono::steady_clock::now() + Patience;
  while (processor.BuffersProcessed < BuffersRecorded &&
         std::chrono::steady_clock::now() < deadline) {
    if (auto message = window.Take())
      processor.ProcessBuffer(*message);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  processor.StopRecording();
  while (auto message = window.Take()) processor.ProcessBuffer(*message);  // handed back: unread
  fs::remove_all(dir);

  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_FALSE(processor.WaveIn->DeviceOpen);
  ASSERT_GE(processor.BuffersProcessed, BuffersRecorded);
  ASSERT_EQ(processor.Samples.size(), 3u);
  EXPECT_EQ(processor.Samples[0]->Pulses, (std::vector<uint16_t>{120, 432, 216, 27, 81, 27, 239}));
  EXPECT_EQ(processor.Samples[0]->StreamIndex, 10000);
  EXPECT_EQ(processor.Samples[0]->Gap, static_cast<float>(10000.0L / 48000));
  EXPECT_EQ(processor.Samples[1]->Pulses, (std::vector<uint16_t>{120, 27, 27, 27, 239}));
  EXPECT_EQ(processor.Samples[1]->Gap, static_cast<float>(481.0L / 48000));
  EXPECT_EQ(processor.Samples[2]->Pulses, (std::vector<uint16_t>{120, 100, 30, 20, 239}));
  EXPECT_EQ(processor.Samples[2]->Duration, processor.SamplesToSeconds(150));
}
