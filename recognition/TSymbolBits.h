#pragma once
// Places the bits of a bitset's symbols into data fields, for both passes. A symbol of n bits
// gives its bits from its top to an MSB field and from its bottom to an LSB field; bits a field
// does not need go to the next field (RC-MM's 1-bit toggle and 7-bit mode share a symbol). A
// field's bits past the 64th are not kept.

#include <algorithm>
#include <cstdint>

class TSymbolBits {
 public:
  static constexpr unsigned ValueBits = 64;

  // A new frame: no bits left over.
  void Clear() { Left_ = 0; }
  // True when the bits of the last symbol are all placed.
  bool Empty() const { return Left_ == 0; }
  // The next symbol read: Width bits worth Value.
  void Set(unsigned Value, unsigned Width) {
    Symbol_ = Value;
    Left_ = Width;
  }
  // Moves up to Wanted of the symbol's bits into Value, a field Filled bits of which are read.
  // Returns how many it moved (at least one unless Empty()).
  unsigned Take(unsigned Wanted, bool LeastSignificantFirst, unsigned Filled, uint64_t& Value) {
    const unsigned count = std::min(Wanted, Left_);
    const unsigned mask = (1u << count) - 1;
    Left_ -= count;
    if (LeastSignificantFirst) {
      if (Filled < ValueBits) Value |= uint64_t{Symbol_ & mask} << Filled;
      Symbol_ >>= count;
    } else {
      Value = Value << count | ((Symbol_ >> Left_) & mask);
    }
    return count;
  }
  // The field bit the last Take reached, for the bit row's mark: the highest bit of a field read
  // LSB first so far, or the lowest of one read MSB first.
  static unsigned MarkBit(unsigned Length, bool LeastSignificantFirst, unsigned Filled) {
    return LeastSignificantFirst ? Filled - 1 : Length - Filled;
  }

 private:
  unsigned Symbol_ = 0;
  unsigned Left_ = 0;
};
