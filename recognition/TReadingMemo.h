#pragma once
// What patterns read at the start of whole runs of one packet under one model: refused, or every
// duration read whole. Kept by the pattern's shape number (TCompiledPattern::Shape) and the run
// it starts at, so that definitions walked with the same model share what a shape read there.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class TReadingMemo {
 public:
  // Front, a reading whose last duration took the front of a run, is never kept.
  enum class TReading : uint8_t { Unknown, Refused, Whole, Front };
  // Runs past this many are not kept: a long packet's memo stays small.
  static constexpr size_t MaxRuns = 256;

  // Forgets every reading: a new packet. Rows are emptied when first used. Never fails except
  // when memory runs out.
  void Clear() {
    if (WidthWanted_ > Width_) {
      Width_ = WidthWanted_;
      Readings_.assign(Width_ * MaxRuns, TReading::Unknown);
      RowPacket_.assign(MaxRuns, 0);
    }
    ++Packet_;
  }
  // Unknown where nothing is kept (shape 0, a run past MaxRuns, a shape first met in this packet).
  TReading Get(uint32_t Shape, size_t Run) const {
    if (Shape >= Width_ || Run >= MaxRuns || RowPacket_[Run] != Packet_) return TReading::Unknown;
    return Readings_[Run * Width_ + Shape];
  }
  // Keeps Reading where it can; a shape number too large for the table widens it from the next
  // packet on.
  void Set(uint32_t Shape, size_t Run, TReading Reading) {
    if (Shape >= Width_) WidthWanted_ = std::max<size_t>(WidthWanted_, size_t{Shape} + 1);
    if (Shape == 0 || Shape >= Width_ || Run >= MaxRuns || Reading == TReading::Front) return;
    if (RowPacket_[Run] != Packet_) {
      std::fill_n(Readings_.begin() + static_cast<std::ptrdiff_t>(Run * Width_), Width_,
                  TReading::Unknown);
      RowPacket_[Run] = Packet_;
    }
    Readings_[Run * Width_ + Shape] = Reading;
  }

 private:
  std::vector<TReading> Readings_;   // MaxRuns rows of Width_ shapes
  std::vector<uint64_t> RowPacket_;  // the packet each row was last emptied for
  uint64_t Packet_ = 1;
  size_t Width_ = 0, WidthWanted_ = 0;
};
