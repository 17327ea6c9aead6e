#pragma once
// One timing pattern of the protocol library, read once when the library loads: its first level,
// its durations in microseconds and the same durations in PCM samples at the decoding rate. A
// text of several patterns separated by '|' is one pattern with alternatives, tried in the order
// written; an entry's own tolerance widens the window of each duration.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

class TCompiledPattern {
 public:
  // Reads Text (the notation of TTimingPattern); an invalid text gives a pattern that never
  // matches (Valid() false). Never throws except when memory runs out.
  static TCompiledPattern Compile(std::string_view Text, std::string_view DecimalSeparator);
  static constexpr char AlternativeSeparator = '|';
  // t = d x 10^-6 x Rate in extended precision, rounded once to a single; a duration beyond a
  // single's range becomes infinite and then fits nothing.
  static float ToSamples(long double Microseconds, uint16_t Rate);
  // Whole samples that taking the front of a run for Samples advances by (half to even).
  static uint16_t RoundToSamples(double Samples);

  // Converts the durations (and the windows) to samples at Rate. Never fails.
  void SetRate(uint16_t Rate);
  // Each duration d then fits within +-(Micros + Relative x d) at least; 0, 0 (the default)
  // leaves the decoder's window alone. Call before SetRate. Never fails.
  void SetTolerance(double Micros, double Relative);

  // False when the text was not a timing pattern.
  bool Valid() const { return Valid_; }
  // Valid, and every duration is at least one sample long at the current rate: a pattern that
  // could advance by nothing is never matched while decoding (it would let a field of up to 255
  // bits add a mark per bit without reading any of the signal).
  bool Usable() const { return Usable_; }
  bool HighFirst() const { return HighFirst_; }
  size_t Count() const { return Micros_.size(); }
  const std::vector<long double>& Micros() const { return Micros_; }
  const std::vector<float>& Samples() const { return Samples_; }
  // The entry's window of each duration in samples (0: none of its own), as Samples().
  const std::vector<float>& Windows() const { return Windows_; }
  // The patterns after the first '|', in the order written; empty for a plain pattern.
  const std::vector<TCompiledPattern>& Alternatives() const { return Alternatives_; }
  // Patterns of one shape number have the same first level, durations and windows in samples,
  // alternatives aside, and so read any runs alike; 0: not numbered. Copies keep the number.
  uint32_t Shape() const { return Shape_; }
  // Numbers this pattern and each alternative with Number(pattern). Call after SetRate: a new
  // rate leaves the numbers stale. Never fails itself.
  template <class TNumber>
  void SetShapes(TNumber&& Number) {
    Shape_ = Number(std::as_const(*this));
    for (TCompiledPattern& alternative : Alternatives_) alternative.SetShapes(Number);
  }

 private:
  bool Valid_ = false;
  bool Usable_ = false;
  bool HighFirst_ = false;
  std::vector<long double> Micros_;
  std::vector<float> Samples_;
  double ToleranceMicros_ = 0, RelativeTolerance_ = 0;
  std::vector<float> Windows_;
  std::vector<TCompiledPattern> Alternatives_;
  uint32_t Shape_ = 0;
};
