#pragma once
// The one tolerance check of both passes: a run against an expected duration within a window,
// both ends exclusive, and the rule of which duration of a pattern may take the front of a
// longer run. Lengths in samples.

#include <cstddef>

class TRunWindow {
 public:
  enum class TFit { TooShort, Fits, TooLong };

  // Where Length lies against Expected +- Window; a NaN anywhere is TooShort (fits nothing).
  // Expected +- Window is worked out in double precision, so the ends are those of exact numbers
  // wherever a run can reach them.
  static TFit Classify(double Length, double Expected, double Window) {
    const double low = Expected - Window;
    const double high = Expected + Window;
    if (!(Length > low)) return TFit::TooShort;
    if (Length < high) return TFit::Fits;
    return TFit::TooLong;
  }
  // Only the last duration of a pattern (or a single one) may take the front of a longer run:
  // the run after it then starts inside that run.
  static bool MayTakeFront(size_t Index, size_t Count) { return Index + 1 == Count; }
};
