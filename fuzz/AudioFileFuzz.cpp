// Fuzzes the audio-file path: any bytes as a recording (WAV, FLAC, AIFF, Ogg, ... as libsndfile
// detects them), decoded into packets as vorlent-decode does. A file either decodes, with every
// packet keeping the invariants, or fails with a TRecordingError naming it.

#include <string>

#include "TFuzzFile.h"
#include "TRecordingDecoder.h"
#include "TRecordingError.h"
#include "TSampleChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TFuzzFile recording("recording", Data, Size);
  TRecordingDecoder decoder;
  decoder.OnSample = [](std::unique_ptr<TSample> Sample) { TSampleChecks::CheckCut(*Sample); };
  try {
    decoder.Decode(recording.Path);
  } catch (const TRecordingError& e) {
    if (std::string(e.what()).find(recording.Path) == std::string::npos) std::abort();
  }
  return 0;
}
