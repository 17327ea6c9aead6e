#pragma once
// The way back from the sound card's output to a decoded packet: the light of the LEDs as
// wired for the mode (the rectified output), a demodulating receiver that outputs a mark
// where the carrier is present (each mark stretched as such receivers do), that output
// recorded as 48 kHz 8-bit PCM and decoded by the program's own capture path.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DecodeRig.h"
#include "TCarrierRenderer.h"
#include "TDefinition.h"
#include "TSignalSource.h"
#include "TestRandom.h"

struct TInterval {
  double Start = 0, End = 0;  // seconds
};

class TLedReceiver {
 public:
  static constexpr double LightThreshold = 0.5;  // of the brightest light: a pulse is seen
  static constexpr double MaxPulseGapUs = 60;    // longer without a pulse ends a burst
  static constexpr double MinStretchUs = 50, MaxStretchUs = 150;
  static constexpr uint8_t MarkLevel = 200;
  static constexpr double RecordRate = 48000;
  static constexpr int Oversampling = 8;  // the converter's analog output, modelled

  // The bursts of light Pcm sends through LEDs wired for Mode: where the light passes the
  // receiver's threshold, or (Whole) from the first pulse's start to the last one's end.
  // Never reads outside Pcm.
  static std::vector<TInterval> Light(const TCarrierRenderer::TPcm& Pcm,
                                      TCarrierRenderer::TMode Mode, bool Whole);
  // The receiver's marks for Light: each burst, its end StretchUs later.
  static std::vector<TInterval> Marks(const std::vector<TInterval>& Light, double StretchUs);
  // Marks as 48 kHz 8-bit PCM (128 between marks, edges by the share of the sample covered).
  static std::vector<uint8_t> Record(const std::vector<TInterval>& Marks, double Seconds);
};

// One code sent and what came back.
struct TLoopResult {
  std::string Protocol;
  TSignalSource::TFieldValues Sent;
  std::string Refused;            // why the renderer refused the carrier; "" when sent
  std::vector<TDecoded> Decoded;  // every packet recorded
  double TimingErrorPeriods = 0;  // largest edge error of the light, in carrier periods
  bool RunsMatch = false;         // as many bursts of light as marks sent
  // Each mark's light as the receiver sees it (above its threshold) less the mark sent, us.
  std::vector<double> SeenLengthErrorUs;
  double StretchUs = 0;  // the receiver's mark stretch
  bool Ok() const;       // one packet, the protocol and fields sent
  // Why a code did not come back ("" when it did): refused, nothing decoded, several packets,
  // read as another protocol (named), or the protocol with other fields.
  std::string Cause() const;
  std::string Text() const;  // for failure messages
};

class TLoopBack {
 public:
  // One code per recording: an ending silence long enough for the frames with the longest
  // spaces (Jerrold and PCTV: 15 ms and more) closes no other frame early.
  static constexpr double EndSilenceMillis = 25;

  // Library: the protocol library file the codes are drawn from; Decoding: the one they are
  // decoded with. Wav: a folder for the WAV files each code goes through.
  TLoopBack(const std::string& Library, const std::string& Decoding, std::string WavFolder);

  // Sends Protocol with random field values (inside a field's plausible range where the library
  // gives one: a remote outside it is not that protocol's) under Options: rendered, written to a
  // WAV file and read back, through the LEDs and the receiver (stretch drawn from Random unless
  // StretchUs >= 0), decoded.
  TLoopResult Send(const std::string& Protocol, const TCarrierRenderer::TOptions& Options,
                   TTestRandom& Random, double StretchUs = -1);
  // The decode of a recording Pcm (48 kHz 8-bit) as the capture path delivers it.
  std::vector<TDecoded> Decode(const std::vector<uint8_t>& Pcm);
  const TSignalSource& Source() const { return *Signals; }

 private:
  std::unique_ptr<TSignalSource> Signals;
  uint64_t Draw(const std::string& Protocol, const TSignalSource::TField& Field,
                TTestRandom& Random) const;

  std::unique_ptr<TDecodeRig> Rig;
  std::string Folder;
  // protocol -> field -> the values its remotes send
  std::map<std::string, std::map<std::string, TDefinition::TRange>> Plausible;
};
