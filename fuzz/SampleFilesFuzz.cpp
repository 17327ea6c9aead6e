// Fuzzes the sample files: the input is split into a ".map" and its ".dat" (the first two
// bytes, little-endian, give the map's length), read back as the window's Load does. A pair
// that reads must keep the packet invariants, decode against the shipped library and survive
// a save of its packed signals (as the window keeps them) and a second read unchanged; one that
// does not must fail with a TFileError.

#include <algorithm>
#include <cstring>

#include "TDecodeSettings.h"
#include "TFileError.h"
#include "TFuzzFile.h"
#include "TProtocolRecognition.h"
#include "TSampleChecks.h"
#include "TShippedDecoder.h"

namespace {
constexpr size_t LengthBytes = 2;

void RequireSame(const TSample& A, const TSample& B) {
  std::vector<uint8_t> a, b;
  const bool same = A.SignalValues(a) == B.SignalValues(b) && A.Pulses == B.Pulses &&
                    std::memcmp(&A.Duration, &B.Duration, sizeof A.Duration) == 0 &&
                    std::memcmp(&A.Gap, &B.Gap, sizeof A.Gap) == 0 &&
                    std::memcmp(&A.CaptureTime, &B.CaptureTime, sizeof A.CaptureTime) == 0;
  if (!same) {
    std::fprintf(stderr, "invariant broken: a saved pair reads back as it was\n");
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < LengthBytes) return 0;
  const size_t mapLength = std::min<size_t>(Data[0] | (Data[1] << 8), Size - LengthBytes);
  TFuzzFile map("pair.map", Data + LengthBytes, mapLength);
  TFuzzFile dat("pair.dat", Data + LengthBytes + mapLength, Size - LengthBytes - mapLength);
  TSignalProcessor processor;
  processor.SampleRate = TDecodeSettings::SampleRate;
  try {
    processor.LoadSamples(map.Path);
  } catch (const TFileError&) {
    return 0;
  }
  for (const auto& sample : processor.Samples) {
    TSampleChecks::CheckCut(*sample);
    TShippedDecoder::Get().Decode(*sample);
    TSampleChecks::CheckDecoded(*sample);
    sample->PackSignal();
  }
  const std::string copy = TFuzzFile::Beside("copy");
  processor.SaveSamples(copy);
  const auto again = processor.ReadSamples(copy + ".map");
  std::remove((copy + ".map").c_str());
  std::remove((copy + ".dat").c_str());
  if (again.size() != processor.Samples.size()) std::abort();
  for (size_t i = 0; i < again.size(); ++i) RequireSame(*processor.Samples[i], *again[i]);
  return 0;
}
