#pragma once
// The texts of one packet as every front end lists it: the column headers and the cells of the
// Time, Protocol, Data, Length and Gap columns, numbers with a full stop. The window's grid,
// vorlent-decode's table, CSV and JSON and vorlent-listen's lines all start from these.

#include <string>
#include <vector>

#include "TSample.h"

class TPacketCells {
 public:
  enum class TColumn { Time, Protocol, Data, Length, Gap };
  static constexpr size_t Count = 5;
  static constexpr size_t FirstRightAligned = 3;     // Length and Gap are numbers
  static constexpr const char* NameHeader = "Name";  // a signal's name from a code file

  // "Time", "Protocol", "Data", "Length", "Gap". Never fails.
  static const std::vector<std::string>& Headers();
  // The header of Column. Never fails.
  static const std::string& Header(TColumn Column);
  // The CSV headers: the Headers with "Match" after "Protocol". Never fails.
  static std::vector<std::string> CsvHeaders();
  // The cells of Sample in the order of Headers: Time (the offset from the start of its
  // recording when it has a StreamIndex, else its time of day), Protocol (a likely match's
  // name marked, "NEC?"), Data, Length, Gap. Never fails.
  static std::vector<std::string> Of(const TSample& Sample);
  // The cells of a CSV row: Time, Protocol (the plain name), Match ("exact", "likely", or ""
  // for an unknown or undecoded packet), Data, Length, Gap. Never fails.
  static std::vector<std::string> CsvOf(const TSample& Sample);
  // The Time cell of a packet that is listed as it arrives: its time of day. Never fails.
  static std::string TimeOfDay(const TSample& Sample);
};
