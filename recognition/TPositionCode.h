#pragma once
// The code of a pulse-position remote, measured over all its packets: the width of the bit
// marks and the space widths that stand for symbols. One frame alone ranks only the widths it
// sends, so learning reads every packet again against the widths of all of them; a packet that
// sends only two of the widths (read alone as pulse distance) is then read alike.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "TGenericFrame.h"

class TPositionCode {
 public:
  static constexpr size_t MinWidths = 3, MaxWidths = 16;

  // Measures the spaces that follow marks of Mark's width in Packets (runs as TSample::Pulses).
  // Nothing when they do not fall into three to sixteen widths. Never throws except when memory
  // runs out.
  static std::optional<TPositionCode> Measure(
      const std::vector<const std::vector<uint16_t>*>& Packets,
      const TGenericFrame::TCluster& Mark);
  // Packet as a pulse-position frame: a bit mark and a space of one of the widths is a symbol,
  // its SymbolBits() bits the width's rank (most significant first); other runs are delimiters.
  // Never fails.
  TGenericFrame Read(const std::vector<uint16_t>& Packet) const;

  // 2 for up to four widths, else 4.
  unsigned SymbolBits() const { return SymbolBits_; }
  // The space of every symbol value 0 .. 2^SymbolBits() - 1 in samples: the measured widths,
  // then values no packet sent, a step apart beyond the longest.
  const std::vector<double>& Spaces() const { return Spaces_; }
  const TGenericFrame::TCluster& Mark() const { return Mark_; }
  // Half the widest spread of one measured width, and half the narrowest gap between two.
  double Spread() const { return Spread_; }
  double HalfGap() const { return HalfGap_; }

 private:
  bool IsMark(uint16_t Run) const;
  // The rank of the width Space falls into, or -1.
  int Rank(uint16_t Space) const;

  TGenericFrame::TCluster Mark_;
  std::vector<TGenericFrame::TCluster> Widths_;  // measured, by duration
  std::vector<double> Spaces_;
  unsigned SymbolBits_ = 2;
  double Spread_ = 0, HalfGap_ = 0;
};
