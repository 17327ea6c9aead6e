#include "TProtocolLearner.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "TGenericPass.h"
#include "TPositionCode.h"

namespace {
using TCoding = TGenericFrame::TCoding;
using TCluster = TGenericFrame::TCluster;
constexpr double MicrosPerSecond = 1e6;
constexpr size_t FieldBits = 8;  // data fields end at byte boundaries of the frame's bits
const char* const Indent = "      ";
constexpr double EndStepMicros = 100;  // the closing delimiter is rounded down to this
constexpr long MinEndMicros = 1000;
constexpr double JitterMicros = 25;
constexpr double MinCodingShare = 0.8;      // of the packets read, in the coding learned         //
                                            // added to the spread measured: a receiver's edges
constexpr double MaxToleranceMicros = 200;  // however spread the remote's timing
// Run width and run length: a symbol is two runs, a mark and a space in either order; a run is
// a bit (run width) or two (run length: one to four units, its units less one).
constexpr unsigned RunsPerSymbol = 2;
constexpr unsigned RunLengthBitsPerRun = 2;
constexpr unsigned MaxRunLengthUnits = 1u << RunLengthBitsPerRun;
constexpr size_t MaxDelimiterAlternatives = 8;
// Frames read as run width belong to one remote when their short widths are within this share
// of the frames' median.
constexpr double SameWidthShare = 0.25;

// The clusters of all frames together.
TCluster Merge(const TCluster& A, const TCluster& B) {
  if (A.Count == 0) return B;
  TCluster merged;
  merged.Min = std::min(A.Min, B.Min);
  merged.Max = std::max(A.Max, B.Max);
  merged.Count = A.Count + B.Count;
  merged.Centre =
      (A.Centre * static_cast<double>(A.Count) + B.Centre * static_cast<double>(B.Count)) /
      static_cast<double>(merged.Count);
  return merged;
}

// Pulse position: the widths measured over the packets of the pulse-position frames, of those
// read alone as pulse distance and of the Unread ones (a frame that sends many widths once each
// cannot be read alone), and those packets read again against them; the frames that then read
// regularly are added to Frames (Unread keeps the others), the other codings' frames are kept.
std::optional<TPositionCode> Positions(std::vector<TGenericFrame>& Frames,
                                       const std::vector<const std::vector<uint16_t>*>& Packets,
                                       std::vector<const std::vector<uint16_t>*>& Unread,
                                       size_t& Dropped) {
  TCluster mark;
  std::vector<const std::vector<uint16_t>*> packets = Unread;
  const auto alike = [](const TGenericFrame& F) {
    return F.Coding == TCoding::PulsePosition || F.Coding == TCoding::PulseDistance;
  };
  for (size_t f = 0; f < Frames.size(); ++f) {
    if (Frames[f].Coding == TCoding::PulsePosition) mark = Merge(mark, Frames[f].ShortMark);
    if (alike(Frames[f])) packets.push_back(Packets[f]);
  }
  std::optional<TPositionCode> code = TPositionCode::Measure(packets, mark);
  if (!code) return code;
  std::vector<TGenericFrame> kept;
  for (size_t f = 0; f < Frames.size(); ++f) {
    if (!alike(Frames[f])) {
      kept.push_back(std::move(Frames[f]));
      continue;
    }
    TGenericFrame frame = code->Read(*Packets[f]);
    if (!TGenericPass::Regular(frame)) {
      ++Dropped;
      continue;
    }
    kept.push_back(std::move(frame));
  }
  std::erase_if(Unread, [&](const std::vector<uint16_t>* Packet) {
    TGenericFrame frame = code->Read(*Packet);
    if (!TGenericPass::Regular(frame)) return false;
    kept.push_back(std::move(frame));
    return true;
  });
  Frames = std::move(kept);
  return code;
}

long Micros(double Samples, uint16_t Rate) {
  return std::lround(Samples * MicrosPerSecond / Rate);
}

// The value of Bits[From .. From + Count), most significant first.
unsigned Value(const std::vector<bool>& Bits, size_t From, size_t Count) {
  unsigned value = 0;
  for (size_t b = 0; b < Count; ++b) value = value << 1 | Bits[From + b];
  return value;
}

// A run-length frame as learning writes it: two bits a run (its units less one), not four.
TGenericFrame TwoBitsPerRun(TGenericFrame Frame) {
  const size_t from = TGenericFrame::BitsPerSymbol;
  std::vector<bool> bits;
  std::vector<double> ends;
  for (size_t b = 0; b + from <= Frame.Bits.size(); b += from) {
    const unsigned units = Value(Frame.Bits, b, from) - 1;
    for (unsigned k = RunLengthBitsPerRun; k-- > 0;) {
      bits.push_back((units >> k) & 1);
      ends.push_back(Frame.BitEnds[b]);
    }
  }
  Frame.Bits = std::move(bits);
  Frame.BitEnds = std::move(ends);
  for (TGenericFrame::TPart& part : Frame.Parts)
    part.BitCount = part.BitCount / from * RunLengthBitsPerRun;
  return Frame;
}

// A pattern of alternating levels from durations in microseconds.
std::string Pattern(bool HighFirst, const std::vector<long>& Micros) {
  std::string text;
  bool high = HighFirst;
  for (long duration : Micros) {
    text += high ? "#" : "_";
    text += std::to_string(duration);
    high = !high;
  }
  return text;
}
}  // namespace

// The timings of the bit patterns in microseconds.
struct TProtocolLearner::TTimings {
  TCoding Coding = TCoding::PulseDistance;
  long ShortMark = 0, LongMark = 0, ShortSpace = 0, LongSpace = 0;
  long HalfMark = 0, HalfSpace = 0;        // bi-phase half-bits
  long ToleranceMicros = 0;                // the definition's window
  unsigned SymbolBits = 1;                 // pulse position: 2 or 4 bits a symbol
  std::vector<long> Spaces;                // pulse position: the space of every symbol value
  unsigned BitsPerRun = 1;                 // run width 1, run length 2
  double UnitMicros = 0, ShiftMicros = 0;  // run length: a unit, a mark's edge shift

  // The bits of one symbol: one, or a pulse-position, run-width or run-length symbol's.
  size_t Unit() const { return SymbolBits; }
  // Run width and run length: the run of Value at the level High.
  long Run(unsigned Value, bool High) const {
    if (Coding == TCoding::RunLength)
      return std::lround((Value + 1) * UnitMicros + (High ? ShiftMicros : -ShiftMicros));
    return High ? (Value ? LongMark : ShortMark) : (Value ? LongSpace : ShortSpace);
  }
  // Run width and run length: the value of the run whose bits begin at Bits[From].
  unsigned RunValue(const std::vector<bool>& Bits, size_t From) const {
    return Value(Bits, From, BitsPerRun);
  }
  // Run width and run length: the pattern of the runs of Bits from the level High on.
  std::string Runs(const std::vector<bool>& Bits, bool High) const {
    std::vector<long> runs;
    for (size_t b = 0; b + BitsPerRun <= Bits.size(); b += BitsPerRun)
      runs.push_back(Run(RunValue(Bits, b), High == (b / BitsPerRun % 2 == 0)));
    return Pattern(High, runs);
  }
  // Run width and run length: the symbol Value (the first run's bits, the second run's) from
  // a mark (HighFirst), from a space (LowFirst) or as alternatives in both orders of levels.
  std::string RunSymbol(unsigned Value, bool HighFirst, bool LowFirst) const {
    std::vector<bool> bits;
    for (unsigned b = SymbolBits; b-- > 0;) bits.push_back((Value >> b & 1) != 0);
    if (!LowFirst) return Runs(bits, true);
    if (!HighFirst) return Runs(bits, false);
    return Runs(bits, true) + "|" + Runs(bits, false);
  }
  // The pulse-position symbol of Bits[From .. From + SymbolBits), most significant first.
  std::vector<long> Symbol(const std::vector<bool>& Bits, size_t From) const {
    return {ShortMark, Spaces[Value(Bits, From, SymbolBits)]};
  }

  // The 1 and 0 bit as half-bit levels (bi-phase) or as a mark and a space.
  std::vector<long> Bit(bool One) const {
    switch (Coding) {
      case TCoding::PulseDistance:
        return {ShortMark, One ? LongSpace : ShortSpace};
      case TCoding::PulseWidth:
        return {One ? LongMark : ShortMark, ShortSpace};
      case TCoding::PulseDistanceWidth:
        return {One ? LongMark : ShortMark, One ? ShortSpace : LongSpace};
      case TCoding::BiPhase:
        return One ? std::vector<long>{HalfSpace, HalfMark}
                   : std::vector<long>{HalfMark, HalfSpace};
      case TCoding::PulsePosition:
      case TCoding::RunWidth:
      case TCoding::RunLength:
        break;
    }
    return {};
  }
  bool BitHighFirst(bool One) const { return Coding != TCoding::BiPhase || !One; }

  // Fixed bits as one pattern: marks and spaces, or for bi-phase the half-bits merged into runs.
  std::string Fixed(const std::vector<bool>& Bits) const {
    if (Coding == TCoding::PulsePosition) {
      std::string text;
      for (size_t b = 0; b + SymbolBits <= Bits.size(); b += SymbolBits)
        text += Pattern(true, Symbol(Bits, b));
      return text;
    }
    if (Coding != TCoding::BiPhase) {
      std::string text;
      for (bool bit : Bits) text += Pattern(true, Bit(bit));
      return text;
    }
    std::vector<long> runs;
    bool firstHigh = !Bits.front(), high = !firstHigh;
    for (bool bit : Bits) {
      for (bool half : {!bit, bit}) {
        const long duration = half ? HalfMark : HalfSpace;
        if (!runs.empty() && half == high) {
          runs.back() += duration;
        } else {
          runs.push_back(duration);
        }
        high = half;
      }
    }
    return Pattern(firstHigh, runs);
  }
};

std::string TProtocolLearner::Escape(const std::string& Text) {
  std::string escaped;
  for (char c : Text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

TProtocolLearner::TResult TProtocolLearner::Learn(const std::string& Name,
                                                  const std::vector<std::vector<uint16_t>>& Packets,
                                                  uint16_t Rate, double ToleranceMicros) {
  TResult result;
  const bool blank = Name.find_first_not_of(" \t\r\n") == std::string::npos;
  if (blank) {
    result.Problem = "a learned protocol needs a name";
    return result;
  }
  std::vector<TGenericFrame> frames;
  std::vector<const std::vector<uint16_t>*> read, unread;  // the packet of every frame; the rest
  for (const std::vector<uint16_t>& packet : Packets) {
    std::optional<TGenericFrame> frame = TGenericPass::Read(packet, Rate);
    if (frame && !frame->Drifting) {  // a drifting frame would widen every window
      frames.push_back(std::move(*frame));
      read.push_back(&packet);
    } else {
      unread.push_back(&packet);
    }
  }
  result.Unread = unread.size();
  if (frames.empty()) {
    result.Problem = "none of the " + std::to_string(Packets.size()) +
                     " packets could be read (too short or irregular)";
    return result;
  }
  // One coding: a few packets of another (a receiver's glitch) are left out; packets of
  // different codings in like numbers are different remotes.
  std::map<TCoding, size_t> codings;
  for (const TGenericFrame& frame : frames) ++codings[frame.Coding];
  auto major = std::max_element(codings.begin(), codings.end(),
                                [](const auto& A, const auto& B) { return A.second < B.second; });
  // A pulse-position frame that sends only two of the widths is read alone as pulse distance.
  const bool positions = major->first == TCoding::PulsePosition;
  size_t sameCoding = major->second + (positions ? codings[TCoding::PulseDistance] : 0);
  // Frames read again as one coding replace the frames read alone when they are most packets.
  const auto readAgain = [&](std::vector<TGenericFrame> Again, TCoding Coding) {
    if (static_cast<double>(Again.size()) < MinCodingShare * static_cast<double>(frames.size()))
      return false;
    result.Unread = Packets.size() - Again.size();
    frames = std::move(Again);
    codings = {{Coding, frames.size()}};
    major = codings.begin();
    sameCoding = frames.size();
    return true;
  };
  // A run-length remote: the unit and the edge shift measured over its run-length frames (or
  // its run-width frames with longer runs between their bits), and every packet read again
  // against them (a frame of one or two lengths reads alone as run width or another coding);
  // runs up to four units long, longer ones delimiters.
  const auto unitFrame = [&](const TGenericFrame& F) {
    if (codings.count(TCoding::RunLength)) return F.Coding == TCoding::RunLength;
    if (F.Coding != TCoding::RunWidth || F.Parts.size() < 3) return false;
    return std::any_of(F.Parts.begin() + 1, F.Parts.end() - 1, [&](const TGenericFrame::TPart& P) {
      bool high = P.HighFirst;
      for (uint16_t run : P.Runs) {
        if (run <= (high ? F.LongMark.Max : F.LongSpace.Max)) return false;
        high = !high;
      }
      return !P.IsBits;
    });
  };
  std::optional<TGenericPass::TUnits> units;
  if (std::any_of(frames.begin(), frames.end(), unitFrame)) {
    TCluster mark, space;
    for (const TGenericFrame& frame : frames) {
      if (!unitFrame(frame)) continue;
      mark = Merge(mark, frame.ShortMark);
      space = Merge(space, frame.ShortSpace);
    }
    units = {(mark.Centre + space.Centre) / 2, (mark.Centre - space.Centre) / 2, MaxRunLengthUnits};
    std::vector<TGenericFrame> runs;
    for (const std::vector<uint16_t>& packet : Packets)
      if (std::optional<TGenericFrame> frame = TGenericPass::ReadUnits(packet, Rate, *units))
        runs.push_back(TwoBitsPerRun(std::move(*frame)));
    if (!readAgain(std::move(runs), TCoding::RunLength)) units.reset();
  }
  // Where some frames need run width, the others (bi-phase with a glitch, a frame whose long
  // marks are missing) are read as run width too.
  if (static_cast<double>(sameCoding) < MinCodingShare * static_cast<double>(frames.size()) &&
      codings.count(TCoding::RunWidth)) {
    std::vector<TGenericFrame> runs;
    for (const std::vector<uint16_t>& packet : Packets)
      if (std::optional<TGenericFrame> frame = TGenericPass::ReadRuns(packet, Rate))
        runs.push_back(std::move(*frame));
    // Frames of another remote have other widths.
    std::vector<double> marks, spaces;
    for (const TGenericFrame& frame : runs) {
      marks.push_back(frame.ShortMark.Centre);
      spaces.push_back(frame.ShortSpace.Centre);
    }
    const auto median = [](std::vector<double> Values) {
      std::nth_element(Values.begin(), Values.begin() + static_cast<long>(Values.size() / 2),
                       Values.end());
      return Values.empty() ? 0 : Values[Values.size() / 2];
    };
    const double mark = median(marks), space = median(spaces);
    std::erase_if(runs, [&](const TGenericFrame& F) {
      return std::abs(F.ShortMark.Centre - mark) > SameWidthShare * mark ||
             std::abs(F.ShortSpace.Centre - space) > SameWidthShare * space;
    });
    readAgain(std::move(runs), TCoding::RunWidth);
  }
  if (static_cast<double>(sameCoding) < MinCodingShare * static_cast<double>(frames.size())) {
    result.Problem = "the packets are of different codings:";
    for (const auto& [coding, count] : codings)
      result.Problem +=
          std::string(" ") + std::to_string(count) + " " + TGenericFrame::CodingName(coding) + ",";
    result.Problem.back() = ';';
    result.Problem += " learn each remote on its own";
    return result;
  }
  const TCoding coding = major->first;
  if (coding == TCoding::RunLength && !units) {
    result.Problem = "the packets are a run-length code whose runs do not all last one to " +
                     std::to_string(MaxRunLengthUnits) + " units of one length";
    return result;
  }
  result.OtherCoding = frames.size() - sameCoding;
  std::optional<TPositionCode> code;
  if (positions && coding == TCoding::PulsePosition) {
    code = Positions(frames, read, unread, result.LeftOut);
    result.Unread = unread.size();
    if (!code) {
      result.Problem = "the pulse-position frames' spaces do not fall into " +
                       std::to_string(TPositionCode::MinWidths) + " to " +
                       std::to_string(TPositionCode::MaxWidths) + " widths";
      return result;
    }
  }
  std::erase_if(frames, [coding](const TGenericFrame& F) { return F.Coding != coding; });

  TCluster shortMark, longMark, shortSpace, longSpace;
  // A frame without a long mark (space) has its short one there: it measures only the short.
  for (const TGenericFrame& frame : frames) {
    shortMark = Merge(shortMark, frame.ShortMark);
    shortSpace = Merge(shortSpace, frame.ShortSpace);
    if (frame.LongMark.Centre != frame.ShortMark.Centre) longMark = Merge(longMark, frame.LongMark);
    if (frame.LongSpace.Centre != frame.ShortSpace.Centre)
      longSpace = Merge(longSpace, frame.LongSpace);
  }
  if (longMark.Count == 0) longMark = shortMark;
  if (longSpace.Count == 0) longSpace = shortSpace;
  // A packet that sends one of the bit widths only (all its bits zero) is read with the widths
  // of the others (run width, run length and pulse position read every packet again above).
  if (coding != TCoding::RunWidth && coding != TCoding::RunLength &&
      coding != TCoding::PulsePosition) {
    TGenericFrame like;
    like.Coding = coding;
    like.ShortMark = shortMark;
    like.LongMark = longMark;
    like.ShortSpace = shortSpace;
    like.LongSpace = longSpace;
    std::erase_if(unread, [&](const std::vector<uint16_t>* Packet) {
      std::optional<TGenericFrame> frame = TGenericPass::ReadLike(*Packet, Rate, like);
      if (frame) frames.push_back(std::move(*frame));
      return frame.has_value();
    });
    result.Unread = unread.size();
  }
  // A pattern's duration is the middle of what was measured, so the window holds both ends.
  const auto middle = [Rate](const TCluster& C) { return Micros((C.Min + C.Max) / 2, Rate); };
  TTimings timings;
  timings.Coding = frames.front().Coding;
  timings.ShortMark = middle(shortMark);
  timings.LongMark = middle(longMark);
  timings.ShortSpace = middle(shortSpace);
  timings.LongSpace = middle(longSpace);
  // Bi-phase: a short run is one half-bit plus the edge shift, a long one two half-bits plus it.
  timings.HalfMark = Micros((shortMark.Centre + longMark.Centre / 2) / 2, Rate);
  timings.HalfSpace = Micros((shortSpace.Centre + longSpace.Centre / 2) / 2, Rate);
  if (coding == TCoding::RunWidth) timings.SymbolBits = RunsPerSymbol;
  if (units) {
    timings.BitsPerRun = RunLengthBitsPerRun;
    timings.SymbolBits = RunsPerSymbol * RunLengthBitsPerRun;
    timings.UnitMicros = units->Unit * MicrosPerSecond / Rate;
    timings.ShiftMicros = units->Shift * MicrosPerSecond / Rate;
    timings.ShortMark = timings.Run(0, true);
    timings.ShortSpace = timings.Run(0, false);
    timings.LongMark = timings.Run(MaxRunLengthUnits - 1, true);
    timings.LongSpace = timings.Run(MaxRunLengthUnits - 1, false);
  }
  if (code) {
    timings.ShortMark = timings.LongMark = middle(code->Mark());
    timings.SymbolBits = code->SymbolBits();
    for (double space : code->Spaces()) timings.Spaces.push_back(Micros(space, Rate));
    timings.ShortSpace = timings.Spaces.front();
    timings.LongSpace = timings.Spaces.back();
  }
  std::map<std::string, std::vector<TGenericFrame>> layouts;
  for (TGenericFrame& frame : frames) layouts[frame.Shape()].push_back(std::move(frame));
  std::vector<std::vector<TGenericFrame>*> kept;
  for (auto& [shape, group] : layouts) {
    kept.push_back(&group);
    result.Learned += group.size();
  }
  // A frame that begins another one's comes after it: the longest layouts first.
  std::stable_sort(kept.begin(), kept.end(), [](const auto* A, const auto* B) {
    return A->front().Bits.size() > B->front().Bits.size();
  });
  // The window holds the spread of the bit widths measured on the remote, plus a receiver's
  // jitter, but stays within half the step between a bit's two widths (delimiters that vary
  // more are written with alternatives).
  double spread = 0;
  for (const TCluster& cluster : {shortMark, longMark, shortSpace, longSpace})
    spread = std::max(spread, (cluster.Max - cluster.Min) / 2);
  const auto gap = [](const TCluster& Short, const TCluster& Long) {
    return Long.Centre == Short.Centre ? INFINITY : (Long.Min - Short.Max) / 2;
  };
  double limit = std::min(gap(shortMark, longMark), gap(shortSpace, longSpace));
  if (timings.Coding == TCoding::BiPhase) limit = std::min(shortMark.Min, shortSpace.Min) / 2;
  if (code) {
    spread = std::max(spread, code->Spread());
    limit = code->HalfGap();
  }
  if (units) {  // a run lies within a quarter unit of its units: half a unit tells them apart
    spread = 0;
    for (const auto* group : kept)
      for (const TGenericFrame& frame : *group) spread = std::max(spread, frame.UnitSpread);
    limit = units->Unit / 2;
  }
  const double wanted = spread * MicrosPerSecond / Rate + JitterMicros;
  timings.ToleranceMicros =
      std::lround(std::min({wanted, limit * MicrosPerSecond / Rate, MaxToleranceMicros}));
  timings.ToleranceMicros = std::max(timings.ToleranceMicros, std::lround(ToleranceMicros));
  if (timings.ToleranceMicros < std::lround(wanted))
    result.Notes += "The remote's timing spreads by +-" + std::to_string(std::lround(wanted)) +
                    " us, more than its bit widths leave room for (+-" +
                    std::to_string(timings.ToleranceMicros) +
                    " us): some packets may decode as likely only.\n";

  for (const auto* group : kept) result.Xml += Definition(Name, *group, timings, Rate);
  return result;
}

std::string TProtocolLearner::DelimiterPattern(const std::vector<TGenericFrame>& Frames,
                                               size_t Part, long ToleranceMicros, uint16_t Rate) {
  // The runs of the part in every frame, in groups whose every run spans no more than the
  // window: one alternative a group (a delimiter that takes in a bit's half in some frames).
  const double span = 2.0 * static_cast<double>(ToleranceMicros) * Rate / MicrosPerSecond;
  struct TGroup {
    std::vector<double> Low, High;
  };
  std::vector<TGroup> groups;
  for (const TGenericFrame& frame : Frames) {
    const std::vector<uint16_t>& runs = frame.Parts[Part].Runs;
    const auto fits = [&](const TGroup& G) {
      for (size_t r = 0; r < runs.size(); ++r)
        if (std::max<double>(G.High[r], runs[r]) - std::min<double>(G.Low[r], runs[r]) > span)
          return false;
      return true;
    };
    auto group = std::find_if(groups.begin(), groups.end(), fits);
    if (group == groups.end() && groups.size() < MaxDelimiterAlternatives) {
      groups.push_back({{runs.begin(), runs.end()}, {runs.begin(), runs.end()}});
      continue;
    }
    if (group == groups.end()) group = groups.begin();  // as varied as data: one wide group
    for (size_t r = 0; r < runs.size(); ++r) {
      group->Low[r] = std::min<double>(group->Low[r], runs[r]);
      group->High[r] = std::max<double>(group->High[r], runs[r]);
    }
  }
  // The decoder takes the front of a run longer than a pattern's last duration: the longer
  // alternative first.
  std::sort(groups.begin(), groups.end(), [](const TGroup& A, const TGroup& B) {
    return std::lexicographical_compare(B.High.rbegin(), B.High.rend(), A.High.rbegin(),
                                        A.High.rend());
  });
  std::string text;
  for (const TGroup& group : groups) {
    std::vector<long> runs;
    for (size_t r = 0; r < group.Low.size(); ++r)
      runs.push_back(Micros((group.Low[r] + group.High[r]) / 2, Rate));
    text += (text.empty() ? "" : "|") + Pattern(Frames.front().Parts[Part].HighFirst, runs);
  }
  return text;
}

std::string TProtocolLearner::Definition(const std::string& Name,
                                         const std::vector<TGenericFrame>& Frames,
                                         const TTimings& Timings, uint16_t Rate) {
  const TGenericFrame& first = Frames.front();
  const std::string escaped = Escape(Name);
  const std::string order = TGenericFrame::LeastSignificantFirst(first.Coding) ? "LSB" : "MSB";
  std::string xml = "  <protocol name=\"" + escaped + "\" tolerance=\"" +
                    std::to_string(Timings.ToleranceMicros) + "\">\n";
  xml +=
      "    <description>Learned from " + std::to_string(Frames.size()) +
      " packets: " + TGenericFrame::CodingName(first.Coding) + ", " +
      (first.Coding == TCoding::RunLength ? std::to_string(first.Bits.size() / Timings.BitsPerRun) +
                                                " runs (a symbol two runs, each its units less one)"
                                          : std::to_string(first.Bits.size()) + " bits (" +
                                                TGenericFrame::BitOrderText(first.Coding) + ")") +
      ".</description>\n";
  const bool runs = first.Coding == TCoding::RunWidth || first.Coding == TCoding::RunLength;
  if (runs) {
    // The levels the layout's pairs of runs begin at: only those orders are written.
    bool fromHigh = false, fromLow = false, level = true;
    for (const TGenericFrame::TPart& part : first.Parts) {
      const size_t count = part.IsBits ? part.BitCount / Timings.BitsPerRun : part.Runs.size();
      if (part.IsBits && count >= RunsPerSymbol) (level ? fromHigh : fromLow) = true;
      level = level != (count % 2 == 1);
    }
    xml += "    <bitset bits=\"" + std::to_string(Timings.SymbolBits) + "\">\n";
    for (unsigned value = 0; value < 1u << Timings.SymbolBits; ++value)
      xml += "      <bit value=\"" + std::to_string(value) + "\">" +
             Timings.RunSymbol(value, fromHigh, fromLow) + "</bit>\n";
  } else if (first.Coding == TCoding::PulsePosition) {
    xml += "    <bitset bits=\"" + std::to_string(Timings.SymbolBits) + "\">\n";
    for (size_t value = 0; value < Timings.Spaces.size(); ++value)
      xml += "      <bit value=\"" + std::to_string(value) + "\">" +
             Pattern(true, {Timings.ShortMark, Timings.Spaces[value]}) + "</bit>\n";
  } else {
    xml += "    <bitset>\n";
    for (bool one : {true, false})
      xml += "      <bit value=\"" + std::string(one ? "1" : "0") + "\">" +
             Pattern(Timings.BitHighFirst(one), Timings.Bit(one)) + "</bit>\n";
  }
  xml += "    </bitset>\n    <packet>\n";

  size_t bit = 0, field = 0, fixed = 0, delimiter = 0;
  const size_t unit = Timings.Unit();
  const auto constant = [&](size_t Bit) {  // the symbol from Bit on
    return std::all_of(Frames.begin(), Frames.end(), [&](const TGenericFrame& F) {
      return std::equal(F.Bits.begin() + static_cast<long>(Bit),
                        F.Bits.begin() + static_cast<long>(Bit + unit),
                        first.Bits.begin() + static_cast<long>(Bit));
    });
  };
  bool high = true;  // run width and run length: the level of the next run
  const auto fixedBits = [&](size_t From, size_t To) {
    const std::vector<bool> bits(first.Bits.begin() + static_cast<long>(From),
                                 first.Bits.begin() + static_cast<long>(To));
    xml += Indent + std::string("<delimiter name=\"fixed") + std::to_string(++fixed) + "\">" +
           (runs ? Timings.Runs(bits, high) : Timings.Fixed(bits)) + "</delimiter>\n";
  };
  // Run width and run length: pairs of runs as symbols (fields of at most FieldBits bits from
  // where the bits begin to vary); a last run of an odd stretch is a delimiter of the widths it
  // takes, the longest first.
  const auto runBits = [&](size_t From, size_t Count) {
    const size_t pairsEnd = From + Count / unit * unit;
    size_t at = From;
    while (at < pairsEnd) {
      size_t stop = at + unit;
      if (constant(at)) {
        while (stop < pairsEnd && constant(stop)) stop += unit;
        fixedBits(at, stop);
      } else {
        while (stop < pairsEnd && stop - at < FieldBits && !constant(stop)) stop += unit;
        xml += Indent + std::string("<data name=\"data") + std::to_string(++field) +
               "\" length=\"" + std::to_string(stop - at) + "\" bitorder=\"" + order + "\"/>\n";
      }
      at = stop;
    }
    if (at == From + Count) return;
    std::set<unsigned, std::greater<>> values;
    for (const TGenericFrame& frame : Frames) values.insert(Timings.RunValue(frame.Bits, at));
    std::vector<long> widths;
    for (unsigned value : values) widths.push_back(Timings.Run(value, high));
    xml += Indent + std::string("<delimiter name=\"edge") + std::to_string(++fixed) + "\">";
    for (size_t w = 0; w < widths.size(); ++w) xml += (w ? "|" : "") + Pattern(high, {widths[w]});
    xml += "</delimiter>\n";
  };
  for (size_t p = 0; p < first.Parts.size(); ++p) {
    const TGenericFrame::TPart& part = first.Parts[p];
    const bool startHigh = high;
    high = high != ((part.IsBits ? part.BitCount / Timings.BitsPerRun : part.Runs.size()) % 2 == 1);
    if (!part.IsBits) {
      const char* label = p == 0 ? "lead" : (p + 1 == first.Parts.size() ? "stop" : "gap");
      xml += Indent + std::string("<delimiter name=\"") + label +
             (std::string(label) == "gap" ? std::to_string(++delimiter) : "") + "\">" +
             DelimiterPattern(Frames, p, Timings.ToleranceMicros, Rate) + "</delimiter>\n";
      continue;
    }
    if (runs) {
      const bool endHigh = high;
      high = startHigh;
      runBits(bit, part.BitCount);
      bit += part.BitCount;
      high = endHigh;
      continue;
    }
    const size_t end = bit + part.BitCount;
    // A bi-phase frame whose first bit starts with an unseen idle space: that bit is always a 1.
    if (first.Coding == TCoding::BiPhase && bit == 0 && first.BiPhaseLeadingSpace) {
      xml += Indent + std::string("<delimiter name=\"start\">#") +
             std::to_string(Timings.HalfMark) + "</delimiter>\n";
      ++bit;
    }
    while (bit < end) {
      size_t stop = bit + unit;
      const bool fixedRun = constant(bit);
      if (fixedRun) {
        while (stop < end && constant(stop)) stop += unit;
        fixedBits(bit, stop);
      } else {
        const size_t byteEnd = (bit / FieldBits + 1) * FieldBits;
        while (stop < end && stop < byteEnd && !constant(stop)) stop += unit;
        xml += Indent + std::string("<data name=\"data") + std::to_string(++field) +
               "\" length=\"" + std::to_string(stop - bit) + "\" bitorder=\"" + order + "\"/>\n";
      }
      bit = stop;
    }
  }
  // The silence after the frame, less what a last bit's space (or half-bit) takes of it.
  double closing = INFINITY;
  for (const TGenericFrame& frame : Frames) closing = std::min(closing, frame.Closing);
  const double longest = static_cast<double>(
      std::max({Timings.LongSpace, Timings.LongMark, Timings.HalfSpace, Timings.ShortSpace}) +
      Timings.ToleranceMicros);
  const long end = std::lround(
      std::floor((closing * MicrosPerSecond / Rate - longest) / EndStepMicros) * EndStepMicros);
  xml += Indent + std::string("<delimiter name=\"end\">_") +
         std::to_string(std::clamp(end, MinEndMicros, std::lround(EndSilenceMicros))) +
         "</delimiter>\n";
  xml += "    </packet>\n  </protocol>\n";
  return xml;
}
