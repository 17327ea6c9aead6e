#pragma once
// The inverse of the decoder: a definition, compiled as the decoder reads it, and a value for
// each of its data fields give the runs of one frame, or its bits in the order they are sent.

#include <cstdint>
#include <optional>
#include <vector>

#include "TDefinition.h"

class TFrameRenderer {
 public:
  // One value per data field, in frame order; a field's bits past the 64th are sent as 0.
  using TValues = std::vector<uint64_t>;

  // Durations of one frame in us, mark first, alternating; the last is the ending silence. A
  // pattern with alternatives ("a|b") is drawn as its first; a bitset of several bits per
  // symbol takes each symbol from the next bits sent. Throws TCodeError when the count of
  // values is wrong, a value does not fit its field or a pattern cannot be read.
  static std::vector<double> Render(const TDefinition& Definition, const TValues& Values);
  // The frame's bits in the order sent: the fixed bits of delimiters written as bit patterns,
  // and the fields' bits. Other delimiters (lead-in, stop, end) have none. Throws as Render.
  static std::vector<bool> Bits(const TDefinition& Definition, const TValues& Values);
  // The field values that send Bits; nothing when their count or a fixed bit differs.
  static std::optional<TValues> Fields(const TDefinition& Definition,
                                       const std::vector<bool>& Bits);

 private:
  struct TRun {
    bool Mark = false;
    double Micros = 0;
  };
  using TRuns = std::vector<TRun>;
  static TRuns Runs(const TDefinition& Definition, const TCompiledPattern& Pattern);
  static std::vector<TRuns> SymbolRuns(const TDefinition& Definition);
  static std::optional<std::vector<bool>> DelimiterBits(const TDefinition& Definition,
                                                        const TCompiledPattern& Pattern);
  static void CheckValues(const TDefinition& Definition, const TValues& Values);
};
