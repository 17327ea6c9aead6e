#pragma once
// An infrared frame as the remote sends it: alternating marks and spaces in microseconds,
// built from IRP-like pieces (signed durations: positive = mark, negative = space).

#include <cstdint>
#include <vector>

struct TRun {
  bool Mark = false;
  double Us = 0;
};

using TShape = std::vector<double>;  // +mark / -space, microseconds

class TIrFrame {
 public:
  // Appends one duration; a run of the same level as the last one is merged into it.
  TIrFrame& Add(double SignedUs);
  TIrFrame& Add(const TShape& Shape);
  // Appends Count bits of Value, least significant first when Lsb, with the given bit shapes.
  TIrFrame& Bits(uint32_t Value, int Count, bool Lsb, const TShape& Zero, const TShape& One);
  TIrFrame& Append(const TIrFrame& Other);
  double DurationUs() const;

  std::vector<TRun> Runs;
};
