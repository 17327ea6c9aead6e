#pragma once
// How far the runs a symbol's pattern fitted lie from it, for choosing between neighbouring
// symbols. A receiver lengthens marks and shortens the spaces after them by as much, which
// moves no mark's start: the error of the symbol's whole length counts fully, that of each run
// a quarter.

#include <cmath>

class TSymbolDistance {
 public:
  static constexpr double RunWeight = 0.25;

  void Clear() { *this = {}; }
  // A run (or the front of one) of Length read whole as Nominal; both in samples.
  void AddRun(double Length, double Nominal) {
    Signed_ += Length - Nominal;
    Unsigned_ += std::abs(Length - Nominal);
  }
  // A run taken in part: it counts as Window samples off, the farthest a whole run may lie.
  void AddPart(double Window) { Unsigned_ += Window / RunWeight; }
  // Never negative; 0 for runs exactly as written.
  double Value() const { return std::abs(Signed_) + RunWeight * Unsigned_; }

 private:
  double Signed_ = 0;
  double Unsigned_ = 0;
};
