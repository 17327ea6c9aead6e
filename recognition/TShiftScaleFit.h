#pragma once
// The least-squares fit of a packet's runs to a definition: every measured run is taken as
// Scale x its nominal length + Shift for a mark (- Shift for a space), the remote's clock and the
// receiver's edge shift. Lengths in samples.

#include <cstddef>

class TShiftScaleFit {
 public:
  // Adds one run read whole: Nominal is its length in the definition, Mark its level.
  void Add(double Nominal, bool Mark, double Measured) {
    const double sign = Mark ? 1 : -1;
    ++Count_;
    NominalSquares_ += Nominal * Nominal;
    SignedNominal_ += sign * Nominal;
    MeasuredNominal_ += Measured * Nominal;
    SignedMeasured_ += sign * Measured;
    MeasuredSquares_ += Measured * Measured;
  }
  // Solves for Scale and Shift; false when the runs cannot tell them apart (fewer than three,
  // or marks and spaces of one length only).
  bool Solve(double& Scale, double& Shift) const;
  // The least-squares shift for a given Scale; 0 without runs.
  double ShiftAt(double Scale) const;
  // Root mean square of the residuals under Scale and Shift, over Count() - 2 degrees of freedom.
  double Rms(double Scale, double Shift) const;
  size_t Count() const { return Count_; }
  void Clear() { *this = TShiftScaleFit(); }

 private:
  static constexpr size_t FreeParameters = 2;

  size_t Count_ = 0;
  double NominalSquares_ = 0, SignedNominal_ = 0, MeasuredNominal_ = 0, SignedMeasured_ = 0;
  double MeasuredSquares_ = 0;
};
