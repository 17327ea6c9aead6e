#pragma once
// The third pass, for packets that no definition fits: reads the frame without one. The marks
// and the spaces are clustered on their own (a receiver's edge shift moves them opposite ways),
// the clusters that carry bits are the populous short ones, and the coding follows from them:
// pulse distance (one mark width, two space widths), pulse width (two mark widths, one space
// width), pulse distance-width (a long mark with a short space or the reverse) or bi-phase
// (runs of one and two half-bits). Runs outside the bit clusters are delimiters: a lead-in,
// a gap between two parts of a frame, a trailer. The value depends on the bits only, so a
// remote's clock or a receiver's edge shift does not change it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TGenericFrame.h"
#include "TSample.h"

class TGenericPass {
 public:
  static constexpr const char* BitsField = "bits";
  static constexpr const char* DataField = "data";
  static constexpr size_t MinBits = 6;  // fewer bits than this are not told from noise

  // A run-length remote's timing: the unit and the edge shift (samples; a mark is Shift longer
  // and a space Shift shorter than its units), and the most units a run of bits lasts.
  struct TUnits {
    double Unit = 0, Shift = 0;
    unsigned MaxUnits = TGenericFrame::MaxUnits;
  };

  // Reads Pulses (low, high, low, ... at Rate Hz; Pulses[0] is the leading low run, a last low
  // run the closing silence). Nothing when the packet is too short or irregular to read: too
  // few bits, bit clusters too wide or too short, or more delimiters than a frame has. Never
  // throws except when memory runs out.
  static std::optional<TGenericFrame> Read(const std::vector<uint16_t>& Pulses, uint16_t Rate);
  // Reads Pulses as Read does, but as run width whatever coding fits (every run of the bit
  // widths a bit): frames of one remote that Read gives several codings read alike.
  static std::optional<TGenericFrame> ReadRuns(const std::vector<uint16_t>& Pulses, uint16_t Rate);
  // Reads Pulses as Read does, its marks and spaces clustered with the bit widths of Like (a
  // frame of the same remote): a frame that sends only one of the widths (all its bits zero)
  // reads as the others do. Nothing unless it reads regularly in Like's coding, and not as a
  // drifting frame. Never throws except when memory runs out.
  static std::optional<TGenericFrame> ReadLike(const std::vector<uint16_t>& Pulses, uint16_t Rate,
                                               const TGenericFrame& Like);
  // Reads Pulses as run length against Units, whatever unit counts the frame uses (one remote's
  // frame of one or two lengths reads as its others do). Nothing when a run lies further from
  // whole units than Read allows or the frame is irregular, or MaxUnits exceeds
  // TGenericFrame::MaxUnits. Never throws except when memory runs out.
  static std::optional<TGenericFrame> ReadUnits(const std::vector<uint16_t>& Pulses, uint16_t Rate,
                                                const TUnits& Units);
  // True when Frame has enough bits and no more delimiter runs than a frame has. Never fails.
  static bool Regular(const TGenericFrame& Frame);
  // Reads Sample; on success gives it the coding's name, the fields bits and data (its Text the
  // hex bytes), Match = Generic with a note naming the coding, the bit order and the clustered
  // durations, and bit and field marks; returns true. Otherwise leaves Sample as it was.
  bool Decode(TSample& Sample, uint16_t Rate);

 private:
  static std::string Note(const TGenericFrame& Frame, uint16_t Rate);
  static void AddMarks(const TGenericFrame& Frame, TSample& Sample);
};
