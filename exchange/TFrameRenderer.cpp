#include "TFrameRenderer.h"

#include <string>

#include "TCodeError.h"
#include "TTimingPattern.h"

namespace {
constexpr const char* DecimalSeparator = ".";
constexpr size_t MaxPatternDurations = 65535;
constexpr char AlternativeSeparator = '|';

// The bit of Value sent at position Index (0 = first) of a field of Length bits.
bool FieldBit(uint32_t Value, unsigned Length, bool LsbFirst, unsigned Index) {
  const unsigned bit = LsbFirst ? Index : Length - 1 - Index;
  return (Value >> bit) & 1u;
}

bool Fits(uint32_t Value, unsigned Length) {
  return Length >= 32 || Value < (uint32_t{1} << Length);
}
}  // namespace

// A pattern with alternatives ("a|b") is sent as its first.
std::vector<TFrameRenderer::TRun> TFrameRenderer::Runs(const std::string& Pattern) {
  bool highFirst = false;
  std::vector<long double> durations;
  const std::string first = Pattern.substr(0, Pattern.find(AlternativeSeparator));
  if (!TTimingPattern::Parse(first, DecimalSeparator, MaxPatternDurations, highFirst, durations)) {
    throw TCodeError("the timing pattern \"" + Pattern.substr(0, 40) + "\" cannot be read");
  }
  std::vector<TRun> runs;
  bool mark = highFirst;
  for (long double d : durations) {
    runs.push_back({mark, static_cast<double>(d)});
    mark = !mark;
  }
  return runs;
}

void TFrameRenderer::CheckValues(const TFrameDefinition& Definition,
                                 const std::vector<uint32_t>& Values) {
  size_t field = 0;
  for (const TFrameItem& item : Definition.Items) {
    if (item.Delimiter) continue;
    if (field >= Values.size()) break;
    if (!Fits(Values[field], item.Length)) {
      throw TCodeError(Definition.Name + ": " + std::to_string(Values[field]) +
                       " does not fit the " + std::to_string(item.Length) + " bits of " +
                       item.Name);
    }
    ++field;
  }
  size_t fields = 0;
  for (const TFrameItem& item : Definition.Items) fields += item.Delimiter ? 0 : 1;
  if (Values.size() != fields) {
    throw TCodeError(Definition.Name + ": " + std::to_string(fields) + " field values needed, " +
                     std::to_string(Values.size()) + " given");
  }
}

std::vector<double> TFrameRenderer::Render(const TFrameDefinition& Definition,
                                           const std::vector<uint32_t>& Values) {
  CheckValues(Definition, Values);
  // A definition without data fields (a repeat frame) needs no bit patterns.
  const std::vector<TRun> one = Values.empty() ? std::vector<TRun>() : Runs(Definition.OneBit);
  const std::vector<TRun> zero = Values.empty() ? std::vector<TRun>() : Runs(Definition.ZeroBit);
  std::vector<double> durations;
  bool lastMark = false;
  const auto append = [&](const std::vector<TRun>& Runs) {
    for (const TRun& run : Runs) {
      if (durations.empty() && !run.Mark) continue;  // a frame starts at its first mark
      if (!durations.empty() && run.Mark == lastMark) {
        durations.back() += run.Micros;  // half-bits of the same level make one run
      } else {
        durations.push_back(run.Micros);
        lastMark = run.Mark;
      }
    }
  };
  // Symbols of several bits: each takes the next bits sent, the first of them its top bit in an
  // MSB field and its lowest in an LSB field (as the decoder reads them).
  std::vector<std::vector<TRun>> symbols;
  for (const std::string& symbol : Definition.Symbols) symbols.push_back(Runs(symbol));
  unsigned symbol = 0, symbolFilled = 0;
  size_t field = 0;
  for (const TFrameItem& item : Definition.Items) {
    if (item.Delimiter) {
      append(Runs(item.Pattern));
      continue;
    }
    for (unsigned i = 0; i < item.Length; ++i) {
      const bool bit = FieldBit(Values[field], item.Length, item.LsbFirst, i);
      if (symbols.empty()) {
        append(bit ? one : zero);
        continue;
      }
      symbol = item.LsbFirst ? symbol | unsigned{bit} << symbolFilled : symbol << 1 | unsigned{bit};
      if (++symbolFilled < Definition.SymbolBits) continue;
      append(symbols[symbol]);
      symbol = symbolFilled = 0;
    }
    ++field;
  }
  return durations;
}

std::optional<std::vector<bool>> TFrameRenderer::DelimiterBits(const TFrameDefinition& Definition,
                                                               const std::string& Pattern) {
  if (Definition.OneBit.empty() || Definition.ZeroBit.empty()) return std::nullopt;
  const std::vector<TRun> runs = Runs(Pattern);
  const std::vector<TRun> one = Runs(Definition.OneBit), zero = Runs(Definition.ZeroBit);
  const auto startsWith = [&](size_t At, const std::vector<TRun>& Bit) {
    if (At + Bit.size() > runs.size()) return false;
    for (size_t i = 0; i < Bit.size(); ++i)
      if (runs[At + i].Mark != Bit[i].Mark || runs[At + i].Micros != Bit[i].Micros) return false;
    return true;
  };
  std::vector<bool> bits;
  for (size_t at = 0; at < runs.size();) {
    if (startsWith(at, one)) {
      bits.push_back(true);
      at += one.size();
    } else if (startsWith(at, zero)) {
      bits.push_back(false);
      at += zero.size();
    } else {
      return std::nullopt;
    }
  }
  return bits;
}

std::vector<bool> TFrameRenderer::Bits(const TFrameDefinition& Definition,
                                       const std::vector<uint32_t>& Values) {
  CheckValues(Definition, Values);
  std::vector<bool> bits;
  size_t field = 0;
  for (const TFrameItem& item : Definition.Items) {
    if (item.Delimiter) {
      const std::optional<std::vector<bool>> fixed = DelimiterBits(Definition, item.Pattern);
      if (fixed) bits.insert(bits.end(), fixed->begin(), fixed->end());
      continue;
    }
    for (unsigned i = 0; i < item.Length; ++i)
      bits.push_back(FieldBit(Values[field], item.Length, item.LsbFirst, i));
    ++field;
  }
  return bits;
}

std::optional<std::vector<uint32_t>> TFrameRenderer::Fields(const TFrameDefinition& Definition,
                                                            const std::vector<bool>& Bits) {
  std::vector<uint32_t> values;
  size_t at = 0;
  for (const TFrameItem& item : Definition.Items) {
    if (item.Delimiter) {
      const std::optional<std::vector<bool>> fixed = DelimiterBits(Definition, item.Pattern);
      if (!fixed) continue;
      for (bool bit : *fixed)
        if (at >= Bits.size() || Bits[at++] != bit) return std::nullopt;
      continue;
    }
    uint32_t value = 0;
    for (unsigned i = 0; i < item.Length; ++i) {
      if (at >= Bits.size()) return std::nullopt;
      const unsigned bit = item.LsbFirst ? i : item.Length - 1 - i;
      if (Bits[at++]) value |= uint32_t{1} << bit;
    }
    values.push_back(value);
  }
  if (at != Bits.size()) return std::nullopt;
  return values;
}
