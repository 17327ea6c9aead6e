#include "IrFrame.h"

TIrFrame& TIrFrame::Add(double SignedUs) {
  if (SignedUs == 0) return *this;
  const bool mark = SignedUs > 0;
  const double us = mark ? SignedUs : -SignedUs;
  if (!Runs.empty() && Runs.back().Mark == mark) {
    Runs.back().Us += us;
  } else {
    Runs.push_back({mark, us});
  }
  return *this;
}

TIrFrame& TIrFrame::Add(const TShape& Shape) {
  for (double d : Shape) Add(d);
  return *this;
}

TIrFrame& TIrFrame::Bits(uint32_t Value, int Count, bool Lsb, const TShape& Zero,
                         const TShape& One) {
  for (int i = 0; i < Count; ++i) {
    const int k = Lsb ? i : Count - 1 - i;
    Add((Value >> k) & 1 ? One : Zero);
  }
  return *this;
}

TIrFrame& TIrFrame::Append(const TIrFrame& Other) {
  for (const TRun& r : Other.Runs) Add(r.Mark ? r.Us : -r.Us);
  return *this;
}

double TIrFrame::DurationUs() const {
  double sum = 0;
  for (const TRun& r : Runs) sum += r.Us;
  return sum;
}
