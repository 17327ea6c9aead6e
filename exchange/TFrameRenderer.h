#pragma once
// The inverse of the decoder: a definition and a value for each of its data fields give the
// runs of one frame, or its bits in the order they are sent.

#include <cstdint>
#include <optional>
#include <vector>

#include "TFrameDefinition.h"

class TFrameRenderer {
 public:
  // Durations of one frame in us, mark first, alternating; the last is the ending silence.
  // Values holds one value per data field, in frame order. Throws TCodeError when the count
  // of values is wrong, a value does not fit its field or a pattern cannot be read.
  static std::vector<double> Render(const TFrameDefinition& Definition,
                                    const std::vector<uint32_t>& Values);
  // The frame's bits in the order sent: the fixed bits of delimiters written as bit patterns,
  // and the fields' bits. Other delimiters (lead-in, stop, end) have none. Throws as Render.
  static std::vector<bool> Bits(const TFrameDefinition& Definition,
                                const std::vector<uint32_t>& Values);
  // The field values that send Bits; nothing when their count or a fixed bit differs.
  static std::optional<std::vector<uint32_t>> Fields(const TFrameDefinition& Definition,
                                                     const std::vector<bool>& Bits);

 private:
  struct TRun {
    bool Mark = false;
    double Micros = 0;
  };
  static std::vector<TRun> Runs(const std::string& Pattern);
  static std::optional<std::vector<bool>> DelimiterBits(const TFrameDefinition& Definition,
                                                        const std::string& Pattern);
  static void CheckValues(const TFrameDefinition& Definition, const std::vector<uint32_t>& Values);
};
