#pragma once
// The decoder the fuzz targets share: the shipped library at the capture rate and the default
// tolerance, loaded once per process.

#include <memory>

#include "TDecodeSettings.h"
#include "TProtocolRecognition.h"

class TShippedDecoder {
 public:
  // The one decoder; a library that cannot be loaded leaves it empty (every packet unknown).
  static TProtocolRecognition& Get() {
    static const auto engine = [] {
      auto e = std::make_unique<TProtocolRecognition>();
      e->SampleRate = TDecodeSettings::SampleRate;
      e->SetTolerance(TDecodeSettings{}.ToleranceSeconds());
      e->LoadProtocols(VORLENT_SHIPPED_LIBRARY);
      return e;
    }();
    return *engine;
  }
};
