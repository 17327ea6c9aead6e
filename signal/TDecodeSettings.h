#pragma once
// How packets are cut from the signal and matched against the protocol library: the values
// both front ends start from, and what the user may change. Plain values; never fails.

#include <cstdint>

struct TDecodeSettings {
  static constexpr uint16_t SampleRate = 48000;  // Hz of capture, processing and decoding
  static constexpr const char* LibraryFileName = "protocols.xml";
  static constexpr double DefaultToleranceMicros = 50;

  double ToleranceMicros = DefaultToleranceMicros;  // each duration is matched within +- this
  bool InvertInput = false;                         // the receiver idles high and dips

  // The tolerance as the decoder takes it: the single nearest to ToleranceMicros x 1e-6.
  float ToleranceSeconds() const { return static_cast<float>(ToleranceMicros / 1e6); }
};
