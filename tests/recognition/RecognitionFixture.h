#pragma once
// Shared set-up of the recognition tests: an engine at 48 kHz with 50 us tolerance, protocol
// files written to real temporary files, and a sample built from run lengths. The generic pass
// is off: these tests are about the library's passes ("unknown" is what no definition fits);
// the generic pass's own tests switch it on.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TProtocolRecognition.h"
#include "TSample.h"
#include "TXmlNodeList.h"

class RecognitionFixture : public ::testing::Test {
 protected:
  static constexpr uint16_t Rate = 48000;
  static constexpr float ToleranceSeconds = 0.00005f;

  RecognitionFixture() {
    Engine.SampleRate = Rate;
    Engine.SetTolerance(ToleranceSeconds);
    Engine.SetDecimalSeparator(".");
    Engine.GenericPass = false;
    Engine.OnReport = [this](const std::string& Text) { Reports.push_back(Text); };
  }
  ~RecognitionFixture() override {
    std::error_code ignored;
    for (const auto& file : Files) std::filesystem::remove(file, ignored);
  }

  // Writes Content to a new file in the temporary directory and returns its path.
  std::string WriteFile(const std::string& Content) {
    static std::atomic<int> counter{0};
    const auto path = std::filesystem::temp_directory_path() /
                      ("vorlent_recognition_" + std::to_string(getpid()) + "_" +
                       std::to_string(counter++) + ".xml");
    std::ofstream(path, std::ios::binary) << Content;
    Files.push_back(path);
    return path.string();
  }
  // Loads "<protocols>" + Body + "</protocols>" from a real file.
  void LoadLibrary(const std::string& Body) {
    Engine.LoadProtocols(WriteFile("<protocols>" + Body + "</protocols>"));
    ASSERT_TRUE(Reports.empty()) << Reports.front();
  }
  // Decodes a sample made of the run lengths Runs and returns it.
  TSample Decoded(const std::vector<uint16_t>& Runs) {
    TSample sample;
    sample.Pulses = Runs;
    Engine.Decode(sample);
    return sample;
  }
  static std::string NameOf(const TSample& Sample) {
    return Sample.Protocol ? Sample.Protocol->ProtocolName : "<none>";
  }
  static std::string DataOf(const TSample& Sample) {
    return Sample.Protocol ? Sample.Protocol->GetDataText() : "<none>";
  }

  TProtocolRecognition Engine;
  std::vector<std::string> Reports;
  std::vector<std::filesystem::path> Files;
};

// Marks compare as {position, text} pairs.
inline bool operator==(const TSampleMark& A, const TSampleMark& B) {
  return A.Position == B.Position && A.Text == B.Text;
}
inline void PrintTo(const TSampleMark& Mark, std::ostream* Out) {
  *Out << "{" << Mark.Position << ", \"" << Mark.Text << "\"}";
}
