#pragma once
// Writes decoded packets as codes of one exchange format: Flipper's parsed form where a
// Flipper protocol sends the same frame, otherwise the measured durations, with the carrier
// of the packet's protocol.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TIrCode.h"
#include "TSample.h"

class TCodeLibrary;
class TIrFormat;

class TCodeExport {
 public:
  static constexpr double MaxGapSeconds = 10;  // a longer gap after a packet is written so

  // CarrierHz is every code's carrier; 0 gives each its protocol's (38000 when unknown).
  TCodeExport(const TIrFormat& Format, std::shared_ptr<const TCodeLibrary> Library,
              uint32_t CarrierHz = 0);

  // Adds Sample (decoded or not) as the next code, named Name or, when Name is empty, by
  // DefaultName. Left out (false): a sample without a mark, and a repeat of the signal of a
  // code file added last (a later packet that decodes as its first did, or to a frame without
  // data such as NEC's repeat): a held button is one code. Never throws.
  bool Add(const TSample& Sample, const std::string& Name = "");
  // Writes every code added as one file of the format; the gap after each packet is the
  // silence before the next. Never throws; the stream's state tells a failed write.
  void Write(std::ostream& Out) const;
  // The codes as they will be written.
  const std::vector<TIrCode>& Codes() const { return Items; }
  // The protocol and the data fields as one word: "NEC_address=4_command=8", "unknown".
  static std::string DefaultName(const TSample& Sample);

 private:
  static std::vector<uint32_t> SentDurations(const TSample& Sample);
  static std::string DataKey(const TSample& Sample);
  bool Repeats(const TSample& Sample) const;

  const TIrFormat& Format;
  std::shared_ptr<const TCodeLibrary> Library;
  uint32_t CarrierHz;
  std::vector<TIrCode> Items;
  std::vector<double> GapsBefore;  // seconds, one per code
  std::string LastSource;          // of the last sample added
  int LastSignal = -1;
  std::string LastFirstFrame;  // DataKey of that signal's first packet
};
