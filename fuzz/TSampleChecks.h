#pragma once
// The invariants every packet keeps, whatever the input: checked by the fuzz targets after
// each step, aborting with the broken rule so that the fuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "TSample.h"
#include "TSignalProcessor.h"

class TSampleChecks {
 public:
  // A packet as cut by the signal processor or read from a file: its signal fits 16-bit
  // positions, its runs add up to it and its times are numbers that cannot be negative.
  static void CheckCut(const TSample& Sample) {
    const size_t size = Sample.SignalLength();
    Require(size > 0 && size <= TSignalProcessor::MaxSignalLength, "signal length in range");
    Require(!Sample.Pulses.empty(), "a signal has runs");
    const size_t sum = std::accumulate(Sample.Pulses.begin(), Sample.Pulses.end(), size_t{0});
    Require(sum == size - 1, "runs add up to the signal");
  }
  // A decoded packet: a protocol (its name is the library's, empty if the library says so), at
  // most 256 fields, marks inside the signal and no more of them than the signal has values.
  static void CheckDecoded(const TSample& Sample) {
    Require(Sample.Protocol != nullptr, "a decoded packet has a protocol");
    Require(Sample.Protocol->Fields.size() <= TProtocol::MaxFields, "at most 256 fields");
    const size_t size = Sample.SignalLength();
    for (const auto& row : Sample.Marks) {
      Require(row.size() <= size + 1, "no more marks than signal values");
      for (const TSampleMark& mark : row) Require(mark.Position <= size, "marks inside the signal");
    }
  }

 private:
  static void Require(bool Holds, const char* Rule) {
    if (Holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", Rule);
    std::abort();
  }
};
