#pragma once
// A packet read without a definition: how its bits are coded, the durations its marks and spaces
// cluster into, the bits read and the layout of the frame (delimiters between runs of bits).
// Made by TGenericPass; learning turns frames of one remote into a definition.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TGenericFrame {
  enum class TCoding {
    PulseDistance,
    PulseWidth,
    PulseDistanceWidth,
    BiPhase,
    PulsePosition,
    RunWidth,  // every mark and every space a bit of its own
    RunLength  // every run one to MaxUnits units long
  };
  static constexpr size_t BitsPerSymbol = 4;  // pulse position, run length: one hex digit a run
  static constexpr unsigned MaxUnits = 6;     // run length: the longest run read as units

  // Durations (PCM samples) that fell into one cluster.
  struct TCluster {
    double Min = 0, Max = 0, Centre = 0;
    size_t Count = 0;
  };

  // A stretch of the frame: delimiter runs (a lead-in, a gap between parts, a trailer) or bits.
  struct TPart {
    bool IsBits = false;
    bool HighFirst = true;       // a delimiter's first run is a mark
    std::vector<uint16_t> Runs;  // a delimiter's runs, in samples
    size_t BitCount = 0;         // a stretch of bits: how many
    double End = 0;              // samples from the start of Pulses to the end of the part
  };

  // The protocol name the coding is shown under ("Pulse distance", ...).
  static const char* CodingName(TCoding Coding);
  // The names of all codings, in the order of TCoding. Never fails.
  static std::vector<std::string> CodingNames();
  // The bit order of the data text ("LSB first in each byte" or "MSB first").
  static const char* BitOrderText(TCoding Coding);
  // True when the coding's data text packs bits least significant first in each byte.
  static bool LeastSignificantFirst(TCoding Coding);
  // Bits as hexadecimal bytes, two digits each, upper case ("20DF10EF"); a last byte of fewer
  // than 8 bits holds them as the coding packs them. Pulse position: one digit per space (the
  // rank of its width among the frame's space widths). "" for no bits. Never fails.
  std::string DataText() const;
  // The layout without the bits: the coding, the number of bits of every stretch and the
  // number of runs of every delimiter ("PD L2 B32 D1"): frames with equal shapes can share
  // one definition. Never fails.
  std::string Shape() const;
  // Appends delimiter run Run (samples; High: a mark) that ends End samples into the packet, to
  // the delimiter the frame ends with or a new one. Never throws except when memory runs out.
  void AddDelimiterRun(uint16_t Run, bool High, double End);
  // Appends Bit, which ends End samples into the packet, to the stretch of bits the frame ends
  // with or a new one. Never throws except when memory runs out.
  void AddBit(bool Bit, double End);

  TCoding Coding = TCoding::PulseDistance;
  // The bit clusters: short and long mark, short and long space. For pulse distance the long
  // mark is the short one; for pulse width the long space is the short one. For bi-phase the
  // short clusters hold one half-bit and the long ones two. For pulse position the spaces are
  // the shortest and the longest of the frame's space widths.
  TCluster ShortMark, LongMark, ShortSpace, LongSpace;
  std::vector<bool> Bits;       // in the order received
  std::vector<double> BitEnds;  // samples from the start of Pulses to the end of each bit
  std::vector<TPart> Parts;
  double Closing = 0;                // the closing silence, samples (0: none was cut)
  bool BiPhaseLeadingSpace = false;  // bi-phase: an idle half-bit space precedes the first mark
  // Read with the wider spread of a receiver whose gain drifts over a long packet: its clusters
  // say little about the remote's widths.
  bool Drifting = false;
  double UnitSpread = 0;  // run length: how far a run lies from its whole units at most, samples
};
