#pragma once
// Codes drawn as the capture would record them from a perfect receiver: 8-bit PCM at 48 kHz,
// marks high, spaces on the zero line, each signal followed by silence.

#include <cstdint>
#include <vector>

#include "TRecordingDecoder.h"

class TEnvelopeSource : public TRecordingDecoder::TSource {
 public:
  static constexpr uint8_t MarkLevel = 200;               // well above the trigger level
  static constexpr double MaxRunMicros = 1e6;             // a longer run is cut to this
  static constexpr double MinSilenceAfterMicros = 50000;  // after every signal
  // A phototransistor at the line input lengthens marks and shortens spaces by about this
  // much, and the protocol library is centred on what it captures: durations as sent get it
  // added when drawn, and measured ones lose it when exported.
  static constexpr double ReceiverShiftMicros = 20;

  // Appends a signal: Durations in us, mark first, alternating; AsSent applies the
  // receiver's shift. At least MinSilenceAfter us of silence follow it. Returns the index of its
  // first mark in the stream.
  int64_t Add(const std::vector<double>& Durations, bool AsSent,
              double MinSilenceAfter = MinSilenceAfterMicros);
  // The signal (in the order added) whose stream range holds Index; -1 before the first.
  int Signal(int64_t Index) const;
  // Values of the whole stream.
  int64_t Length() const { return Total; }

  size_t Read(uint8_t* Out, size_t Count) override;
  double Progress() const override;

 private:
  // A run in four bytes (a long capture holds millions): its values, high when a mark. A run
  // longer than MaxRunSamples is held as several.
  struct TRun {
    static constexpr uint32_t MarkBit = uint32_t{1} << 31;
    uint32_t Value;  // MarkBit | samples
    bool Mark() const { return Value & MarkBit; }
    int64_t Samples() const { return Value & ~MarkBit; }
  };
  static constexpr int64_t MaxRunSamples = TRun::MarkBit - 1;
  void Append(bool Mark, double Micros);

  std::vector<TRun> Runs;
  std::vector<int64_t> Starts;  // first mark of each signal
  double Micros = 0;            // time drawn so far
  int64_t Total = 0;            // values drawn so far
  size_t RunAt = 0;             // reading: the run being delivered
  int64_t RunDone = 0;          // values of it already delivered
  int64_t Delivered = 0;
};
