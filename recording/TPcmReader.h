#pragma once
// Reads an audio file as the capture would have recorded it: mono, 8-bit unsigned PCM at
// 48000 Hz, 128 the zero line, in a stream of any length with bounded memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TDecodeSettings.h"
#include "TRegularFile.h"

struct sf_private_tag;
struct SRC_STATE_tag;

class TPcmReader {
 public:
  static constexpr int OutputRate = TDecodeSettings::SampleRate;  // Hz
  static constexpr size_t ChunkFrames = 16384;                    // input frames read at a time

  // Opens FileName (any format libsndfile reads). Throws TRecordingError with the file's
  // name and the reason when it is no regular file or cannot be read (libsndfile's words),
  // or for an unsupported rate.
  explicit TPcmReader(const std::string& FileName);
  TPcmReader(const TPcmReader&) = delete;
  TPcmReader& operator=(const TPcmReader&) = delete;

  // Writes up to Count PCM bytes to Out; fewer only at the end of the file (0 then).
  // Throws TRecordingError when reading fails part-way (what was read stays delivered).
  size_t Read(uint8_t* Out, size_t Count);
  // Share of the file's sound delivered so far, 0..1 (0 while the length is unknown, 1 at
  // the end).
  double Progress() const;
  // True when the file's bytes are delivered unchanged (8-bit PCM at 48000 Hz); otherwise
  // the first channel is resampled and scaled.
  bool Exact() const { return ExactBytes; }
  // Once Read has returned 0: "the file ends early at 0:00:01.250 (of 0:00:04.000)" when the
  // file holds less sound than its header promises (or, in Ogg, its stream has no end);
  // "" for a whole file and before the end.
  std::string EndsEarly() const;

  int InputRate = 0;  // Hz
  int Channels = 0;
  int64_t InputFrames = 0;  // as the file's header tells; 0 when unknown

 private:
  bool Refill();
  bool Cut() const;
  size_t ReadExactChunk();
  size_t ReadFloatChunk();
  void Resample(const float* In, size_t Frames, bool Last);
  void Quantize(const float* In, size_t Frames);
  [[noreturn]] void Fail(const std::string& Reason) const;

  struct TFileCloser {
    void operator()(sf_private_tag* File) const;
  };
  struct TConverterDeleter {
    void operator()(SRC_STATE_tag* Converter) const;
  };

  std::string FileName;
  TRegularFile Input;  // libsndfile reads through its descriptor; closed after File
  std::unique_ptr<sf_private_tag, TFileCloser> File;
  int64_t DeclaredFrames = 0;  // the header's promise; 0 when it makes none
  bool StreamEndMissing = false;
  int64_t FramesRead = 0;  // input frames libsndfile delivered
  std::unique_ptr<SRC_STATE_tag, TConverterDeleter> Converter;
  bool ExactBytes = false;
  bool InputEnded = false;
  int64_t Delivered = 0;            // PCM bytes handed out by Read
  std::vector<short> ShortFrames;   // interleaved input of the exact path
  std::vector<float> FloatFrames;   // interleaved input of the converting path
  std::vector<float> Mono;          // first channel
  std::vector<float> Resampled;     // first channel at OutputRate
  std::vector<float> ConverterOut;  // one call's output of the converter
  size_t ConverterDelay = 0;        // output values still to drop: the converter's lag
  std::vector<uint8_t> Pending;     // converted bytes not yet delivered
  size_t PendingAt = 0;
};
