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
  // Reads Data's bits from the symbols of Definition: Match(const TCompiledPattern&) tries one
  // symbol's pattern where the walk stands (the symbols in the bitset's order; the first that
  // fits is read); BitRead(unsigned Bit) learns of every symbol read, with the field bit its
  // mark stands for, and stops the walk by returning false. Bits carries a symbol's bits that
  // the field leaves to the next one. The field's value, or nothing when no symbol fits or
  // BitRead stops. Never throws.
  template <class TMatch, class TBitRead>
  static std::optional<uint64_t> Read(const TDefinition& Definition, const TDefinition::TItem& Data,
                                      TSymbolBits& Bits, TMatch&& Match, TBitRead&& BitRead) {
    uint64_t value = 0;
    for (unsigned filled = 0; filled < Data.Length;) {
      const bool read = Bits.Empty();
      if (read) {
        const TDefinition::TSymbol* found = nullptr;
        for (const TDefinition::TSymbol& symbol : Definition.Symbols) {
          if (Match(symbol.Timing)) {
            found = &symbol;
            break;
          }
        }
        if (!found) return std::nullopt;
        Bits.Set(found->Value, Definition.SymbolBits);
      }
      filled += Bits.Take(Data.Length - filled, Data.LeastSignificantFirst, filled, value);
      if (read && !BitRead(TSymbolBits::MarkBit(Data.Length, Data.LeastSignificantFirst, filled)))
        return std::nullopt;
    }
    return value;
  }
};
