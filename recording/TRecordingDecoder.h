#pragma once
// Decodes a recording (an audio file) into packets: the file's sound, as the capture would
// have recorded it, runs buffer by buffer through a fresh signal processor, exactly as live
// input does.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TDecodeSettings.h"
#include "U_sample.h"

class TRecordingDecoder {
 public:
  static constexpr uint16_t SampleRate = TDecodeSettings::SampleRate;  // Hz of the samples

  struct TOptions {
    bool InvertInput = false;  // the processor's "Invert input"
  };
  struct TResult {
    std::vector<std::unique_ptr<TSample>> Samples;  // only when OnSample is not assigned
    size_t SampleCount = 0;                         // packets closed
    int64_t StreamLength = 0;                       // PCM values of the file at SampleRate
    bool Cancelled = false;                         // OnProgress asked to stop
  };
  // Receives each packet as soon as it is closed; its StreamIndex is the trigger's index
  // from the start of the file and its CaptureTime that offset as a time of day.
  using TSampleEvent = std::function<void(std::unique_ptr<TSample> Sample)>;
  // Receives the share of the file read so far (0..1) after every buffer; false cancels.
  using TProgressEvent = std::function<bool(double Fraction)>;
  // Sound as the capture records it (8-bit PCM at SampleRate, 128 the zero line) from
  // anywhere: a recording, or codes drawn as clean envelopes.
  class TSource {
   public:
    virtual ~TSource() = default;
    // Writes up to Count values to Out; fewer only at the end (0 then). Throws on a failure.
    virtual size_t Read(uint8_t* Out, size_t Count) = 0;
    // Share of the sound delivered so far, 0..1.
    virtual double Progress() const = 0;
  };

  TRecordingDecoder() = default;
  explicit TRecordingDecoder(TOptions Options) : Options(Options) {}

  // Cuts the sound of FileName into packets. Throws TRecordingError ("name: reason") for a
  // file that cannot be read; packets closed before a read error have been handed out.
  TResult Decode(const std::string& FileName);
  // Cuts the sound of Source into packets in the same way; throws what Source throws.
  TResult Decode(TSource& Source);

  TSampleEvent OnSample;
  TProgressEvent OnProgress;

 private:
  TOptions Options{};
};
