#pragma once
// The walk over one data field's symbols that both passes share: each pass brings its own way
// to match a pattern at its position and to keep (or refuse) a bit mark.

#include <cstdint>
#include <optional>

#include "TCompiledPattern.h"
#include "TDefinition.h"
#include "TSymbolBits.h"

class TFieldWalk {
 public:
  // Reads Data's bits from the symbols of Definition. Match(const TCompiledPattern&, bool Trial)
  // tries one symbol's pattern where the walk stands: nothing when it does not fit; a Trial
  // returns how far the runs lie from it (any measure that grows with the distance) and leaves
  // the walk where it was, otherwise a fit advances it. A bitset of one bit per symbol reads the
  // first symbol that fits, in the bitset's order; one of several bits per symbol, whose symbols
  // lie closer together than a window is wide, reads the nearest symbol that fits (the first of
  // equals). BitRead(unsigned Bit) learns of every symbol read, with the field bit its mark
  // stands for, and stops the walk by returning false. Bits carries a symbol's bits that the
  // field leaves to the next one. The field's value, or nothing when no symbol fits or BitRead
  // stops. Never throws.
  template <class TMatch, class TBitRead>
  static std::optional<uint64_t> Read(const TDefinition& Definition, const TDefinition::TItem& Data,
                                      TSymbolBits& Bits, TMatch&& Match, TBitRead&& BitRead) {
    uint64_t value = 0;
    for (unsigned filled = 0; filled < Data.Length;) {
      const bool read = Bits.Empty();
      if (read) {
        const TDefinition::TSymbol* found =
            Definition.SymbolBits > 1 ? Nearest(Definition, Match) : First(Definition, Match);
        if (!found) return std::nullopt;
        Bits.Set(found->Value, Definition.SymbolBits);
      }
      filled += Bits.Take(Data.Length - filled, Data.LeastSignificantFirst, filled, value);
      if (read && !BitRead(TSymbolBits::MarkBit(Data.Length, Data.LeastSignificantFirst, filled)))
        return std::nullopt;
    }
    return value;
  }

 private:
  template <class TMatch>
  static const TDefinition::TSymbol* First(const TDefinition& Definition, TMatch& Match) {
    for (const TDefinition::TSymbol& symbol : Definition.Symbols)
      if (Match(symbol.Timing, false)) return &symbol;
    return nullptr;
  }

  template <class TMatch>
  static const TDefinition::TSymbol* Nearest(const TDefinition& Definition, TMatch& Match) {
    const TDefinition::TSymbol* nearest = nullptr;
    double closest = 0;
    for (const TDefinition::TSymbol& symbol : Definition.Symbols) {
      const std::optional<double> distance = Match(symbol.Timing, true);
      if (distance && (!nearest || *distance < closest)) {
        nearest = &symbol;
        closest = *distance;
      }
    }
    if (nearest && !Match(nearest->Timing, false)) return nullptr;
    return nearest;
  }
};
