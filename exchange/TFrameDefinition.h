#pragma once
// One protocol definition of the library, copied out of the XML so that it can be used on any
// thread: the bit patterns and the items of a frame in the order they are sent.

#include <cstdint>
#include <string>
#include <vector>

struct TFrameItem {
  bool Delimiter = false;  // a fixed timing pattern; otherwise a data field
  std::string Name;
  std::string Pattern;    // delimiters: the timing pattern as written
  unsigned Length = 0;    // data fields: bits
  bool LsbFirst = false;  // data fields: bit order
};

struct TFrameDefinition {
  std::string Name;
  uint32_t CarrierHz = 0;
  std::string OneBit, ZeroBit;  // timing patterns
  // A bitset of symbols that stand for SymbolBits bits each (2 or 4): the pattern of every
  // value. Empty for bits of 1 and 0.
  unsigned SymbolBits = 1;
  std::vector<std::string> Symbols;
  std::vector<TFrameItem> Items;
};
