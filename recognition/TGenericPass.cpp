#include "TGenericPass.h"

#include <algorithm>
#include <cmath>

#include "TDefinition.h"
#include "TDurationClusters.h"

namespace {
using TCoding = TGenericFrame::TCoding;
using TCluster = TGenericFrame::TCluster;

// Clustering: sorted durations belong together until one exceeds the one before by this much
// (and by a few samples):
// marks have at most two bit widths, often far apart, and a receiver that changes its gain
// within a frame moves them by a fifth; spaces may have four widths a third apart.
constexpr double MarkSplitRatio = 0.3;
// The longest mark alone, this much longer than the others of its cluster, is a stop mark.
constexpr double LoneMarkRatio = 0.2;
constexpr double SpaceSplitRatio = 0.2;
// A cluster that carries bits: seen at least twice, its longest no more than MaxSpread times
// its shortest (plus a few samples of jitter), and no shorter than MinBitMicros on average.
constexpr size_t MinBitClusterCount = 2;
constexpr size_t LeadInRuns = 2;  // marks (spaces) of a lead-in: a cluster of nothing else is none
// Where no position code fits, a space width this near a bit width is that width (a remote that
// stretches some of its spaces), if it is rare beside that width (a third of a position code's
// spaces have a width of their own) and the frame long (a short one is told from noise less).
constexpr double LooseNearRatio = 1.45;
constexpr size_t LooseShare = 4;
constexpr size_t MinLooseBits = 24;
constexpr double MaxSpread = 1.2;
// Marks of one width carry no bits: a receiver whose gain drifts within a long frame shortens
// them by up to a third.
constexpr double MaxMarkSpread = 1.45;
// The spaces of a long pulse-distance frame may spread as much where the long ones are this
// much longer than the short ones (a short frame with such spaces is a position code's).
constexpr double MinDriftSeparation = 1.6;
constexpr size_t MinDriftBits = 32;
constexpr double MaxDriftSpread = 1.8;  // such a frame's marks, long enough, may spread this much
constexpr double SpreadSlackSamples = 3;
constexpr double MinBitMicros = 100;
// How much longer than the shortest bit cluster the other bit cluster of marks (spaces) may be:
// two for bi-phase, up to four for pulse width and distance-width (fans' 1.3 ms / 0.3 ms) and
// three for pulse distance, whose spaces an edge shift of 150 us stretches to nearly four (a
// lead-in, once or twice per frame, is not a bit cluster however long).
constexpr double MaxMarkRatio = 4.5;
constexpr double MaxSpaceRatio = 4.6;
// A bit mark followed by a space outside the bit clusters starts a gap only when the space is
// this much longer than the long bit space; a shorter one is a third width (pulse position).
constexpr double MinGapRatio = 1.5;
// Pulse position: three to sixteen space widths, told apart more finely (their steps can be as
// small as an eighth of the width).
constexpr size_t MinPositions = 3, MaxPositions = 16;
constexpr double PositionSplitRatio = 0.04;
// The widths of a pulse-position code are a step apart, a width the frame does not send leaving
// a gap of two or three steps; a pulse-distance frame whose spaces spread (a receiver settling)
// splits into two close pairs far apart instead.
constexpr double MaxPositionGapRatio = 5;
// Bi-phase: the long runs are two half-bits. An edge shift lengthens the runs of one level and
// shortens the other's, so the shortened side's ratio may reach three (150 us of a 300 us
// half-bit); a long mark and a long space still last about twice a short mark and a short space.
constexpr double MinBiPhaseRatio = 1.5, MaxBiPhaseRatio = 3.2;
constexpr double MinBiPhasePeriodRatio = 1.7, MaxBiPhasePeriodRatio = 2.4;
// A frame has a lead-in, a trailer and gaps between its parts: at most 6 such runs and one more
// for every 4 bits.
constexpr size_t BaseDelimiterRuns = 6;
constexpr size_t BitsPerDelimiterRun = 4;
constexpr size_t MinRunWidthBits = 16;  // a run-width frame: every run a bit
// Run length: how far a run may be from a whole number of units, and the unit counts a frame
// must use.
constexpr double MaxUnitError = 0.25;
constexpr double UnitSlackSamples = 1;
constexpr long MinUnitCounts = 3;
constexpr size_t BaseRunWidthDelimiters = 3;
constexpr size_t BitsPerRunWidthDelimiter = 16;
constexpr double MicrosPerSecond = 1e6;

using TClustering = TDurationClusters;

// The one or two clusters that carry bits, by centre: the populous ones no longer than MaxRatio
// times the shortest populous one, the two most populous when there are more.
std::vector<size_t> BitClusters(const TClustering& Clustering, double MaxRatio) {
  const std::vector<TCluster>& Clusters = Clustering.Clusters;
  std::vector<size_t> candidates;
  for (size_t i = 0; i < Clusters.size(); ++i) {
    if (Clusters[i].Count < MinBitClusterCount) continue;
    if (Clustering.Last[i] < LeadInRuns) continue;  // a lead-in sent twice
    if (!candidates.empty() && Clusters[i].Centre > MaxRatio * Clusters[candidates[0]].Centre)
      break;
    candidates.push_back(i);
  }
  if (candidates.size() > 2) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](size_t a, size_t b) { return Clusters[a].Count > Clusters[b].Count; });
    candidates.resize(2);
    std::sort(candidates.begin(), candidates.end());
  }
  return candidates;
}

bool Tight(const TCluster& Cluster, uint16_t Rate, double Spread = MaxSpread) {
  const double micros = Cluster.Centre * MicrosPerSecond / Rate;
  return Cluster.Max <= Cluster.Min * Spread + SpreadSlackSamples && micros >= MinBitMicros;
}

// The runs of one packet, split into marks and spaces, with their clusters.
class TReader {
 public:
  // Like: a frame of the same remote whose bit widths the packet's clusters take in (nullptr:
  // the packet alone).
  TReader(const std::vector<uint16_t>& Pulses, uint16_t Rate, const TGenericFrame* Like = nullptr)
      : Pulses_(Pulses), Rate_(Rate), Like_(Like) {}

  // Clusters the marks and the spaces and picks the bit clusters; false when there are none.
  bool Prepare() {
    End_ = Pulses_.size();
    if (End_ % 2 == 1) --End_;  // the closing silence
    if (End_ < 2) return false;
    std::vector<double> marks, spaces;
    for (size_t i = 1; i < End_; ++i) (i % 2 ? marks : spaces).push_back(Pulses_[i]);
    // The widths of Like join the clusters after the packet's runs, which alone are read.
    if (Like_)
      for (const TCluster* cluster :
           {&Like_->ShortMark, &Like_->LongMark, &Like_->ShortSpace, &Like_->LongSpace}) {
        std::vector<double>& level =
            cluster == &Like_->ShortMark || cluster == &Like_->LongMark ? marks : spaces;
        level.insert(level.end(), {cluster->Min, cluster->Max});
      }
    Marks_ = TClustering::From(marks, MarkSplitRatio, LoneMarkRatio);
    Spaces_ = TClustering::From(spaces, SpaceSplitRatio);
    MarkBits_ = BitClusters(Marks_, MaxMarkRatio);
    SpaceBits_ = BitClusters(Spaces_, MaxSpaceRatio);
    return !MarkBits_.empty() && !SpaceBits_.empty();
  }

  // RunsOnly: as run width whatever coding fits.
  std::optional<TGenericFrame> Read(bool RunsOnly) {
    if (!Prepare()) return std::nullopt;
    if (RunsOnly) return Runs();
    if (MarkBits_.size() == 1) {
      const TCluster& mark = Marks_.Clusters[MarkBits_[0]];
      if (Tight(mark, Rate_, MaxMarkSpread)) return ReadOneMarkWidth();
      if (Tight(mark, Rate_, MaxDriftSpread)) return ReadDrifting();
      return std::nullopt;
    }
    if (MarkBits_.size() + SpaceBits_.size() < 3) return std::nullopt;  // nothing tells bits apart
    for (size_t id : MarkBits_)
      if (!Tight(Marks_.Clusters[id], Rate_)) return std::nullopt;
    for (size_t id : SpaceBits_)
      if (!Tight(BitSpaces(id), Rate_)) return std::nullopt;

    std::optional<TGenericFrame> frame;
    if (SpaceBits_.size() == 1) {
      frame = ReadPairs(TCoding::PulseWidth);
    } else {
      const bool biPhase = (!Like_ || Like_->Coding == TCoding::BiPhase) && BiPhaseRatios();
      if (biPhase) frame = ReadBiPhase(false);
      if (!frame && biPhase) frame = ReadBiPhase(true);
      if (!frame) frame = ReadPairs(TCoding::PulseDistanceWidth);
    }
    if (frame && Regular(*frame)) return frame;
    frame = Runs();
    if (frame) return frame;
    const TCluster& mark = Marks_.Clusters[MarkBits_.front()];
    const TCluster& space = Spaces_.Clusters[SpaceBits_.front()];
    return ReadUnits({(mark.Centre + space.Centre) / 2, (mark.Centre - space.Centre) / 2},
                     MinUnitCounts);
  }

  // As run length against Units (a remote's unit measured over all its packets), whatever unit
  // counts the frame uses.
  std::optional<TGenericFrame> ReadAgainst(const TGenericPass::TUnits& Units) {
    if (!Prepare()) return std::nullopt;
    return ReadUnits(Units, 1);
  }

 private:
  static bool Regular(const TGenericFrame& Frame) { return TGenericPass::Regular(Frame); }

  std::optional<TGenericFrame> Runs() {
    for (size_t id : MarkBits_)
      if (!Tight(Marks_.Clusters[id], Rate_)) return std::nullopt;
    for (size_t id : SpaceBits_)
      if (!Tight(BitSpaces(id), Rate_)) return std::nullopt;
    std::optional<TGenericFrame> frame = ReadRuns();
    if (!frame || !Regular(*frame) || !RegularRuns(*frame)) return std::nullopt;
    return frame;
  }

  // Run length: every run lasts one to Units.MaxUnits units, marks longer and spaces shorter by
  // the receiver's edge shift (read alone: the unit and the shift from the shortest mark and
  // space); longer runs are delimiters. MinCounts unit counts or more (two are run width's),
  // every run within MaxUnitError of its count. One hex digit a run.
  std::optional<TGenericFrame> ReadUnits(const TGenericPass::TUnits& Units, long MinCounts) {
    const double unit = Units.Unit, shift = Units.Shift;
    if (unit * MicrosPerSecond / Rate_ < MinBitMicros) return std::nullopt;
    TGenericFrame frame = Start(TCoding::RunLength);
    std::vector<bool> seen(TGenericFrame::MaxUnits + 1, false);
    for (size_t i = 1; i < End_; ++i) {
      const double run = Pulses_[i] + (i % 2 ? -shift : shift);
      const long units = std::lround(run / unit);
      if (units < 1 || units > long{Units.MaxUnits}) {
        AddDelimiterRun(frame, i);
        continue;
      }
      const double error = std::abs(run - static_cast<double>(units) * unit);
      if (error > MaxUnitError * unit + UnitSlackSamples) return std::nullopt;
      frame.UnitSpread = std::max(frame.UnitSpread, error);
      seen[static_cast<size_t>(units)] = true;
      Position_ += Pulses_[i];
      for (size_t b = TGenericFrame::BitsPerSymbol; b-- > 0;)
        frame.AddBit((units >> b) & 1, Position_);
    }
    if (std::count(seen.begin(), seen.end(), true) < MinCounts) return std::nullopt;
    size_t delimiterRuns = 0;
    for (const TGenericFrame::TPart& part : frame.Parts) delimiterRuns += part.Runs.size();
    const size_t runs = frame.Bits.size() / TGenericFrame::BitsPerSymbol;
    if (runs < MinRunWidthBits ||
        delimiterRuns > BaseRunWidthDelimiters + runs / BitsPerRunWidthDelimiter)
      return std::nullopt;
    return frame;
  }

  // Run width, where no other coding fits: every mark and every space in the bit clusters is a
  // bit (1 for the long width), every other run a delimiter.
  std::optional<TGenericFrame> ReadRuns() {
    TGenericFrame frame = Start(TCoding::RunWidth);
    for (size_t i = 1; i < End_; ++i) {
      const int width = i % 2 ? MarkBit(i) : SpaceBit(i);
      if (width < 0) {
        AddDelimiterRun(frame, i);
        continue;
      }
      Position_ += Pulses_[i];
      frame.AddBit(width == 1, Position_);
    }
    return frame;
  }

  // A run-width reading takes any run of the bit widths: it needs more bits and fewer other
  // runs than the other codings, or it would read noise.
  static bool RegularRuns(const TGenericFrame& Frame) {
    size_t delimiterRuns = 0;
    for (const TGenericFrame::TPart& part : Frame.Parts) delimiterRuns += part.Runs.size();
    return Frame.Bits.size() >= MinRunWidthBits &&
           delimiterRuns <= BaseRunWidthDelimiters + Frame.Bits.size() / BitsPerRunWidthDelimiter;
  }

  // Pulse position: marks of one width, the spaces after them of three or more widths, each
  // space a symbol (the rank of its width). Tried where pulse distance does not fit.
  std::optional<TGenericFrame> ReadPositions() {
    std::vector<double> symbols;
    for (size_t i = 1; i + 1 < End_; i += 2)
      if (MarkBit(i) >= 0) symbols.push_back(Pulses_[i + 1]);
    const TClustering widths = TClustering::From(symbols, PositionSplitRatio);
    // Widths seen once beyond the longest populous one are delimiters (a gap, a trailer).
    size_t levels = widths.Clusters.size();
    while (levels > 0 && widths.Clusters[levels - 1].Count < MinBitClusterCount) --levels;
    if (levels < MinPositions || levels > MaxPositions) return std::nullopt;
    for (size_t k = 0; k < levels; ++k)
      if (!Tight(widths.Clusters[k], Rate_)) return std::nullopt;
    if (!EvenSteps(widths.Clusters, levels)) return std::nullopt;
    TGenericFrame frame = Start(TCoding::PulsePosition);
    frame.ShortSpace = widths.Clusters.front();
    frame.LongSpace = widths.Clusters[levels - 1];
    size_t symbol = 0;
    for (size_t i = 1; i < End_; i += 2) {
      if (i + 1 >= End_ || MarkBit(i) < 0) {
        AddDelimiterRun(frame, i);
        if (i + 1 < End_) AddDelimiterRun(frame, i + 1);
        if (i + 1 < End_ && MarkBit(i) >= 0) ++symbol;
        continue;
      }
      const size_t rank = widths.Of[symbol++];
      if (rank >= levels) {
        AddDelimiterRun(frame, i);
        AddDelimiterRun(frame, i + 1);
        continue;
      }
      Position_ += Pulses_[i] + Pulses_[i + 1];
      for (size_t b = TGenericFrame::BitsPerSymbol; b-- > 0;)
        frame.AddBit((rank >> b) & 1, Position_);
    }
    return frame;
  }

  // True when the first Levels widths are about a step apart (see MaxPositionGapRatio).
  static bool EvenSteps(const std::vector<TCluster>& Widths, size_t Levels) {
    double least = INFINITY, most = 0;
    for (size_t k = 1; k < Levels; ++k) {
      const double gap = Widths[k].Centre - Widths[k - 1].Centre;
      least = std::min(least, gap);
      most = std::max(most, gap);
    }
    return most <= least * MaxPositionGapRatio;
  }

  // Marks of one width: pulse distance, else pulse position, else pulse distance with a rare
  // third space width.
  std::optional<TGenericFrame> ReadOneMarkWidth() {
    std::optional<TGenericFrame> frame;
    const TSpaces spaces = SpaceBits_.size() == 2 ? DistanceSpaces() : TSpaces::Wide;
    if (spaces != TSpaces::Wide) frame = ReadPairs(TCoding::PulseDistance);
    if (frame && spaces == TSpaces::Drifting && frame->Bits.size() < MinDriftBits) frame.reset();
    if (frame && Regular(*frame)) return frame;
    if (!Tight(Marks_.Clusters[MarkBits_[0]], Rate_)) return std::nullopt;
    frame = ReadPositions();
    if (frame && Regular(*frame)) return frame;
    if (SpaceBits_.size() != 2) return std::nullopt;
    LooseSpaces_ = true;
    frame = ReadPairs(TCoding::PulseDistance);
    if (frame) TakeInLooseSpaces(*frame);
    LooseSpaces_ = false;
    if (frame && Regular(*frame) && frame->Bits.size() >= MinLooseBits) return frame;
    return std::nullopt;
  }

  // Marks of one width that a receiver's gain drifting over a long packet spreads further:
  // only a long pulse-distance frame.
  std::optional<TGenericFrame> ReadDrifting() {
    if (SpaceBits_.size() != 2 || DistanceSpaces() == TSpaces::Wide) return std::nullopt;
    std::optional<TGenericFrame> frame = ReadPairs(TCoding::PulseDistance);
    if (!frame || !Regular(*frame) || frame->Bits.size() < MinDriftBits) return std::nullopt;
    frame->Drifting = true;
    return frame;
  }

  // Widens Frame's space clusters by the spaces SpaceBit counts as their width (Loose).
  void TakeInLooseSpaces(TGenericFrame& Frame) const {
    for (size_t k = 0; k < PacketSpaces(); ++k) {
      if (MarkBit(2 * k + 1) < 0) continue;
      const int width = SpaceBit(2 * k + 2);
      if (width < 0) continue;
      TCluster& cluster = width == 1 ? Frame.LongSpace : Frame.ShortSpace;
      const double value = Pulses_[2 * k + 2];
      cluster.Min = std::min(cluster.Min, value);
      cluster.Max = std::max(cluster.Max, value);
    }
  }

  // Whether the two bit spaces are tight, or far apart and each within MaxMarkSpread (a
  // receiver whose gain drifts over a long packet lengthens them as it shortens the marks).
  enum class TSpaces { Tight, Drifting, Wide };
  TSpaces DistanceSpaces() const {
    const TCluster shortSpace = BitSpaces(SpaceBits_[0]), longSpace = BitSpaces(SpaceBits_[1]);
    if (Tight(shortSpace, Rate_) && Tight(longSpace, Rate_)) return TSpaces::Tight;
    if (longSpace.Min >= shortSpace.Max * MinDriftSeparation &&
        Tight(shortSpace, Rate_, MaxMarkSpread) && Tight(longSpace, Rate_, MaxMarkSpread))
      return TSpaces::Drifting;
    return TSpaces::Wide;
  }

  // The spaces of cluster Id that follow a bit mark: a lead-in's space near the bit spaces
  // falls into their cluster but carries no bit, and must not widen it. The whole cluster when
  // fewer than two follow a bit mark.
  TCluster BitSpaces(size_t Id) const {
    TCluster bits;
    double sum = 0;
    for (size_t k = 0; k < PacketSpaces(); ++k) {
      if (Spaces_.Of[k] != Id || MarkBit(2 * k + 1) < 0) continue;
      const double value = Pulses_[2 * k + 2];
      bits.Min = bits.Count ? std::min(bits.Min, value) : value;
      bits.Max = std::max(bits.Max, value);
      sum += value;
      ++bits.Count;
    }
    if (bits.Count < MinBitClusterCount) return Spaces_.Clusters[Id];
    bits.Centre = sum / static_cast<double>(bits.Count);
    return bits;
  }

  // The packet's spaces before the closing silence (the clusters may hold Like's widths too).
  size_t PacketSpaces() const { return End_ / 2 - 1; }
  // 0 for the short bit cluster, 1 for the long one, -1 for a run outside them.
  int MarkBit(size_t Run) const { return Which(Marks_, MarkBits_, Run / 2); }
  int SpaceBit(size_t Run) const { return Which(Spaces_, SpaceBits_, Run / 2 - 1, LooseSpaces_); }
  // A run of a cluster of its own (a receiver changing its gain) counts as the bit width it is
  // near, if it is near one; Loose: a rare cluster within LooseNearRatio of a bit width does.
  static int Which(const TClustering& Clustering, const std::vector<size_t>& Bits, size_t Index,
                   bool Loose = false) {
    const size_t id = Clustering.Of[Index];
    for (size_t k = 0; k < Bits.size(); ++k)
      if (Bits[k] == id) return static_cast<int>(k);
    const TCluster& own = Clustering.Clusters[id];
    if (!Loose && own.Count >= MinBitClusterCount) return -1;
    const double near = Loose ? LooseNearRatio : TClustering::NearRatio;
    for (size_t k = 0; k < Bits.size(); ++k) {
      const TCluster& bit = Clustering.Clusters[Bits[k]];
      if (Loose && own.Count * LooseShare > bit.Count) continue;
      if (TClustering::Near(bit, own.Min, own.Max, near)) return static_cast<int>(k);
    }
    return -1;
  }

  bool BiPhaseRatios() const {
    const auto ratio = [](const TClustering& C, const std::vector<size_t>& Bits) {
      return C.Clusters[Bits[1]].Centre / C.Clusters[Bits[0]].Centre;
    };
    const double marks = ratio(Marks_, MarkBits_), spaces = ratio(Spaces_, SpaceBits_);
    const double periods =
        (Marks_.Clusters[MarkBits_[1]].Centre + Spaces_.Clusters[SpaceBits_[1]].Centre) /
        (Marks_.Clusters[MarkBits_[0]].Centre + Spaces_.Clusters[SpaceBits_[0]].Centre);
    return marks >= MinBiPhaseRatio && marks <= MaxBiPhaseRatio && spaces >= MinBiPhaseRatio &&
           spaces <= MaxBiPhaseRatio && periods >= MinBiPhasePeriodRatio &&
           periods <= MaxBiPhasePeriodRatio;
  }

  TGenericFrame Start(TCoding Coding) {
    TGenericFrame frame;
    frame.Coding = Coding;
    frame.ShortMark = Marks_.Clusters[MarkBits_.front()];
    frame.LongMark = Marks_.Clusters[MarkBits_.back()];
    frame.ShortSpace = Spaces_.Clusters[SpaceBits_.front()];
    frame.LongSpace = Spaces_.Clusters[SpaceBits_.back()];
    if (End_ + 1 == Pulses_.size()) frame.Closing = Pulses_.back();
    Position_ = Pulses_[0];
    return frame;
  }

  void AddDelimiterRun(TGenericFrame& Frame, size_t Run) {
    Position_ += Pulses_[Run];
    Frame.AddDelimiterRun(Pulses_[Run], Run % 2 == 1, Position_);
  }

  // Pulse distance, pulse width and distance-width: a bit is a mark and the space after it.
  std::optional<TGenericFrame> ReadPairs(TCoding Coding) {
    TGenericFrame frame = Start(Coding);
    for (size_t i = 1; i < End_; i += 2) {
      const int mark = MarkBit(i);
      if (i + 1 >= End_) {  // the last mark, before the closing silence: a bit where marks differ
        if (Coding != TCoding::PulseDistance && mark >= 0) {
          Position_ += Pulses_[i];
          frame.AddBit(mark == 1, Position_);
        } else {
          AddDelimiterRun(frame, i);
        }
        break;
      }
      const int space = SpaceBit(i + 1);
      bool isBit = mark >= 0 && space >= 0, bit = false;
      switch (Coding) {
        case TCoding::PulseDistance:
          bit = space == 1;
          break;
        case TCoding::PulseWidth:
          bit = mark == 1;
          break;
        case TCoding::PulseDistanceWidth:
        case TCoding::BiPhase:
        case TCoding::PulsePosition:
        case TCoding::RunWidth:
        case TCoding::RunLength:
          isBit = isBit && mark != space;
          bit = mark == 1;
          break;
      }
      if (!isBit) {
        if (mark >= 0 && Pulses_[i + 1] < MinGapRatio * frame.LongSpace.Max) return std::nullopt;
        AddDelimiterRun(frame, i);
        AddDelimiterRun(frame, i + 1);
        continue;
      }
      Position_ += Pulses_[i] + Pulses_[i + 1];
      frame.AddBit(bit, Position_);
    }
    return frame;
  }

  // Bi-phase: a lead-in of marks outside the bit clusters (with the space after each, or with
  // LeadSpaceHalves the last lead-in space as half-bits), then half-bits up to the end, every
  // bit a change of level in its middle; 1 = space then mark.
  std::optional<TGenericFrame> ReadBiPhase(bool LeadSpaceHalves) {
    TGenericFrame frame = Start(TCoding::BiPhase);
    size_t i = 1;
    while (i + 1 < End_ && MarkBit(i) < 0) {
      AddDelimiterRun(frame, i);
      if (LeadSpaceHalves && SpaceBit(i + 1) >= 0 && (i + 2 >= End_ || MarkBit(i + 2) >= 0)) {
        ++i;
        break;
      }
      AddDelimiterRun(frame, i + 1);
      i += 2;
    }
    if (LeadSpaceHalves && i % 2 == 1) return std::nullopt;  // the other reading's
    std::vector<bool> halves;                                // true: high
    std::vector<double> halfEnds;
    double position = Position_;
    for (size_t run = i; run < End_; ++run) {
      const bool high = run % 2 == 1;
      const int units = (high ? MarkBit(run) : SpaceBit(run)) + 1;
      if (units == 0) return std::nullopt;
      for (int u = 1; u <= units; ++u) {
        halves.push_back(high);
        halfEnds.push_back(position + Pulses_[run] * u / units);
      }
      position += Pulses_[run];
    }
    for (bool leadingSpace : {false, true}) {
      std::vector<bool> levels = halves;
      std::vector<double> ends = halfEnds;
      if (leadingSpace) {
        levels.insert(levels.begin(), false);
        ends.insert(ends.begin(), Position_);
      }
      if (levels.size() % 2) {
        levels.push_back(false);
        ends.push_back(ends.back() + frame.ShortSpace.Centre);
      }
      bool valid = true;
      for (size_t h = 0; h < levels.size() && valid; h += 2) valid = levels[h] != levels[h + 1];
      if (!valid) continue;
      frame.BiPhaseLeadingSpace = leadingSpace;
      for (size_t h = 0; h < levels.size(); h += 2) frame.AddBit(levels[h + 1], ends[h + 1]);
      return frame;
    }
    return std::nullopt;
  }

  const std::vector<uint16_t>& Pulses_;
  uint16_t Rate_;
  const TGenericFrame* Like_;
  size_t End_ = 0;  // the runs read: Pulses_ without the closing silence
  TClustering Marks_, Spaces_;
  std::vector<size_t> MarkBits_, SpaceBits_;
  double Position_ = 0;
  bool LooseSpaces_ = false;  // SpaceBit: see Which
};

std::string Micros(double Samples, uint16_t Rate) {
  return std::to_string(std::lround(Samples * MicrosPerSecond / Rate));
}

uint16_t MarkPosition(double Samples) {
  return static_cast<uint16_t>(std::clamp(std::lround(Samples), 0L, long{UINT16_MAX}));
}
}  // namespace

std::optional<TGenericFrame> TGenericPass::Read(const std::vector<uint16_t>& Pulses,
                                                uint16_t Rate) {
  if (Rate == 0) return std::nullopt;
  return TReader(Pulses, Rate).Read(false);
}

std::optional<TGenericFrame> TGenericPass::ReadUnits(const std::vector<uint16_t>& Pulses,
                                                     uint16_t Rate, const TUnits& Units) {
  if (Rate == 0 || Units.MaxUnits > TGenericFrame::MaxUnits) return std::nullopt;
  return TReader(Pulses, Rate).ReadAgainst(Units);
}

std::optional<TGenericFrame> TGenericPass::ReadLike(const std::vector<uint16_t>& Pulses,
                                                    uint16_t Rate, const TGenericFrame& Like) {
  if (Rate == 0) return std::nullopt;
  std::optional<TGenericFrame> frame = TReader(Pulses, Rate, &Like).Read(false);
  if (!frame || frame->Coding != Like.Coding || frame->Drifting) return std::nullopt;
  return frame;
}

std::optional<TGenericFrame> TGenericPass::ReadRuns(const std::vector<uint16_t>& Pulses,
                                                    uint16_t Rate) {
  if (Rate == 0) return std::nullopt;
  return TReader(Pulses, Rate).Read(true);
}

bool TGenericPass::Regular(const TGenericFrame& Frame) {
  if (Frame.Bits.size() < MinBits) return false;
  size_t delimiterRuns = 0;
  for (const TGenericFrame::TPart& part : Frame.Parts) delimiterRuns += part.Runs.size();
  return delimiterRuns <= BaseDelimiterRuns + Frame.Bits.size() / BitsPerDelimiterRun;
}

bool TGenericPass::Decode(TSample& Sample, uint16_t Rate) {
  const std::optional<TGenericFrame> frame = Read(Sample.Pulses, Rate);
  if (!frame) return false;
  auto protocol = std::make_unique<TProtocol>();
  protocol->ProtocolName = TGenericFrame::CodingName(frame->Coding);
  protocol->Match = TProtocol::TMatch::Generic;
  protocol->MatchNote = Note(*frame, Rate);
  protocol->AddField(BitsField,
                     static_cast<uint16_t>(std::min<size_t>(frame->Bits.size(), UINT16_MAX)));
  TProtocolField data;
  data.Name = DataField;
  data.Text = frame->DataText();
  protocol->Fields.push_back(std::move(data));
  Sample.Protocol = std::move(protocol);
  AddMarks(*frame, Sample);
  return true;
}

std::string TGenericPass::Note(const TGenericFrame& Frame, uint16_t Rate) {
  const auto pair = [Rate](const TCluster& Short, const TCluster& Long) {
    if (Short.Centre == Long.Centre) return Micros(Short.Centre, Rate);
    return Micros(Short.Centre, Rate) + " / " + Micros(Long.Centre, Rate);
  };
  std::string note = std::string(TGenericFrame::CodingName(Frame.Coding)) + ", " +
                     std::to_string(Frame.Bits.size()) + " bits, " +
                     TGenericFrame::BitOrderText(Frame.Coding) + "; marks " +
                     pair(Frame.ShortMark, Frame.LongMark) + " µs, spaces " +
                     pair(Frame.ShortSpace, Frame.LongSpace) + " µs";
  for (size_t p = 0; p < Frame.Parts.size(); ++p) {
    const TGenericFrame::TPart& part = Frame.Parts[p];
    if (part.IsBits) continue;
    note += p == 0 ? "; lead-in " : (p + 1 == Frame.Parts.size() ? "; trailer " : "; gap ");
    bool high = part.HighFirst;
    for (size_t r = 0; r < part.Runs.size(); ++r, high = !high) {
      note += high ? '#' : '_';
      note += Micros(part.Runs[r], Rate);
    }
  }
  return note;
}

void TGenericPass::AddMarks(const TGenericFrame& Frame, TSample& Sample) {
  Sample.BitMarks().clear();
  Sample.FieldMarks().clear();
  if (Sample.Pulses.empty()) return;
  Sample.AddMark(TSample::BitRow, Sample.Pulses[0], "");
  Sample.AddMark(TSample::FieldRow, Sample.Pulses[0], "");
  size_t bit = 0;
  for (size_t p = 0; p < Frame.Parts.size(); ++p) {
    const TGenericFrame::TPart& part = Frame.Parts[p];
    if (part.IsBits) {
      for (size_t k = 0; k < part.BitCount; ++k, ++bit)
        Sample.AddMark(TSample::BitRow, MarkPosition(Frame.BitEnds[bit]),
                       TDefinition::BitMark(static_cast<unsigned>(bit)));
      Sample.AddMark(TSample::FieldRow, MarkPosition(part.End), DataField);
      continue;
    }
    const char* name = p == 0 ? "lead" : (p + 1 == Frame.Parts.size() ? "trailer" : "gap");
    Sample.AddMark(TSample::BitRow, MarkPosition(part.End), "");
    Sample.AddMark(TSample::FieldRow, MarkPosition(part.End), name);
  }
}
