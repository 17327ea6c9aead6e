#pragma once
// One protocol of the library in the form the decoder walks: read from its XML element once,
// when the library loads, so that decoding a packet queries no XML and parses no text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TCompiledPattern.h"

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
  // An attribute of <protocol>: the window (us) of its durations when wider than the decoder's.
  static constexpr const char* ToleranceAttribute = "tolerance";

  // The compiled queries of the expressions above.
  struct TQueries {
    const TXmlQuery& Items;    // delimiters and data fields, in document order
    const TXmlQuery& OneBit;   // the first <bit value="1">
    const TXmlQuery& ZeroBit;  // the first <bit value="0">
  };

  // One <delimiter> or <data> element. A delimiter without a name, or a data field without a
  // name, bit order, numeric length or bit patterns, makes its definition fail where it is
  // reached, as it always has.
  struct TItem {
    bool IsDelimiter = false;
    std::optional<std::string> Name;
    TCompiledPattern Timing;  // a delimiter's pattern
    bool Readable = false;    // a data field with everything it needs
    unsigned Length = 0;      // bits of a data field, modulo 256
    bool LeastSignificantFirst = false;
  };

  // Reads Protocol (an element that has a name attribute). Never fails; throws only when
  // memory runs out.
  static TDefinition Compile(const TXmlNode& Protocol, const TQueries& Queries,
                             const std::string& DecimalSeparator);

  // "bit0" to "bit255", the bit row's mark text of bit Bit (modulo 256). Never fails.
  static const std::string& BitMarkText(unsigned Bit);

  // Converts every pattern to samples at Rate. Never fails.
  void SetRate(uint16_t Rate);
  // The most timing matches one try of this definition can make on any packet.
  uint64_t MostMatches() const;

  std::string Name;
  double ToleranceMicros = 0;  // its own window; 0 (or no number) when it has none
  float ToleranceSamples = 0;  // the same at the rate of SetRate
  std::vector<TItem> Items;
  TCompiledPattern One;   // never matches when the bitset has no 1 pattern
  TCompiledPattern Zero;  // never matches when the bitset has no 0 pattern
};
