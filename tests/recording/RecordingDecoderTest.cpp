#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "TIrSynth.h"
#include "TRecordingDecoder.h"
#include "TRecordingError.h"
#include "TTimeTexts.h"
#include "TestFiles.h"

using namespace testfiles;

namespace {
constexpr size_t N = 65534;  // one capture buffer

std::vector<std::unique_ptr<TSample>> DecodeFile(const std::string& Name, bool Invert = false) {
  TRecordingDecoder::TOptions options;
  options.InvertInput = Invert;
  TRecordingDecoder decoder(options);
  return decoder.Decode(Name).Samples;
}

// A handful of frames of four protocols, 120 ms apart, as the cross-format tests use them.
TIrSynth FourProtocols() {
  TIrSynth synth;
  synth.Quiet(30000);
  for (const auto& frame : {TIrSynth::Nec(0x04, 0x08), TIrSynth::Sony12(0x15, 0x01),
                            TIrSynth::Rc5(false, 5, 0x35), TIrSynth::Samsung32(7, 7, 2)}) {
    synth.Frame(frame);
    synth.Quiet(120000);
  }
  return synth;
}
}  // namespace

TEST(RecordingDecoder, PacketsKeepTheirPlaceInTheStream) {
  TempDir dir;
  Bytes pcm(3 * N + 1000, 128);
  Put(pcm, 500, 50, 200);         // first buffer
  Put(pcm, N + 10000, 30, 200);   // second buffer
  Put(pcm, 2 * N - 20, 40, 200);  // across the second and third buffers
  WriteU8Wav(dir / "three.wav", pcm);
  auto samples = DecodeFile(dir / "three.wav");
  ASSERT_EQ(samples.size(), 3u);
  const int64_t triggers[] = {500, N + 10000, 2 * N - 20};
  const uint16_t highs[] = {50, 30, 40};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(samples[i]->StreamIndex, triggers[i]);
    EXPECT_DOUBLE_EQ(samples[i]->CaptureTime, triggers[i] / 48000.0 / 86400.0);
    EXPECT_EQ(samples[i]->Pulses, (std::vector<uint16_t>{120, highs[i], 239}));
  }
  EXPECT_FLOAT_EQ(samples[1]->Gap, static_cast<float>((N + 10000 - 549) / 48000.0L));
}

TEST(RecordingDecoder, TheEndOfTheFileClosesTheLastPacket) {
  TempDir dir;
  struct Case {
    size_t Length, At, Count;
  };
  // Ending 100 values before the end of a partial buffer; active up to the very last value
  // of a partial buffer; active up to the last value of a whole buffer.
  for (const Case& c :
       {Case{N + 5000, N + 4800, 100}, Case{5000, 4900, 100}, Case{2 * N, 2 * N - 70, 70}}) {
    Bytes pcm(c.Length, 128);
    Put(pcm, c.At, c.Count, 220);
    WriteU8Wav(dir / "end.wav", pcm);
    TRecordingDecoder decoder;
    auto result = decoder.Decode(dir / "end.wav");
    ASSERT_EQ(result.Samples.size(), 1u) << c.Length;
    const TSample& s = *result.Samples[0];
    EXPECT_EQ(s.StreamIndex, static_cast<int64_t>(c.At));
    EXPECT_FLOAT_EQ(s.Duration, static_cast<float>(c.Count / 48000.0L));
    EXPECT_EQ(s.Pulses, (std::vector<uint16_t>{120, static_cast<uint16_t>(c.Count), 239}));
    EXPECT_EQ(result.StreamLength, static_cast<int64_t>(c.Length));
  }
}

TEST(RecordingDecoder, InvertTurnsDipsIntoPackets) {
  TempDir dir;
  Bytes pcm(20000, 128);
  Put(pcm, 1000, 60, 0);
  Put(pcm, 9000, 30, 20);
  WriteU8Wav(dir / "dips.wav", pcm);
  EXPECT_TRUE(DecodeFile(dir / "dips.wav").empty());
  auto samples = DecodeFile(dir / "dips.wav", true);
  ASSERT_EQ(samples.size(), 2u);
  EXPECT_EQ(samples[0]->Signal[120], 255);
  EXPECT_EQ(samples[0]->Signal[0], 127);
  EXPECT_EQ(samples[1]->Pulses, (std::vector<uint16_t>{120, 30, 239}));
}

TEST(RecordingDecoder, EachFileGetsAFreshProcessor) {
  TempDir dir;
  Bytes open(N, 128), late(N, 128);
  Put(open, N - 10, 10, 200);  // the packet ends with the file
  Put(late, 3000, 20, 200);
  WriteU8Wav(dir / "open.wav", open);
  WriteU8Wav(dir / "late.wav", late);
  TRecordingDecoder decoder;
  ASSERT_EQ(decoder.Decode(dir / "open.wav").Samples.size(), 1u);
  auto samples = decoder.Decode(dir / "late.wav").Samples;
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0]->StreamIndex, 3000);
  EXPECT_FLOAT_EQ(samples[0]->Gap, 3000 / 48000.0f);
}

TEST(RecordingDecoder, StreamsPacketsReportsProgressAndCanBeCancelled) {
  TempDir dir;
  Bytes pcm(5 * N, 128);
  for (size_t at = 1000; at < pcm.size(); at += 10000) Put(pcm, at, 40, 200);
  WriteU8Wav(dir / "many.wav", pcm);

  TRecordingDecoder decoder;
  std::vector<int64_t> triggers;
  std::vector<double> progress;
  decoder.OnSample = [&](std::unique_ptr<TSample> s) { triggers.push_back(s->StreamIndex); };
  decoder.OnProgress = [&](double f) {
    progress.push_back(f);
    return true;
  };
  auto result = decoder.Decode(dir / "many.wav");
  EXPECT_TRUE(result.Samples.empty());
  EXPECT_EQ(result.SampleCount, 33u);
  ASSERT_EQ(triggers.size(), 33u);
  EXPECT_EQ(triggers[32], 321000);
  ASSERT_EQ(progress.size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(progress[i], (i + 1) / 5.0);

  decoder.OnProgress = [&](double f) { return f < 0.3; };
  triggers.clear();
  result = decoder.Decode(dir / "many.wav");
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(triggers.size(), 13u);  // the packets closed in the first two buffers
}

TEST(RecordingDecoder, AStuckHighLineGivesFullLengthPacketsAndEnds) {
  TempDir dir;
  Bytes pcm(3 * N, 230);
  WriteU8Wav(dir / "stuck.wav", pcm);
  auto samples = DecodeFile(dir / "stuck.wav");
  // Each buffer opens a packet at its first value (margin 128) that is cut when full.
  ASSERT_EQ(samples.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(samples[i]->Signal.size(), 65535u);
    EXPECT_EQ(samples[i]->StreamIndex, static_cast<int64_t>(i * N));
  }
}

TEST(RecordingDecoder, AnUnreadableFileThrowsItsNameAndReason) {
  TempDir dir;
  WriteText(dir / "noise.wav", "RIFF....WAVEfmt garbage");
  TRecordingDecoder decoder;
  EXPECT_THROW(
      {
        try {
          decoder.Decode(dir / "noise.wav");
        } catch (const TRecordingError& e) {
          EXPECT_EQ(std::string(e.what()),
                    dir / "noise.wav: Error in WAV/W64/RF64 file. Malformed 'fmt ' chunk.");
          throw;
        }
      },
      TRecordingError);
}

TEST(RecordingDecoder, EveryFormatGivesTheSamePackets) {
  TempDir dir;
  TIrSynth synth = FourProtocols();
  struct Format {
    std::string Name;
    int Type, Rate, Channels;
  };
  const std::vector<Format> formats = {
      {"u8-48k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1},
      {"s16-44k1-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
      {"float-96k.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1},
      {"s24-32k.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 32000, 1},
      {"s16-48k.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 48000, 1}};
  std::vector<std::vector<std::unique_ptr<TSample>>> decoded;
  for (const Format& f : formats) {
    synth.Write(dir / f.Name, f.Type, f.Rate, f.Channels);
    decoded.push_back(DecodeFile(dir / f.Name));
  }
  for (size_t k = 0; k < formats.size(); ++k) {
    SCOPED_TRACE(formats[k].Name);
    ASSERT_EQ(decoded[k].size(), synth.FrameStarts.size());
    // An edge moves by up to a sample of the file's rate and one of the 48 kHz grid; a run
    // has two edges.
    const double inputSample = 48000.0 / formats[k].Rate;
    const double off = std::max(2.0, inputSample + 1), runOff = std::max(2.0, 2 * inputSample);
    for (size_t i = 0; i < decoded[k].size(); ++i) {
      const TSample& s = *decoded[k][i];
      const TSample& ref = *decoded[0][i];
      EXPECT_NEAR(static_cast<double>(s.StreamIndex), synth.FrameStarts[i] * 48000, off);
      ASSERT_EQ(s.Pulses.size(), ref.Pulses.size()) << "packet " << i;
      for (size_t r = 1; r + 1 < s.Pulses.size(); ++r)
        EXPECT_LE(std::abs(s.Pulses[r] - ref.Pulses[r]), runOff) << "packet " << i << " run " << r;
    }
  }
}

// A file cut short keeps the packets before the cut and says where it ends and, where the
// header tells, how long it should have been; a whole file of the same kind says nothing.
struct Container {
  std::string Name;
  int Type, Rate;
};
class CutRecording : public ::testing::TestWithParam<Container> {};

TEST_P(CutRecording, DecodesUpToTheCutAndSaysWhere) {
  TempDir dir;
  TIrSynth synth;  // long enough for a few Ogg pages
  for (int i = 0; i < 12; ++i) {
    synth.Frame(TIrSynth::Nec(0x04, static_cast<uint8_t>(i)));
    synth.Quiet(150000);
  }
  const std::string whole = dir / ("whole." + GetParam().Name);
  const std::string cut = dir / ("cut." + GetParam().Name);
  synth.Write(whole, GetParam().Type, GetParam().Rate, 1);
  TRecordingDecoder decoder;
  const TRecordingDecoder::TResult full = decoder.Decode(whole);
  EXPECT_EQ(full.EndsEarly, "");
  ASSERT_EQ(full.Samples.size(), 12u);

  fs::copy_file(whole, cut);
  fs::resize_file(cut, fs::file_size(whole) * 6 / 10);
  const TRecordingDecoder::TResult part = decoder.Decode(cut);
  ASSERT_GE(part.Samples.size(), 4u);
  ASSERT_LT(part.Samples.size(), 12u);
  for (size_t i = 0; i < part.Samples.size(); ++i)
    EXPECT_NEAR(part.Samples[i]->StreamIndex, full.Samples[i]->StreamIndex, 2) << i;
  const double at = part.StreamLength / 48000.0, rate = GetParam().Rate;
  const double frames = std::ceil(synth.LengthSeconds() * rate);
  const std::string expected =
      "the file ends early at " + TTimeTexts::ClockText(at) +
      (GetParam().Name == "ogg" ? " (the rest of the stream is missing)"
                                : " (of " + TTimeTexts::ClockText(frames / rate) + ")");
  // The cut is told to the input frame; the stream at 48 kHz may hold a few values more.
  EXPECT_EQ(part.EndsEarly.substr(0, 26), expected.substr(0, 26));
  EXPECT_EQ(part.EndsEarly.substr(34), expected.substr(34));
  EXPECT_LT(std::abs(std::stod(part.EndsEarly.substr(28, 6)) - std::fmod(at, 60)), 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, CutRecording,
    ::testing::Values(Container{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},
                      Container{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000},
                      Container{"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 32000},
                      Container{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000}),
    [](const auto& Info) { return Info.param.Name; });
