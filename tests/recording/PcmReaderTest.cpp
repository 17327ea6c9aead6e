#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "TPcmReader.h"
#include "TRecordingError.h"
#include "TWatchdog.h"
#include "TestFiles.h"

using namespace testfiles;

namespace {
Bytes ReadThrough(TPcmReader& Reader, size_t Step) {
  Bytes all, part(Step);
  while (size_t n = Reader.Read(part.data(), part.size()))
    all.insert(all.end(), part.begin(), part.begin() + n);
  return all;
}

// A float file at Rate: a step from 0 to Level for the middle third of Frames values.
void WriteStep(const std::string& Name, int Format, int Rate, int Channels, sf_count_t Frames,
               float Level) {
  SF_INFO info{};
  info.samplerate = Rate;
  info.channels = Channels;
  info.format = Format;
  SNDFILE* file = sf_open(Name.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  std::vector<float> frames(Frames * Channels, 0.0f);
  for (sf_count_t i = Frames / 3; i < 2 * Frames / 3; ++i) frames[i * Channels] = Level;
  for (sf_count_t i = 0; i < Frames; ++i)
    for (int c = 1; c < Channels; ++c) frames[i * Channels + c] = -0.5f;
  sf_writef_float(file, frames.data(), Frames);
  sf_close(file);
}
}  // namespace

TEST(PcmReader, EightBitMonoAt48kIsDeliveredByteForByte) {
  TempDir dir;
  Bytes data(100000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 300);
  WriteU8Wav(dir / "exact.wav", data);
  TPcmReader reader(dir / "exact.wav");
  EXPECT_TRUE(reader.Exact());
  EXPECT_EQ(reader.InputFrames, 100000);
  EXPECT_EQ(ReadThrough(reader, 65534), data);
  EXPECT_DOUBLE_EQ(reader.Progress(), 1.0);
}

TEST(PcmReader, OtherFormatsAreScaledAroundTheZeroLineAndClipped) {
  TempDir dir;
  struct Case {
    int Format, Rate, Channels;
    float Level;
    uint8_t High;
  };
  // 16-bit stereo at 48000 keeps the length; levels beyond full scale are clipped.
  for (const Case& c : {Case{SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 0.5f, 192},
                        Case{SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, 1.5f, 255},
                        Case{SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, -3.0f, 0}}) {
    std::string name = dir / "step.wav";
    WriteStep(name, c.Format, c.Rate, c.Channels, 3000, c.Level);
    TPcmReader reader(name);
    EXPECT_FALSE(reader.Exact());
    Bytes pcm = ReadThrough(reader, 1000);
    ASSERT_EQ(pcm.size(), 3000u);
    EXPECT_EQ(pcm[999], 128);
    EXPECT_EQ(pcm[1000], c.High);
    EXPECT_EQ(pcm[1999], c.High);
    EXPECT_EQ(pcm[2000], 128);
  }
}

TEST(PcmReader, ResamplesToFortyEightKilohertzWithoutOvershoot) {
  TempDir dir;
  for (int rate : {44100, 96000, 22050}) {
    std::string name = dir / "rate.wav";
    const sf_count_t frames = rate;  // one second
    WriteStep(name, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 1, frames, 0.5f);
    TPcmReader reader(name);
    Bytes pcm = ReadThrough(reader, 4096);
    SCOPED_TRACE(rate);
    EXPECT_NEAR(static_cast<double>(pcm.size()), 48000, 2);
    EXPECT_EQ(*std::max_element(pcm.begin(), pcm.end()), 192);
    EXPECT_EQ(*std::min_element(pcm.begin(), pcm.end()), 128);
    auto rise = std::find_if(pcm.begin(), pcm.end(), [](uint8_t v) { return v >= 143; });
    EXPECT_NEAR(static_cast<double>(rise - pcm.begin()), 16000, 1.5);
  }
}

TEST(PcmReader, UnreadableFilesNameTheFileAndTheReason) {
  TempDir dir;
  WriteText(dir / "garbage.wav", std::string(5000, 'x'));
  Bytes wav(1000, 128);
  WriteU8Wav(dir / "whole.wav", wav);
  Bytes header = ReadAll(dir / "whole.wav");
  header.resize(20);
  std::ofstream(dir / "truncated.wav", std::ios::binary)
      .write(reinterpret_cast<const char*>(header.data()), static_cast<long>(header.size()));
  WriteU8Wav(dir / "slow.wav", wav, 100);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir / "missing.wav", "No such file or directory"},
      {dir / "garbage.wav", "Format not recognised."},
      {dir / "truncated.wav", "Error in WAV/W64/RF64 file. Malformed 'fmt ' chunk."},
      {dir / "slow.wav", "unsupported sample rate 100 Hz"},
      {dir.Path.string(), "not a regular file but a folder"},
      {"/dev/null", "not a regular file but a device"},
      {dir / "pipe.wav", "not a regular file but a pipe (FIFO)"}};
  ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  TWatchdog watchdog(10);
  for (const auto& [name, reason] : cases) {
    try {
      TPcmReader reader(name);
      ADD_FAILURE() << name << " opened";
    } catch (const TRecordingError& e) {
      EXPECT_EQ(e.Reason, reason);
      EXPECT_EQ(std::string(e.what()), name + ": " + reason);
    }
  }
}

TEST(PcmReader, AFileWhoseDataIsCutShortDeliversWhatIsThereAndSaysSo) {
  TempDir dir;
  Bytes data(5000, 200);
  WriteU8Wav(dir / "cut.wav", data);
  fs::resize_file(dir / "cut.wav", fs::file_size(dir / "cut.wav") - 1000);
  TPcmReader reader(dir / "cut.wav");
  EXPECT_EQ(reader.EndsEarly(), "");
  Bytes pcm = ReadThrough(reader, 65534);
  EXPECT_EQ(pcm, Bytes(4000, 200));
  EXPECT_EQ(reader.EndsEarly(), "the file ends early at 0:00:00.083 (of 0:00:00.104)");
}

TEST(PcmReader, AnEmptyRecordingDeliversNothing) {
  TempDir dir;
  WriteU8Wav(dir / "empty.wav", {});
  TPcmReader reader(dir / "empty.wav");
  uint8_t byte;
  EXPECT_EQ(reader.Read(&byte, 1), 0u);
  EXPECT_EQ(reader.Progress(), 0.0);
}

TEST(PcmReader, EightBitStereoAt48kGivesTheFirstChannelsBytes) {
  TempDir dir;
  WriteStep(dir / "stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 2, 3000, 0.5f);
  TPcmReader reader(dir / "stereo.wav");
  EXPECT_TRUE(reader.Exact());
  Bytes pcm = ReadThrough(reader, 65534);
  Bytes expected(3000, 128);
  std::fill(expected.begin() + 1000, expected.begin() + 2000, 192);
  EXPECT_EQ(pcm, expected);
}
