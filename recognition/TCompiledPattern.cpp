#include "TCompiledPattern.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "TTimingPattern.h"

namespace {

constexpr long double SecondsPerMicrosecond = 1e-6L;
constexpr uint16_t ShortestUsableAdvance = 1;  // samples

}  // namespace

TCompiledPattern TCompiledPattern::Compile(std::string_view Text,
                                           std::string_view DecimalSeparator) {
  const size_t bar = Text.find(AlternativeSeparator);
  if (bar != std::string_view::npos) {
    TCompiledPattern first = Compile(Text.substr(0, bar), DecimalSeparator);
    TCompiledPattern rest = Compile(Text.substr(bar + 1), DecimalSeparator);
    first.Valid_ = first.Valid_ && rest.Valid_;
    if (!first.Valid_) return {};
    std::vector<TCompiledPattern> more = std::move(rest.Alternatives_);
    rest.Alternatives_.clear();
    first.Alternatives_.push_back(std::move(rest));
    for (TCompiledPattern& alternative : more)
      first.Alternatives_.push_back(std::move(alternative));
    return first;
  }
  TCompiledPattern pattern;
  pattern.Valid_ = TTimingPattern::Parse(Text, DecimalSeparator, std::numeric_limits<size_t>::max(),
                                         pattern.HighFirst_, pattern.Micros_);
  if (!pattern.Valid_) pattern.Micros_.clear();
  pattern.Micros_.shrink_to_fit();
  return pattern;
}

// The product is worked out left to right in extended precision (the x87 format with its 64-bit
// mantissa on x86) and rounded once to a single. For durations with up to a dozen decimals this is
// the single nearest to the exact product, whatever the intermediate precision; only values
// within a hair of halfway between two singles depend on it.
float TCompiledPattern::ToSamples(long double Microseconds, uint16_t Rate) {
  const long double samples = Microseconds * SecondsPerMicrosecond * Rate;
  if (!(samples <= FLT_MAX)) return INFINITY;
  return static_cast<float>(samples);
}

uint16_t TCompiledPattern::RoundToSamples(double Samples) {
  return static_cast<uint16_t>(
      std::clamp(std::rint(Samples), 0.0, static_cast<double>(UINT16_MAX)));
}

void TCompiledPattern::SetRate(uint16_t Rate) {
  Samples_.resize(Micros_.size());
  Windows_.resize(Micros_.size());
  Usable_ = Valid_;
  for (size_t i = 0; i < Micros_.size(); ++i) {
    Samples_[i] = ToSamples(Micros_[i], Rate);
    Windows_[i] = ToSamples(ToleranceMicros_ + RelativeTolerance_ * Micros_[i], Rate);
    if (!(RoundToSamples(Samples_[i]) >= ShortestUsableAdvance)) Usable_ = false;
  }
  for (TCompiledPattern& alternative : Alternatives_) alternative.SetRate(Rate);
}

void TCompiledPattern::SetTolerance(double Micros, double Relative) {
  ToleranceMicros_ = std::isfinite(Micros) && Micros > 0 ? Micros : 0;
  RelativeTolerance_ = std::isfinite(Relative) && Relative > 0 ? Relative : 0;
  for (TCompiledPattern& alternative : Alternatives_) alternative.SetTolerance(Micros, Relative);
}
