#include <gtest/gtest.h>

#include <stdexcept>

#include "TCaptureDevice.h"
#include "TIrSynth.h"
#include "TMessageQueue.h"
#include "TScriptedSoundSystem.h"
#include "TSignalProcessor.h"
#include "TestFiles.h"

namespace {
const std::vector<TCaptureDevice> Devices = {
    {0, "HDA Intel PCH: ALC892 Analog (hw:0,0)", 44100, false},
    {3, "USB Audio Device: - (hw:1,0)", 48000, false},
    {7, "default", 48000, true},
};

std::string Found(const std::string& Choice) {
  try {
    return TCaptureDevice::Find(Devices, Choice).Name;
  } catch (const std::invalid_argument& e) {
    return std::string("error: ") + e.what();
  }
}
}  // namespace

class CaptureDeviceChoice : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(CaptureDeviceChoice, FindsByNumberNameOrOnePartOfAName) {
  EXPECT_EQ(Found(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, CaptureDeviceChoice,
    testing::Values(std::pair{"3", "USB Audio Device: - (hw:1,0)"}, std::pair{"default", "default"},
                    std::pair{"usb audio", "USB Audio Device: - (hw:1,0)"},
                    std::pair{"hw:0", "HDA Intel PCH: ALC892 Analog (hw:0,0)"},
                    std::pair{"4", "error: no recording device has the number 4"},
                    std::pair{"99999999999", "error: no recording device is named \"99999999999\""},
                    std::pair{"hw:",
                              "error: \"hw:\" fits several recording devices: \"HDA Intel "
                              "PCH: ALC892 Analog (hw:0,0)\", \"USB Audio Device: - (hw:1,0)\""},
                    std::pair{"", "error: the device name is empty"}));

// The same recording cut by processors with different buffers: the same packets, each at
// the same place (the window's 65534-byte buffers and the listener's short ones).
TEST(ShortCaptureBuffers, CutTheSamePacketsAsTheWindowsBuffers) {
  testfiles::TempDir dir;
  TIrSynth synth;
  synth.Quiet(3000);
  for (uint8_t command : {8, 16, 2}) {
    synth.Frame(TIrSynth::Nec(4, command));
    synth.Quiet(40000);
    synth.Frame(TIrSynth::Rc5(command & 1, 5, command));
    synth.Quiet(5100);  // just over the silence that ends a packet
  }
  synth.Write(dir / "r.raw", SF_FORMAT_RAW | SF_FORMAT_PCM_U8, 48000, 1);
  std::ifstream in(dir / "r.raw", std::ios::binary);
  std::vector<uint8_t> pcm((std::istreambuf_iterator<char>(in)), {});
  pcm.resize(pcm.size() + 2 * TSignalProcessor::BufferSize, 128);

  auto cut = [&pcm](int Size) {
    auto sound = std::make_unique<TScriptedSoundSystem>();
    TScriptedSoundSystem* scripted = sound.get();
    TMessageQueue queue;
    TSignalProcessor processor;
    processor.CaptureBufferSize = Size;
    processor.MarginAcrossBuffers = Size < TSignalProcessor::BufferSize;
    processor.Init(&queue, 48000, std::move(sound));
    processor.StartRecording();
    for (size_t at = 0, size = static_cast<size_t>(Size); at + size <= pcm.size(); at += size) {
      scripted->Feed(pcm.data() + at, size);
      while (auto message = queue.Take()) processor.ProcessBuffer(*message);
    }
    std::vector<std::tuple<int64_t, std::vector<uint16_t>, float>> packets;
    for (const auto& s : processor.Samples) packets.emplace_back(s->StreamIndex, s->Pulses, s->Gap);
    return packets;
  };
  const auto window = cut(TSignalProcessor::BufferSize);
  ASSERT_EQ(window.size(), 6u);
  for (int size : {2400, 1000, 241}) EXPECT_EQ(cut(size), window) << size << "-byte buffers";
}
