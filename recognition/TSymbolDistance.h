#pragma once
// How far the runs a symbol's pattern fitted lie from it, for choosing between neighbouring
// symbols. A receiver lengthens marks and shortens the spaces after them by as much, which
// moves no mark's start: the error of the symbol's whole length counts fully, that of each run
// a quarter.

#include <cmath>

class TSymbolDistance {
 public:
  static constexpr double RunWeight = 0.25;
  static constexpr double ClockShare = 0.03;  // of a length: how far remotes' clocks run off

  void Clear() { *this = {}; }
  // A run (or the front of one) of Length read whole as Nominal; both in samples.
  void AddRun(double Length, double Nominal) {
    Signed_ += Length - Nominal;
    Nominal_ += Nominal;
    Unsigned_ += std::abs(Length - Nominal);
  }
  // A run taken in part: it counts as Window samples off, the farthest a whole run may lie.
  void AddPart(double Window) {
    Unsigned_ += Window / RunWeight;
    Part_ = true;
  }
  // Whether the runs add up to the pattern's whole length within Window (samples) and a remote's
  // clock error: true when a run was taken in part, whose end the next pattern reads.
  bool LengthWithin(double Window) const {
    return Part_ || std::abs(Signed_) < Window + ClockShare * Nominal_;
  }
  // Never negative; 0 for runs exactly as written.
  double Value() const { return std::abs(Signed_) + RunWeight * Unsigned_; }

 private:
  double Signed_ = 0;
  double Unsigned_ = 0;
  double Nominal_ = 0;
  bool Part_ = false;
};
