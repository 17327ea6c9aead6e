#include "TShiftScaleFit.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double SingularShare = 1e-9;  // of the determinant's scale: no solution below it

}  // namespace

// Normal equations of min sum (m - k n - s d)^2 with s = +-1, so that sum s^2 is the count.
bool TShiftScaleFit::Solve(double& Scale, double& Shift) const {
  if (Count_ <= FreeParameters) return false;
  const double count = static_cast<double>(Count_);
  const double determinant = NominalSquares_ * count - SignedNominal_ * SignedNominal_;
  if (!(determinant > SingularShare * NominalSquares_ * count)) return false;
  Scale = (MeasuredNominal_ * count - SignedNominal_ * SignedMeasured_) / determinant;
  Shift = (NominalSquares_ * SignedMeasured_ - SignedNominal_ * MeasuredNominal_) / determinant;
  return std::isfinite(Scale) && std::isfinite(Shift);
}

double TShiftScaleFit::ShiftAt(double Scale) const {
  if (Count_ == 0) return 0;
  return (SignedMeasured_ - Scale * SignedNominal_) / static_cast<double>(Count_);
}

// sum (m - k n - s d)^2 expanded over the sums kept, so that no run needs to be stored.
double TShiftScaleFit::Rms(double Scale, double Shift) const {
  if (Count_ <= FreeParameters) return INFINITY;
  const double count = static_cast<double>(Count_);
  const double squares = MeasuredSquares_ + Scale * Scale * NominalSquares_ +
                         Shift * Shift * count - 2 * Scale * MeasuredNominal_ -
                         2 * Shift * SignedMeasured_ + 2 * Scale * Shift * SignedNominal_;
  return std::sqrt(std::max(0.0, squares) / (count - FreeParameters));
}
