// The sound-system contract, one test for both back-ends: the scripted one, and PortAudio
// recording from ALSA's file plugin (no sound card needed).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "AlsaFileDevice.h"
#include "TMessageQueue.h"
#include "TPortAudioSoundSystem.h"
#include "TScriptedSoundSystem.h"

namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
constexpr uint32_t BufferBytes = 4096;
constexpr size_t InputBytes = 16 * BufferBytes;
constexpr auto Patience = std::chrono::seconds(20);

// What the device records: bytes that tell their place, so that order and gaps show.
Bytes Input() {
  Bytes input(InputBytes);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return input;
}

// Each back-end, made ready to record Input(): Play hands it to the queued buffers.
template <typename T>
struct TBackEnd;
template <>
struct TBackEnd<TScriptedSoundSystem> {
  static std::unique_ptr<TScriptedSoundSystem> Make() {
    return std::make_unique<TScriptedSoundSystem>();
  }
  static void Play(TScriptedSoundSystem& Sound, size_t Count) { Sound.Feed(Input().data(), Count); }
};
template <>
struct TBackEnd<TPortAudioSoundSystem> {
  // The file plugin plays the whole input as fast as it is read; ALSA reads its configuration
  // once per process, before the first PortAudio start.
  struct TDevice {
    TDevice() {
      std::string pattern = (fs::temp_directory_path() / "vorlent-contract-XXXXXX").string();
      Dir = mkdtemp(pattern.data());
      const Bytes input = Input();
      std::ofstream(Dir / "input.raw", std::ios::binary)
          .write(reinterpret_cast<const char*>(input.data()), static_cast<long>(input.size()));
      UseAlsaFileDevice(Dir, Dir / "input.raw");
    }
    ~TDevice() { fs::remove_all(Dir); }
    fs::path Dir;
  };
  static std::unique_ptr<TPortAudioSoundSystem> Make() {
    static TDevice device;
    return std::make_unique<TPortAudioSoundSystem>();
  }
  static void Play(TPortAudioSoundSystem&, size_t) {}
};

template <typename T>
class SoundSystemContract : public ::testing::Test {
 protected:
  void SetUp() override {
    Sound = TBackEnd<T>::Make();
    TWaveFormatEx format;
    format.nSamplesPerSec = format.nAvgBytesPerSec = 48000;
    ASSERT_EQ(Sound->Open(&Handle, format, &Target), MMSYSERR_NOERROR);
    for (size_t i = 0; i < Headers.size(); ++i) {
      Headers[i].lpData = Data[i].data();
      Headers[i].dwBufferLength = BufferBytes;
    }
  }
  void TearDown() override {
    if (Sound) {
      EXPECT_EQ(Sound->Close(Handle), MMSYSERR_NOERROR);
    }
  }
  // The next buffer announced, or null when none comes in time.
  TWaveHdr* Next() {
    const auto deadline = std::chrono::steady_clock::now() + Patience;
    while (std::chrono::steady_clock::now() < deadline) {
      if (auto message = Target.Take())
        return message->Msg == MM_WIM_DATA ? message->LParam : nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return nullptr;
  }

  std::unique_ptr<T> Sound;
  TDeviceHandle Handle = 0;
  TMessageQueue Target;
  std::array<Bytes, 3> Data{Bytes(BufferBytes), Bytes(BufferBytes), Bytes(BufferBytes)};
  std::array<TWaveHdr, 3> Headers{};
};

using BackEnds = ::testing::Types<TScriptedSoundSystem, TPortAudioSoundSystem>;
TYPED_TEST_SUITE(SoundSystemContract, BackEnds);

// Only a prepared buffer is queued, and only once; a queued one cannot be unprepared; a
// reset hands it back once, marked done, and then it can.
TYPED_TEST(SoundSystemContract, QueueRules) {
  TWaveHdr& first = this->Headers[0];
  TWaveHdr& other = this->Headers[1];
  auto& sound = *this->Sound;
  EXPECT_EQ(sound.AddBuffer(this->Handle, &first), WAVERR_UNPREPARED);
  ASSERT_EQ(sound.PrepareHeader(this->Handle, &first), MMSYSERR_NOERROR);
  EXPECT_EQ(sound.AddBuffer(this->Handle, &first), MMSYSERR_NOERROR);
  EXPECT_EQ(sound.AddBuffer(this->Handle, &first), WAVERR_STILLPLAYING);
  EXPECT_EQ(sound.UnprepareHeader(this->Handle, &first), WAVERR_STILLPLAYING);
  EXPECT_EQ(sound.AddBuffer(this->Handle, &other), WAVERR_UNPREPARED);
  EXPECT_EQ(sound.Reset(this->Handle), MMSYSERR_NOERROR);
  EXPECT_EQ(this->Next(), &first);
  EXPECT_FALSE(this->Target.Take()) << "a buffer queued twice came back twice";
  EXPECT_EQ(first.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  EXPECT_EQ(sound.UnprepareHeader(this->Handle, &first), MMSYSERR_NOERROR);
  EXPECT_EQ(first.dwFlags & WHDR_PREPARED, 0u);
}

// Queued buffers are filled with the input in order, each announced full; a reset hands back
// the rest.
TYPED_TEST(SoundSystemContract, BuffersFillInTheOrderQueued) {
  auto& sound = *this->Sound;
  for (TWaveHdr& header : this->Headers) {
    ASSERT_EQ(sound.PrepareHeader(this->Handle, &header), MMSYSERR_NOERROR);
    ASSERT_EQ(sound.AddBuffer(this->Handle, &header), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(sound.Start(this->Handle), MMSYSERR_NOERROR);
  TBackEnd<TypeParam>::Play(sound, 2 * BufferBytes);
  const Bytes input = Input();
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(this->Next(), &this->Headers[i]) << i;
    EXPECT_EQ(this->Headers[i].dwBytesRecorded, BufferBytes);
    EXPECT_EQ(this->Data[i],
              Bytes(input.begin() + i * BufferBytes, input.begin() + (i + 1) * BufferBytes))
        << i;
  }
  EXPECT_EQ(sound.Reset(this->Handle), MMSYSERR_NOERROR);
  EXPECT_EQ(this->Next(), &this->Headers[2]);
  for (TWaveHdr& header : this->Headers)
    EXPECT_EQ(sound.UnprepareHeader(this->Handle, &header), MMSYSERR_NOERROR);
}
}  // namespace
