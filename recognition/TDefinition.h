#pragma once
// One protocol of the library in the form the decoder walks: read from its XML element once,
// when the library loads, so that decoding a packet queries no XML and parses no text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TCompiledPattern.h"
#include "TMarkText.h"

class TXmlNode;
class TXmlQuery;

class TDefinition {
 public:
  // How a definition's parts are found relative to its <protocol> element, and read: the one
  // place that says so, for the decoder and for everything else that reads the library.
  static constexpr const char* ItemsExpression = "packet/data[@length] | packet/delimiter";
  static constexpr const char* OneBitExpression = "bitset/bit[@value=1]";
  static constexpr const char* ZeroBitExpression = "bitset/bit[@value=0]";
  static constexpr const char* DelimiterElement = "delimiter";
  static constexpr const char* LeastSignificantFirst = "LSB";  // bitorder; anything else is MSB
  // plausible="LOW-HIGH" on a <data> element (decimal or 0x hex, inclusive): the values real
  // remotes of the protocol send in that field. Only the tolerant pass reads it.
  static constexpr const char* PlausibleAttribute = "plausible";
  // exclude="V V ..." on a <data> element (decimal or 0x hex, blanks or commas between): values
  // the field never has in this entry, because another entry of the same waveform owns frames
  // with them. Both passes leave such a frame to the entries after this one.
  static constexpr const char* ExcludeAttribute = "exclude";
  // complement-of="NAME" on a <data> element: the field holds the complement of the earlier
  // field NAME (every one of its bits inverted, NAME's value taken to this field's length), and
  // a frame where it does not is not this entry's. Naming no earlier field makes the field
  // unreadable.
  static constexpr const char* ComplementOfAttribute = "complement-of";
  // Optional attributes. <bitset bits="2"> (or "4"): each symbol stands for that many bits and
  // the bitset holds a <bit> of every value 0 .. 2^bits - 1; without it (or "1"), bits of 1 and
  // 0. <protocol tolerance="us" relative-tolerance="percent">: each duration of the entry fits
  // within +-(tolerance + percent of the duration), or the decoder's window if that is wider.
  static constexpr const char* SymbolBitsAttribute = "bits";
  static constexpr const char* ToleranceAttribute = "tolerance";
  static constexpr const char* RelativeToleranceAttribute = "relative-tolerance";
  // <protocol end-silence="ms">: the entry's frames hold spaces up to that long, longer than the
  // silence that ends a packet: a packet cut there may be joined with the next (TSilenceJoiner).
  static constexpr const char* EndSilenceAttribute = "end-silence";
  static constexpr unsigned MaxSymbolBits = 4;
  // <protocol carrier="Hz">: the carrier the entry's remotes send on (decimal or 0x hex); a
  // value of 0, above MaxCarrierHz or not a number leaves CarrierHz 0 (unknown).
  static constexpr const char* CarrierAttribute = "carrier";
  static constexpr uint32_t MaxCarrierHz = 1000000;

  // The compiled queries of the expressions above.
  struct TQueries {
    const TXmlQuery& Items;    // delimiters and data fields, in document order
    const TXmlQuery& OneBit;   // the first <bit value="1">
    const TXmlQuery& ZeroBit;  // the first <bit value="0">
  };

  // One symbol of the bitset: the bits it stands for and its pattern.
  struct TSymbol {
    unsigned Value = 0;
    TCompiledPattern Timing;
  };

  // One <delimiter> or <data> element. A delimiter without a name, or a data field without a
  // name, bit order, numeric length or bit patterns, makes its definition fail where it is
  // reached, as it always has.
  struct TRange {
    uint64_t Low = 0, High = 0;
    bool Holds(uint64_t Value) const { return Value >= Low && Value <= High; }
  };

  struct TItem {
    bool IsDelimiter = false;
    std::optional<std::string> Name;
    TMarkText Mark;           // the name as a mark's text ("" without one)
    TCompiledPattern Timing;  // a delimiter's pattern
    bool Readable = false;    // a data field with everything it needs
    unsigned Length = 0;      // bits of a data field, modulo 256
    bool LeastSignificantFirst = false;
    std::optional<TRange>
        Plausible;                   // a data field's plausible="LOW-HIGH"; none when absent or bad
    std::vector<uint64_t> Excluded;  // a data field's exclude="..."; empty when absent or bad
    // complement-of="...": the number of the data field (0 the first) this one complements.
    std::optional<size_t> ComplementOf;
    // Whether Value may be this field's, Values holding the earlier fields' values in order.
    bool Admits(uint64_t Value, const std::vector<uint64_t>& Values) const;
    // Whether exclude="..." names Value.
    bool Excludes(uint64_t Value) const;
    // Whether Value is the complement complement-of="..." asks for (true without one).
    bool Complements(uint64_t Value, const std::vector<uint64_t>& Values) const;
  };

  // Reads Protocol (an element that has a name attribute). Never fails; throws only when
  // memory runs out.
  static TDefinition Compile(const TXmlNode& Protocol, const TQueries& Queries,
                             const std::string& DecimalSeparator);

  // A plausible="LOW-HIGH" text as a range; nothing when it is not two numbers (decimal or
  // 0x hex, at most 32 bits) with LOW <= HIGH.
  static std::optional<TRange> ParseRange(const std::string& Text);
  // An exclude="..." text as its values; empty when one of them is not a number as above.
  static std::vector<uint64_t> ParseValues(const std::string& Text);

  // "bit0" to "bit255", the bit row's mark text of bit Bit (modulo 256). Never fails.
  static const std::string& BitMarkText(unsigned Bit);
  // The same as a mark's text handle, made once. Never fails.
  static TMarkText BitMark(unsigned Bit);

  // Converts every pattern to samples at Rate. Never fails.
  void SetRate(uint16_t Rate);
  // Numbers every pattern (TCompiledPattern::SetShapes). Never fails itself.
  template <class TNumber>
  void SetShapes(TNumber&& Number) {
    One.SetShapes(Number);
    Zero.SetShapes(Number);
    for (TSymbol& symbol : Symbols) symbol.Timing.SetShapes(Number);
    for (TItem& item : Items) item.Timing.SetShapes(Number);
  }
  // Whether Fits holds for a pattern (or any of its alternatives) that a frame of this definition
  // can begin with: its first delimiter's, or, when it begins with a data field, any symbol's.
  // True without items. Never fails itself.
  template <class TFits>
  bool AnyFirstPattern(TFits&& Fits) const {
    if (Items.empty()) return true;
    const auto any = [&](const TCompiledPattern& Pattern) {
      if (Fits(Pattern)) return true;
      for (const TCompiledPattern& alternative : Pattern.Alternatives())
        if (Fits(alternative)) return true;
      return false;
    };
    if (Items.front().IsDelimiter) return any(Items.front().Timing);
    for (const TSymbol& symbol : Symbols)
      if (any(symbol.Timing)) return true;
    return false;
  }
  // The most timing matches one try of this definition can make on any packet.
  uint64_t MostMatches() const;
  // True when every item has a name and a readable pattern and every data field its length,
  // bit order and the bitset's patterns: what a frame of it needs to be drawn and read whole.
  bool Complete() const;

  std::string Name;
  std::vector<TItem> Items;
  TCompiledPattern One;   // never matches when the bitset has no 1 pattern
  TCompiledPattern Zero;  // never matches when the bitset has no 0 pattern
  // The bitset in the order a data field tries it: the highest value first (1, then 0).
  std::vector<TSymbol> Symbols;
  unsigned SymbolBits = 1;
  double ToleranceMicros = 0, RelativeTolerance = 0;  // the entry's own window; 0: none
  double EndSilenceMillis = 0;  // the silence the entry's frames need; 0: the decoder's
  uint32_t CarrierHz = 0;       // 0: not given
};
