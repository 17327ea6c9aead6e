// Sends through the real sound path: PortAudio playing into ALSA's file plugin (which writes
// what it is given to a file), and that file, through the LEDs and the receiver, decoded back.
// Its own process, so that the ALSA configuration it sets is the first one read.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "LibraryPath.h"
#include "LoopBack.h"
#include "TPortAudioOutput.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* Config = R"(pcm.!default {
    type file
    slave.pcm { type null }
    file { @func getenv vars [ IR_TEST_OUTFILE ] default "/dev/null" }
    format "raw"
}
)";

TCarrierRenderer::TPcm ReadRaw(const fs::path& File, unsigned Rate) {
  std::ifstream in(File, std::ios::binary);
  TCarrierRenderer::TPcm pcm;
  pcm.Rate = Rate;
  int16_t value = 0;
  while (in.read(reinterpret_cast<char*>(&value), sizeof value)) pcm.Samples.push_back(value);
  if (pcm.Samples.size() % 2) pcm.Samples.pop_back();
  return pcm;
}
}  // namespace

TEST(AlsaPlayback, WhatIsPlayedDecodesAsSent) {
  std::string pattern = (fs::temp_directory_path() / "vorlent-play-XXXXXX").string();
  const fs::path dir = mkdtemp(pattern.data());
  std::ofstream(dir / "asound.conf") << Config;
  setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
  setenv("IR_TEST_OUTFILE", (dir / "played.raw").c_str(), 1);

  TLoopBack loop(ShippedLibrary(), ShippedLibrary(), dir.string());
  const TIrSignal signal = loop.Source().FromFields("NEC", {{"address", 4}, {"command", 8}});
  const TCarrierRenderer::TOptions options;
  const TCarrierRenderer::TPcm sent = TCarrierRenderer::Render(signal, options);
  {
    TPortAudioOutput output;
    ASSERT_FALSE(output.OutputDevices().empty());
    const std::atomic<bool> stop = false;
    ASSERT_EQ(output.Play("", sent.Rate, sent.Samples, stop), "");
    EXPECT_NE(output.Play("no such card", sent.Rate, sent.Samples, stop), "");
  }
  const TCarrierRenderer::TPcm played = ReadRaw(dir / "played.raw", sent.Rate);
  ASSERT_GE(played.Samples.size(), sent.Samples.size());
  // The device gets every sample as rendered (ALSA may pad the last period with silence).
  EXPECT_TRUE(std::equal(sent.Samples.begin(), sent.Samples.end(), played.Samples.begin()));
  const std::vector<TInterval> light = TLedReceiver::Light(played, options.Mode, false);
  const std::vector<uint8_t> recorded =
      TLedReceiver::Record(TLedReceiver::Marks(light, TLedReceiver::MinStretchUs),
                           static_cast<double>(played.Frames()) / played.Rate);
  const std::vector<TDecoded> decoded = loop.Decode(recorded);
  ASSERT_EQ(decoded.size(), 1u);
  EXPECT_EQ(decoded[0].Name, "NEC");
  EXPECT_EQ(FieldText(decoded[0].Fields),
            "address=0x4; address_inv=0xFB; command=0x8; command_inv=0xF7; ");
  fs::remove_all(dir);
}
