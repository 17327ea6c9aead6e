#include "TProtocolLearner.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "TGenericPass.h"

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

long Micros(double Samples, uint16_t Rate) {
  return std::lround(Samples * MicrosPerSecond / Rate);
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
  long HalfMark = 0, HalfSpace = 0;  // bi-phase half-bits
  long ToleranceMicros = 0;          // the definition's window

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
        break;
    }
    return {};
  }
  bool BitHighFirst(bool One) const { return Coding != TCoding::BiPhase || !One; }

  // Fixed bits as one pattern: marks and spaces, or for bi-phase the half-bits merged into runs.
  std::string Fixed(const std::vector<bool>& Bits) const {
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
  for (const std::vector<uint16_t>& packet : Packets) {
    std::optional<TGenericFrame> frame = TGenericPass::Read(packet, Rate);
    if (frame) {
      frames.push_back(std::move(*frame));
    } else {
      ++result.Unread;
    }
  }
  if (frames.empty()) {
    result.Problem = "none of the " + std::to_string(Packets.size()) +
                     " packets could be read (too short or irregular)";
    return result;
  }
  // One coding: a few packets of another (a receiver's glitch) are left out; packets of
  // different codings in like numbers are different remotes.
  std::map<TCoding, size_t> codings;
  for (const TGenericFrame& frame : frames) ++codings[frame.Coding];
  const auto major =
      std::max_element(codings.begin(), codings.end(),
                       [](const auto& A, const auto& B) { return A.second < B.second; });
  if (static_cast<double>(major->second) < MinCodingShare * static_cast<double>(frames.size())) {
    result.Problem = "the packets are of different codings:";
    for (const auto& [coding, count] : codings)
      result.Problem +=
          std::string(" ") + std::to_string(count) + " " + TGenericFrame::CodingName(coding) + ",";
    result.Problem.back() = ';';
    result.Problem += " learn each remote on its own";
    return result;
  }
  const TCoding coding = major->first;
  result.OtherCoding = frames.size() - major->second;
  std::erase_if(frames, [coding](const TGenericFrame& F) { return F.Coding != coding; });
  if (coding == TCoding::PulsePosition || coding == TCoding::RunWidth) {
    result.Problem = std::string(TGenericFrame::CodingName(coding)) +
                     " frames cannot be written with the library's two bit patterns of a mark "
                     "and a space each";
    return result;
  }

  TCluster shortMark, longMark, shortSpace, longSpace;
  for (const TGenericFrame& frame : frames) {
    shortMark = Merge(shortMark, frame.ShortMark);
    longMark = Merge(longMark, frame.LongMark);
    shortSpace = Merge(shortSpace, frame.ShortSpace);
    longSpace = Merge(longSpace, frame.LongSpace);
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
  std::map<std::string, std::vector<TGenericFrame>> layouts;
  for (TGenericFrame& frame : frames) layouts[frame.Shape()].push_back(std::move(frame));
  std::vector<std::vector<TGenericFrame>*> kept;
  for (auto& [shape, group] : layouts) {
    if (group.size() < MinLayoutPackets && layouts.size() > 1) {
      result.LeftOut += group.size();
      continue;
    }
    kept.push_back(&group);
    result.Learned += group.size();
  }
  // A frame that begins another one's comes after it: the longest layouts first.
  std::stable_sort(kept.begin(), kept.end(), [](const auto* A, const auto* B) {
    return A->front().Bits.size() > B->front().Bits.size();
  });
  // The window holds the spread measured on the remote, plus a receiver's jitter, but stays
  // within half the step between a bit's two widths.
  double spread = 0;
  for (const TCluster& cluster : {shortMark, longMark, shortSpace, longSpace})
    spread = std::max(spread, (cluster.Max - cluster.Min) / 2);
  for (const auto* group : kept) {
    const TGenericFrame& first = group->front();
    for (size_t p = 0; p < first.Parts.size(); ++p)
      for (size_t r = 0; r < first.Parts[p].Runs.size(); ++r) {
        double low = INFINITY, high = 0;
        for (const TGenericFrame& frame : *group) {
          low = std::min<double>(low, frame.Parts[p].Runs[r]);
          high = std::max<double>(high, frame.Parts[p].Runs[r]);
        }
        spread = std::max(spread, (high - low) / 2);
      }
  }
  const auto gap = [](const TCluster& Short, const TCluster& Long) {
    return Long.Centre == Short.Centre ? INFINITY : (Long.Min - Short.Max) / 2;
  };
  double limit = std::min(gap(shortMark, longMark), gap(shortSpace, longSpace));
  if (timings.Coding == TCoding::BiPhase) limit = std::min(shortMark.Min, shortSpace.Min) / 2;
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

std::string TProtocolLearner::Definition(const std::string& Name,
                                         const std::vector<TGenericFrame>& Frames,
                                         const TTimings& Timings, uint16_t Rate) {
  const TGenericFrame& first = Frames.front();
  const std::string escaped = Escape(Name);
  const std::string order = TGenericFrame::LeastSignificantFirst(first.Coding) ? "LSB" : "MSB";
  std::string xml = "  <protocol name=\"" + escaped + "\" tolerance=\"" +
                    std::to_string(Timings.ToleranceMicros) + "\">\n";
  xml += "    <description>Learned from " + std::to_string(Frames.size()) +
         " packets: " + TGenericFrame::CodingName(first.Coding) + ", " +
         std::to_string(first.Bits.size()) + " bits (" + TGenericFrame::BitOrderText(first.Coding) +
         ").</description>\n";
  xml += "    <bitset>\n";
  for (bool one : {true, false})
    xml += "      <bit value=\"" + std::string(one ? "1" : "0") + "\">" +
           Pattern(Timings.BitHighFirst(one), Timings.Bit(one)) + "</bit>\n";
  xml += "    </bitset>\n    <packet>\n";

  size_t bit = 0, field = 0, fixed = 0, delimiter = 0;
  const auto constant = [&](size_t Bit) {
    return std::all_of(Frames.begin(), Frames.end(),
                       [&](const TGenericFrame& F) { return F.Bits[Bit] == first.Bits[Bit]; });
  };
  const auto fixedBits = [&](size_t From, size_t To) {
    const std::vector<bool> bits(first.Bits.begin() + static_cast<long>(From),
                                 first.Bits.begin() + static_cast<long>(To));
    xml += Indent + std::string("<delimiter name=\"fixed") + std::to_string(++fixed) + "\">" +
           Timings.Fixed(bits) + "</delimiter>\n";
  };
  for (size_t p = 0; p < first.Parts.size(); ++p) {
    const TGenericFrame::TPart& part = first.Parts[p];
    if (!part.IsBits) {
      std::vector<long> runs;
      for (size_t r = 0; r < part.Runs.size(); ++r) {
        double sum = 0;
        for (const TGenericFrame& frame : Frames) sum += frame.Parts[p].Runs[r];
        runs.push_back(Micros(sum / static_cast<double>(Frames.size()), Rate));
      }
      const char* label = p == 0 ? "lead" : (p + 1 == first.Parts.size() ? "stop" : "gap");
      xml += Indent + std::string("<delimiter name=\"") + label +
             (std::string(label) == "gap" ? std::to_string(++delimiter) : "") + "\">" +
             Pattern(part.HighFirst, runs) + "</delimiter>\n";
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
      size_t stop = bit + 1;
      const bool fixedRun = constant(bit);
      if (fixedRun) {
        while (stop < end && constant(stop)) ++stop;
        fixedBits(bit, stop);
      } else {
        const size_t byteEnd = (bit / FieldBits + 1) * FieldBits;
        while (stop < end && stop < byteEnd && !constant(stop)) ++stop;
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
