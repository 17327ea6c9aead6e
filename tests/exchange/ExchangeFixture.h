#pragma once
// The shipped library loaded as both front ends load it, and helpers that run drawn codes
// through the signal processor and the decoder.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "LibraryPath.h"
#include "TCodeLibrary.h"
#include "TDecodeSettings.h"
#include "TEnvelopeSource.h"
#include "TProtocolRecognition.h"
#include "TRecordingDecoder.h"

class ExchangeFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Engine = new TProtocolRecognition();
    Engine->SampleRate = TDecodeSettings::SampleRate;
    Engine->SetTolerance(TDecodeSettings().ToleranceSeconds());
    Engine->LoadProtocols(ShippedLibrary());
    Library = std::make_shared<const TCodeLibrary>(*Engine);
  }
  static void TearDownTestSuite() {
    delete Engine;
    Engine = nullptr;
    Library.reset();
  }

  // Every packet of Signals (us, mark first), drawn one after the other, decoded.
  static std::vector<std::unique_ptr<TSample>> DecodeDrawn(
      const std::vector<std::vector<double>>& Signals, bool AsSent = false) {
    TEnvelopeSource source;
    for (const auto& signal : Signals) source.Add(signal, AsSent);
    TRecordingDecoder decoder;
    auto samples = decoder.Decode(source).Samples;
    for (auto& sample : samples) Engine->Decode(*sample);
    return samples;
  }

  // Writes Text to a new file in the test's temporary folder and returns its path.
  static std::string WriteFile(const std::string& Name, const std::string& Text) {
    const std::string path = ::testing::TempDir() + Name;
    std::ofstream(path, std::ios::binary) << Text;
    return path;
  }

  static inline TProtocolRecognition* Engine = nullptr;
  static inline std::shared_ptr<const TCodeLibrary> Library;
};
