#pragma once
// Turns packets of one remote into definitions of the protocol library: every packet is read by
// the generic pass (a few of another coding than the rest are left out); the bit patterns are
// centred on the clusters measured over all of them (a pulse-position remote's space widths over
// all its packets, as a bitset of 2- or 4-bit symbols; a run-width remote's pairs of runs as
// 2-bit symbols; a run-length remote's unit over all its packets, pairs of runs of one to four
// units as 4-bit symbols); the delimiters (lead-in, gaps, trailer) are the runs' middles, with
// alternatives where they vary more than the window; bits that every packet of one layout
// shares are written as a fixed delimiter, the bits that vary as data fields (at most 8 bits
// each, split where the constant part ends and the varying part begins). Packets of one remote
// with frames of several layouts give one definition per layout, all under one name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TGenericFrame.h"

class TProtocolLearner {
 public:
  static constexpr double EndSilenceMicros = 4000;  // the closing delimiter at most

  struct TResult {
    std::string Xml;         // the <protocol> elements, "" when nothing was learned
    std::string Problem;     // why nothing was learned, "" when something was
    size_t Learned = 0;      // packets the definitions were made from
    size_t Unread = 0;       // packets the generic pass could not read (too short, irregular)
    size_t LeftOut = 0;      // pulse-position packets that do not read against the widths
    size_t OtherCoding = 0;  // packets of another coding than nearly all the others
    std::string Notes;       // remarks for the preview (spread beyond the decoder's window)
  };

  // Learns Name from Packets (runs at Rate, as TSample::Pulses). ToleranceMicros is the
  // decoder's window, the narrowest the definition gets. Fails (Problem says why) for a blank
  // name, when no packet can be read, when fewer than four in five of the packets read share
  // one coding, when a pulse-position remote's spaces fall into fewer than three or more than
  // sixteen widths, or when a run-length remote's packets do not read against one unit. Never
  // throws except when memory runs out.
  static TResult Learn(const std::string& Name, const std::vector<std::vector<uint16_t>>& Packets,
                       uint16_t Rate, double ToleranceMicros);
  // Text as XML attribute or element content (& < > " escaped). Never fails.
  static std::string Escape(const std::string& Text);

 private:
  struct TTimings;
  // The pattern of delimiter Part of Frames (one layout): the runs' middles, with an
  // alternative for every group of frames whose runs differ by more than the window.
  static std::string DelimiterPattern(const std::vector<TGenericFrame>& Frames, size_t Part,
                                      long ToleranceMicros, uint16_t Rate);
  static std::string Definition(const std::string& Name, const std::vector<TGenericFrame>& Frames,
                                const TTimings& Timings, uint16_t Rate);
};
