#pragma once
// The progress box of a task that runs while the window goes on working; it closes when the
// object is destroyed.

class TProgress {
 public:
  virtual ~TProgress() = default;

  // Shows that Fraction (0..1; outside values are clamped, NaN counts as 0) of the work is
  // done. Never fails.
  virtual void SetFraction(double Fraction) = 0;
};
