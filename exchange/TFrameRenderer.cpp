#include "TFrameRenderer.h"

#include <string>

#include "TCodeError.h"

namespace {
constexpr unsigned ValueBits = 64;

// The bit of Value sent at position Index (0 = first) of a field of Length bits.
bool FieldBit(uint64_t Value, unsigned Length, bool LsbFirst, unsigned Index) {
  const unsigned bit = LsbFirst ? Index : Length - 1 - Index;
  return bit < ValueBits && (Value >> bit) & 1u;
}

bool Fits(uint64_t Value, unsigned Length) {
  return Length >= ValueBits || Value < (uint64_t{1} << Length);
}

const std::string& NameOf(const TDefinition::TItem& Item) {
  static const std::string unnamed;
  return Item.Name ? *Item.Name : unnamed;
}
}  // namespace

// A pattern with alternatives is sent as its first.
TFrameRenderer::TRuns TFrameRenderer::Runs(const TDefinition& Definition,
                                           const TCompiledPattern& Pattern) {
  if (!Pattern.Valid())
    throw TCodeError(Definition.Name + ": a timing pattern of the definition cannot be read");
  TRuns runs;
  bool mark = Pattern.HighFirst();
  for (long double d : Pattern.Micros()) {
    runs.push_back({mark, static_cast<double>(d)});
    mark = !mark;
  }
  return runs;
}

// The runs of every symbol of the bitset, by value.
std::vector<TFrameRenderer::TRuns> TFrameRenderer::SymbolRuns(const TDefinition& Definition) {
  std::vector<TRuns> byValue(size_t{1} << Definition.SymbolBits);
  for (const TDefinition::TSymbol& symbol : Definition.Symbols)
    if (symbol.Value < byValue.size()) byValue[symbol.Value] = Runs(Definition, symbol.Timing);
  return byValue;
}

void TFrameRenderer::CheckValues(const TDefinition& Definition, const TValues& Values) {
  size_t field = 0;
  for (const TDefinition::TItem& item : Definition.Items) {
    if (item.IsDelimiter) continue;
    if (field >= Values.size()) break;
    if (!Fits(Values[field], item.Length)) {
      throw TCodeError(Definition.Name + ": " + std::to_string(Values[field]) +
                       " does not fit the " + std::to_string(item.Length) + " bits of " +
                       NameOf(item));
    }
    ++field;
  }
  size_t fields = 0;
  for (const TDefinition::TItem& item : Definition.Items) fields += item.IsDelimiter ? 0 : 1;
  if (Values.size() != fields) {
    throw TCodeError(Definition.Name + ": " + std::to_string(fields) + " field values needed, " +
                     std::to_string(Values.size()) + " given");
  }
}

std::vector<double> TFrameRenderer::Render(const TDefinition& Definition, const TValues& Values) {
  CheckValues(Definition, Values);
  // A definition without data fields (a repeat frame) needs no bit patterns.
  const std::vector<TRuns> symbols = Values.empty() ? std::vector<TRuns>() : SymbolRuns(Definition);
  std::vector<double> durations;
  bool lastMark = false;
  const auto append = [&](const TRuns& Runs) {
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
  // Each symbol takes the next bits sent, the first of them its top bit in an MSB field and its
  // lowest in an LSB field (as the decoder reads them); a symbol of one bit is that bit.
  unsigned symbol = 0, symbolFilled = 0;
  size_t field = 0;
  for (const TDefinition::TItem& item : Definition.Items) {
    if (item.IsDelimiter) {
      append(Runs(Definition, item.Timing));
      continue;
    }
    for (unsigned i = 0; i < item.Length; ++i) {
      const bool bit = FieldBit(Values[field], item.Length, item.LeastSignificantFirst, i);
      symbol = item.LeastSignificantFirst ? symbol | unsigned{bit} << symbolFilled
                                          : symbol << 1 | unsigned{bit};
      if (++symbolFilled < Definition.SymbolBits) continue;
      append(symbols[symbol]);
      symbol = symbolFilled = 0;
    }
    ++field;
  }
  return durations;
}

std::optional<std::vector<bool>> TFrameRenderer::DelimiterBits(const TDefinition& Definition,
                                                               const TCompiledPattern& Pattern) {
  if (!Definition.One.Valid() || !Definition.Zero.Valid()) return std::nullopt;
  const TRuns runs = Runs(Definition, Pattern);
  const TRuns one = Runs(Definition, Definition.One), zero = Runs(Definition, Definition.Zero);
  const auto startsWith = [&](size_t At, const TRuns& Bit) {
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

std::vector<bool> TFrameRenderer::Bits(const TDefinition& Definition, const TValues& Values) {
  CheckValues(Definition, Values);
  std::vector<bool> bits;
  size_t field = 0;
  for (const TDefinition::TItem& item : Definition.Items) {
    if (item.IsDelimiter) {
      const std::optional<std::vector<bool>> fixed = DelimiterBits(Definition, item.Timing);
      if (fixed) bits.insert(bits.end(), fixed->begin(), fixed->end());
      continue;
    }
    for (unsigned i = 0; i < item.Length; ++i)
      bits.push_back(FieldBit(Values[field], item.Length, item.LeastSignificantFirst, i));
    ++field;
  }
  return bits;
}

std::optional<TFrameRenderer::TValues> TFrameRenderer::Fields(const TDefinition& Definition,
                                                              const std::vector<bool>& Bits) {
  TValues values;
  size_t at = 0;
  for (const TDefinition::TItem& item : Definition.Items) {
    if (item.IsDelimiter) {
      const std::optional<std::vector<bool>> fixed = DelimiterBits(Definition, item.Timing);
      if (!fixed) continue;
      for (bool bit : *fixed)
        if (at >= Bits.size() || Bits[at++] != bit) return std::nullopt;
      continue;
    }
    uint64_t value = 0;
    for (unsigned i = 0; i < item.Length; ++i) {
      if (at >= Bits.size()) return std::nullopt;
      const unsigned bit = item.LeastSignificantFirst ? i : item.Length - 1 - i;
      if (Bits[at++] && bit < ValueBits) value |= uint64_t{1} << bit;
    }
    values.push_back(value);
  }
  if (at != Bits.size()) return std::nullopt;
  return values;
}
