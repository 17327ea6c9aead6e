#pragma once
// Packets to decode against a fuzzed library: the packets of the shipped example recording
// (NEC, Sony, RC5, Samsung, ...) and a few that no definition fits, read once per process.

#include <cstdlib>
#include <memory>
#include <vector>

#include "TRecordingDecoder.h"
#include "TSampleChecks.h"

class TFuzzPackets {
 public:
  static const std::vector<std::unique_ptr<TSample>>& All() {
    static const std::vector<std::unique_ptr<TSample>> packets = Read();
    return packets;
  }

 private:
  static std::vector<std::unique_ptr<TSample>> Read() {
    TRecordingDecoder decoder;
    auto packets = std::move(decoder.Decode(VORLENT_EXAMPLE_RECORDING).Samples);
    if (packets.empty()) std::abort();      // the example recording is missing or unreadable
    packets.push_back(Synthetic(1, 1));     // the shortest runs there are
    packets.push_back(Synthetic(7, 2000));  // a fast square wave
    packets.push_back(Synthetic(430, 40));  // slow bursts
    for (const auto& packet : packets) TSampleChecks::CheckCut(*packet);
    return packets;
  }
  // Alternating runs of High and Low values after a leading quiet run, Count of each.
  static std::unique_ptr<TSample> Synthetic(size_t Run, size_t Count) {
    constexpr uint8_t Quiet = 128, Active = 200;
    constexpr size_t Lead = 120;
    auto sample = std::make_unique<TSample>();
    sample->Signal.assign(Lead, Quiet);
    for (size_t i = 0; i < Count && sample->Signal.size() + 2 * Run < 65535; ++i) {
      sample->Signal.insert(sample->Signal.end(), Run, Active);
      sample->Signal.insert(sample->Signal.end(), Run, Quiet);
    }
    TSignalProcessor processor;
    processor.ExtractPulses(*sample);
    return sample;
  }
};
