#include "TPositionCode.h"

#include <algorithm>
#include <cmath>

#include "TDurationClusters.h"

namespace {
using TCluster = TGenericFrame::TCluster;

// Sorted spaces belong to one width until one exceeds the one before by more than this share
// and a few samples (a receiver's jitter is a sample or two; the steps of these codes are an
// eighth of the width or more).
constexpr double SplitRatio = 0.02;
// The symbol widths: from the shortest seen twice up to this many times it; a longer space is
// a gap or a lead-in.
constexpr double MaxWidthRatio = 8;
constexpr size_t MinWidthCount = 2;
constexpr unsigned FewWidthsBits = 2, ManyWidthsBits = 4;

// The runs read: without the closing silence.
size_t ReadEnd(const std::vector<uint16_t>& Packet) {
  return Packet.size() % 2 == 1 ? Packet.size() - 1 : Packet.size();
}

}  // namespace

std::optional<TPositionCode> TPositionCode::Measure(
    const std::vector<const std::vector<uint16_t>*>& Packets, const TCluster& Mark) {
  TPositionCode code;
  code.Mark_ = Mark;
  std::vector<double> spaces;
  for (const std::vector<uint16_t>* packet : Packets) {
    const size_t end = ReadEnd(*packet);
    for (size_t i = 1; i + 1 < end; i += 2)
      if (code.IsMark((*packet)[i])) spaces.push_back((*packet)[i + 1]);
  }
  const std::vector<TCluster> clusters = TDurationClusters::From(spaces, SplitRatio).Clusters;
  size_t first = 0;
  while (first < clusters.size() && clusters[first].Count < MinWidthCount) ++first;
  if (first == clusters.size()) return std::nullopt;
  size_t last = first;
  for (size_t k = first;
       k < clusters.size() && clusters[k].Centre <= MaxWidthRatio * clusters[first].Centre; ++k)
    if (clusters[k].Count >= MinWidthCount) last = k;
  code.Widths_.assign(clusters.begin() + static_cast<long>(first),
                      clusters.begin() + static_cast<long>(last) + 1);
  const size_t count = code.Widths_.size();
  if (count < MinWidths || count > MaxWidths) return std::nullopt;
  code.SymbolBits_ = count <= (1u << FewWidthsBits) ? FewWidthsBits : ManyWidthsBits;
  double step = INFINITY, gap = INFINITY;
  for (size_t k = 0; k < count; ++k) {
    const TCluster& width = code.Widths_[k];
    code.Spaces_.push_back((width.Min + width.Max) / 2);
    code.Spread_ = std::max(code.Spread_, (width.Max - width.Min) / 2);
    if (k == 0) continue;
    step = std::min(step, code.Spaces_[k] - code.Spaces_[k - 1]);
    gap = std::min(gap, width.Min - code.Widths_[k - 1].Max);
  }
  while (code.Spaces_.size() < (size_t{1} << code.SymbolBits_))
    code.Spaces_.push_back(code.Spaces_.back() + step);
  code.HalfGap_ = gap / 2;
  return code;
}

bool TPositionCode::IsMark(uint16_t Run) const {
  return TDurationClusters::Near(Mark_, Run, Run);
}

int TPositionCode::Rank(uint16_t Space) const {
  for (size_t k = 0; k < Widths_.size(); ++k) {
    const TCluster& width = Widths_[k];
    if (Space >= width.Min - HalfGap_ && Space <= width.Max + HalfGap_) return static_cast<int>(k);
  }
  return -1;
}

TGenericFrame TPositionCode::Read(const std::vector<uint16_t>& Packet) const {
  TGenericFrame frame;
  frame.Coding = TGenericFrame::TCoding::PulsePosition;
  frame.ShortMark = frame.LongMark = Mark_;
  frame.ShortSpace = Widths_.front();
  frame.LongSpace = Widths_.back();
  const size_t end = ReadEnd(Packet);
  if (end + 1 == Packet.size()) frame.Closing = Packet.back();
  double position = Packet.empty() ? 0 : Packet[0];
  const auto delimiter = [&](size_t Run) {
    position += Packet[Run];
    frame.AddDelimiterRun(Packet[Run], Run % 2 == 1, position);
  };
  for (size_t i = 1; i < end; i += 2) {
    const int rank = i + 1 < end && IsMark(Packet[i]) ? Rank(Packet[i + 1]) : -1;
    if (rank < 0) {
      delimiter(i);
      if (i + 1 < end) delimiter(i + 1);
      continue;
    }
    position += Packet[i] + Packet[i + 1];
    for (unsigned b = SymbolBits_; b-- > 0;)
      frame.AddBit((static_cast<unsigned>(rank) >> b) & 1, position);
  }
  return frame;
}
