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
#include "TSample.h"

class TRecordingDecoder {
 public:
  static constexpr uint16_t SampleRate = TDecodeSettings::SampleRate;  // Hz of the samples

  // How the processor cuts (level, ending silence, "Invert input"); the decoder's own
  // settings (tolerance, second pass) are the caller's to apply to its engine.
  struct TOptions : TDecodeSettings {
    TOptions() = default;
    // Implicit, so that a decoder can be made from the settings alone.
    TOptions(const TDecodeSettings& Settings) : TDecodeSettings(Settings) {}
  };
  struct TResult {
    std::vector<std::unique_ptr<TSample>> Samples;  // only when OnSample is not assigned
    size_t SampleCount = 0;                         // packets closed
    int64_t StreamLength = 0;                       // PCM values of the file at SampleRate
    bool Cancelled = false;                         // OnProgress asked to stop
    // "the file ends early at 0:00:01.250 (of 0:00:04.000)" when the file holds less than
    // its header promises: the packets up to the cut are there all the same. "" otherwise.
    std::string EndsEarly;
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
    // After the last Read: where and why the sound ended before its announced length; "" when
    // it was whole.
    virtual std::string EndsEarly() const { return ""; }
  };

  TRecordingDecoder() = default;
  explicit TRecordingDecoder(TOptions Chosen) : Options(Chosen) {}

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
