#include "TPacketCells.h"

#include "TDecodeSettings.h"
#include "TTimeTexts.h"

namespace {
const std::vector<std::string> ColumnHeaders = {"Time", "Protocol", "Data", "Length", "Gap"};
const char* const MatchHeader = "Match";
constexpr size_t ProtocolColumn = static_cast<size_t>(TPacketCells::TColumn::Protocol);
}  // namespace

const std::vector<std::string>& TPacketCells::Headers() {
  return ColumnHeaders;
}

const std::string& TPacketCells::Header(TColumn Column) {
  return ColumnHeaders.at(static_cast<size_t>(Column));
}

std::vector<std::string> TPacketCells::CsvHeaders() {
  std::vector<std::string> headers = ColumnHeaders;
  headers.insert(headers.begin() + ProtocolColumn + 1, MatchHeader);
  return headers;
}

std::vector<std::string> TPacketCells::Of(const TSample& Sample) {
  std::string time = Sample.StreamIndex >= 0
                         ? TTimeTexts::ClockText(static_cast<double>(Sample.StreamIndex) /
                                                 TDecodeSettings::SampleRate)
                         : TTimeTexts::TimeOfDayText(Sample.CaptureTime);
  const TProtocol* protocol = Sample.Protocol.get();
  return {time, protocol ? protocol->ListName() : "", protocol ? protocol->GetDataText() : "",
          TTimeTexts::niceTimePeriod(Sample.Duration), TTimeTexts::niceTimePeriod(Sample.Gap)};
}

std::vector<std::string> TPacketCells::CsvOf(const TSample& Sample) {
  std::vector<std::string> cells = Of(Sample);
  const TProtocol* protocol = Sample.Protocol.get();
  cells[ProtocolColumn] = protocol ? protocol->ProtocolName : "";
  cells.insert(cells.begin() + ProtocolColumn + 1, protocol ? protocol->MatchText() : "");
  return cells;
}

std::string TPacketCells::TimeOfDay(const TSample& Sample) {
  return TTimeTexts::TimeOfDayText(Sample.CaptureTime);
}
