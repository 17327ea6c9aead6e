#include "TPcmReader.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "TContainerLength.h"
#include "TRecordingError.h"
#include "TTimeTexts.h"

namespace {
// libsamplerate's linear interpolation. A real converter never delivers a hard edge: its
// anti-alias filter spreads every edge over a sample or more, and interpolation that follows
// that slope puts the trigger crossing where the 48 kHz capture would have seen it. A
// zero-order hold (each input value moved onto the 48 kHz grid) adds up to one input period of
// jitter to every edge instead. Measured with receiver_grid on every protocol of the library
// (typical receiver recorded at 44.1 kHz, 16-bit): zero-order hold 68 % right, linear 87 %,
// sinc (fastest) 88 %, against 88 % when recorded at 48 kHz; with hard edges 81, 99 and 99 %.
// Linear never overshoots the values it joins and is the fastest but one, so it is used. It
// lags one input period, so that many output values are dropped at the start.
constexpr int ConverterType = SRC_LINEAR;
constexpr float FullScale = 128.0f;  // 8-bit steps from the zero line to full scale
constexpr int ZeroLine = 128;
constexpr const char* EndsEarlyText = "the file ends early at ";
constexpr const char* StreamEndMissingText = " (the rest of the stream is missing)";
constexpr int ShortToByteShift = 8;  // 8-bit PCM read as short is the byte shifted up by 8

bool IsEightBit(int Format) {
  int sub = Format & SF_FORMAT_SUBMASK;
  return sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_S8;
}

uint8_t ToByte(float X) {
  if (std::isnan(X)) return ZeroLine;
  long level = std::lrint(std::clamp(X, -1.0f, 1.0f) * FullScale) + ZeroLine;
  return static_cast<uint8_t>(std::clamp(level, 0L, 255L));
}
}  // namespace

void TPcmReader::TFileCloser::operator()(sf_private_tag* Opened) const {
  sf_close(Opened);
}
void TPcmReader::TConverterDeleter::operator()(SRC_STATE_tag* Made) const {
  src_delete(Made);
}

TPcmReader::TPcmReader(const std::string& Name) : FileName(Name), Input(Name) {
  if (!Input.IsOpen()) Fail(Input.Reason());
  SF_INFO info{};
  File.reset(sf_open_fd(Input.Fd(), SFM_READ, &info, SF_FALSE));
  if (!File) Fail(sf_strerror(nullptr));
  InputRate = info.samplerate;
  Channels = info.channels;
  InputFrames = info.frames > 0 && info.frames < SF_COUNT_MAX ? info.frames : 0;
  // libsndfile trims a WAV's or AIFF's length to the data present; the header still tells.
  DeclaredFrames =
      std::max(InputFrames, TContainerLength::DeclaredFrames(Input.Fd(), Input.Size()).value_or(0));
  StreamEndMissing = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG &&
                     TContainerLength::OggEndMissing(Input.Fd(), Input.Size());
  if (Channels < 1) Fail("no audio channel");
  ExactBytes = InputRate == OutputRate && IsEightBit(info.format);
  if (ExactBytes) return;
  if (InputRate != OutputRate) {
    double ratio = static_cast<double>(OutputRate) / InputRate;
    if (InputRate <= 0 || !src_is_valid_ratio(ratio))
      Fail("unsupported sample rate " + std::to_string(InputRate) + " Hz");
    int error = 0;
    Converter.reset(src_new(ConverterType, 1, &error));
    if (!Converter) Fail(src_strerror(error));
    constexpr size_t OutputMargin = 64;  // frames beyond the ratio's share, for rounding
    ConverterOut.resize(static_cast<size_t>(std::ceil(ChunkFrames * ratio)) + OutputMargin);
    ConverterDelay = static_cast<size_t>(std::nearbyint(ratio));
  }
}

void TPcmReader::Fail(const std::string& Reason) const {
  throw TRecordingError(FileName, Reason);
}

size_t TPcmReader::Read(uint8_t* Out, size_t Count) {
  size_t done = 0;
  while (done < Count) {
    if (PendingAt == Pending.size() && !Refill()) break;
    size_t n = std::min(Count - done, Pending.size() - PendingAt);
    std::memcpy(Out + done, Pending.data() + PendingAt, n);
    PendingAt += n;
    done += n;
  }
  Delivered += static_cast<int64_t>(done);
  return done;
}

// A decoder that fails where the file stops short of its header's length (FLAC loses sync
// there) has met the cut, which EndsEarly reports; any other failure is a read error.
bool TPcmReader::Cut() const {
  return FramesRead > 0 && FramesRead < DeclaredFrames;
}

std::string TPcmReader::EndsEarly() const {
  if (!InputEnded || InputRate <= 0) return "";
  const std::string at = EndsEarlyText + TTimeTexts::ClockText(double(FramesRead) / InputRate);
  if (FramesRead < DeclaredFrames)
    return at + " (of " + TTimeTexts::ClockText(double(DeclaredFrames) / InputRate) + ")";
  return StreamEndMissing ? at + StreamEndMissingText : "";
}

double TPcmReader::Progress() const {
  if (InputEnded && PendingAt == Pending.size()) return Delivered > 0 || InputFrames > 0 ? 1 : 0;
  if (InputFrames <= 0) return 0;
  double expected = static_cast<double>(InputFrames) * OutputRate / InputRate;
  return std::min(1.0, static_cast<double>(Delivered) / expected);
}

// Converts the next chunk of the file into Pending; false once nothing is left.
bool TPcmReader::Refill() {
  Pending.clear();
  PendingAt = 0;
  while (Pending.empty() && !InputEnded) {
    size_t frames = ExactBytes ? ReadExactChunk() : ReadFloatChunk();
    if (frames == 0) InputEnded = true;
  }
  return !Pending.empty();
}

size_t TPcmReader::ReadExactChunk() {
  ShortFrames.resize(ChunkFrames * Channels);
  sf_count_t frames = sf_readf_short(File.get(), ShortFrames.data(), ChunkFrames);
  if (frames <= 0 && sf_error(File.get()) != SF_ERR_NO_ERROR && !Cut())
    Fail(sf_strerror(File.get()));
  if (frames <= 0) return 0;
  FramesRead += frames;
  Pending.resize(frames);
  for (sf_count_t i = 0; i < frames; ++i)
    Pending[i] = static_cast<uint8_t>((ShortFrames[i * Channels] >> ShortToByteShift) + ZeroLine);
  return frames;
}

size_t TPcmReader::ReadFloatChunk() {
  FloatFrames.resize(ChunkFrames * Channels);
  sf_count_t frames = sf_readf_float(File.get(), FloatFrames.data(), ChunkFrames);
  if (frames <= 0 && sf_error(File.get()) != SF_ERR_NO_ERROR && !Cut())
    Fail(sf_strerror(File.get()));
  if (frames < 0) frames = 0;
  FramesRead += frames;
  Mono.resize(frames);
  for (sf_count_t i = 0; i < frames; ++i) Mono[i] = FloatFrames[i * Channels];
  bool last = frames == 0;
  if (!Converter) {
    Quantize(Mono.data(), Mono.size());
  } else {
    Resample(Mono.data(), Mono.size(), last);
    Quantize(Resampled.data(), Resampled.size());
  }
  return frames;
}

// Converts Frames input values to OutputRate into Resampled; Last flushes the converter.
void TPcmReader::Resample(const float* In, size_t Frames, bool Last) {
  const double ratio = static_cast<double>(OutputRate) / InputRate;
  std::vector<float>& out = ConverterOut;
  Resampled.clear();
  SRC_DATA data{};
  data.data_in = In;
  data.input_frames = static_cast<long>(Frames);
  data.src_ratio = ratio;
  data.end_of_input = Last ? 1 : 0;
  for (;;) {
    data.data_out = out.data();
    data.output_frames = static_cast<long>(out.size());
    if (int error = src_process(Converter.get(), &data)) Fail(src_strerror(error));
    size_t generated = static_cast<size_t>(data.output_frames_gen);
    size_t late = std::min(ConverterDelay, generated);
    ConverterDelay -= late;
    Resampled.insert(Resampled.end(), out.begin() + static_cast<long>(late),
                     out.begin() + static_cast<long>(generated));
    data.data_in += data.input_frames_used;
    data.input_frames -= data.input_frames_used;
    bool inputLeft = data.input_frames > 0;
    if (!inputLeft && (!Last || data.output_frames_gen == 0)) break;
  }
}

void TPcmReader::Quantize(const float* In, size_t Frames) {
  size_t at = Pending.size();
  Pending.resize(at + Frames);
  for (size_t i = 0; i < Frames; ++i) Pending[at + i] = ToByte(In[i]);
}
