#pragma once
// The walk over one definition's items that both passes share: delimiters and data fields in
// document order, a field's bits read through TFieldWalk. A pass brings a matcher that says how
// a pattern is matched where the walk stands and what it keeps of what the walk reads.

#include <cstdint>
#include <optional>

#include "TDefinition.h"
#include "TFieldWalk.h"
#include "TSymbolBits.h"

class TDefinitionWalk {
 public:
  // Runs[0] of a packet is its leading low run, never matched: a walk starts at this run.
  static constexpr uint16_t FirstHighRun = 1;

  // Walks Definition's items with Matcher, which offers:
  //   bool Accepts(const TDefinition::TItem&)  - whether the walk may try the item at all;
  //   bool Delimiter(const TDefinition::TItem&, bool First) - matches a delimiter (First: the
  //        definition's first item) and keeps its marks;
  //   std::optional<double> Pattern(const TCompiledPattern&, bool Trial) - matches one symbol's
  //        pattern, or nothing; a Trial says how far the runs lie from it and leaves the walk in
  //        place;
  //   bool BitRead(unsigned Bit)                - learns of a symbol read (false stops the walk);
  //   bool FieldRead(const TDefinition::TItem&, uint64_t Value) - keeps (or refuses) a field;
  //   TSymbolBits& SymbolBits()                  - the bits a symbol leaves to the next field.
  // True when every item is read; false at the first that is not. Never throws itself.
  template <class TMatcher>
  static bool Read(const TDefinition& Definition, TMatcher& Matcher) {
    for (const TDefinition::TItem& item : Definition.Items) {
      if (!Matcher.Accepts(item)) return false;
      if (item.IsDelimiter) {
        if (!Matcher.Delimiter(item, &item == &Definition.Items.front())) return false;
        continue;
      }
      const std::optional<uint64_t> value = TFieldWalk::Read(
          Definition, item, Matcher.SymbolBits(),
          [&](const TCompiledPattern& Pattern, bool Trial) {
            return Matcher.Pattern(Pattern, Trial);
          },
          [&](unsigned Bit) { return Matcher.BitRead(Bit); });
      if (!value || !Matcher.FieldRead(item, *value)) return false;
    }
    return true;
  }
};
