#include "TPacketReport.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "TRecordingDecoder.h"
#include "TTimeTexts.h"

namespace {
using json = nlohmann::ordered_json;
const std::vector<std::string> Headers = {"Time", "Protocol", "Data", "Length", "Gap"};
constexpr size_t FirstRightAligned = 3;  // Length and Gap are numbers
const char* const ColumnGap = "  ";
const char* const CsvLineEnd = "\r\n";
constexpr int FloatDigits = 9;  // significant digits that bring back any 32-bit float

// Characters on screen of a UTF-8 text: bytes that do not continue a character.
size_t Width(const std::string& Text) {
  return static_cast<size_t>(std::count_if(Text.begin(), Text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A 32-bit float as the shortest number with 9 significant digits (null when not finite).
json FloatNumber(float Value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*g", FloatDigits, static_cast<double>(Value));
  return std::strtod(text, nullptr);
}

json Marks(const std::vector<TSampleMark>& Row) {
  json marks = json::array();
  for (const TSampleMark& m : Row) marks.push_back({{"position", m.Position}, {"text", m.Text}});
  return marks;
}
}  // namespace

TPacketReport::TPacketReport(std::ostream& Out, TFormat Format, bool Several)
    : Out(Out), Format(Format), Several(Several) {
  if (Format == TFormat::Json) Out << "{\"packets\":[";
  if (Format != TFormat::Csv) return;
  std::vector<std::string> header = Headers;
  if (Several) header.insert(header.begin(), "Input");
  WriteCsvRow(header);
}

std::vector<std::string> TPacketReport::Columns(const TSample& Sample) {
  std::string time = Sample.StreamIndex >= 0
                         ? TTimeTexts::ClockText(static_cast<double>(Sample.StreamIndex) /
                                                 TRecordingDecoder::SampleRate)
                         : TTimeTexts::TimeOfDayText(Sample.CaptureTime);
  const TProtocol* protocol = Sample.Protocol.get();
  return {time, protocol ? protocol->ProtocolName : "", protocol ? protocol->GetDataText() : "",
          TTimeTexts::niceTimePeriod(Sample.Duration), TTimeTexts::niceTimePeriod(Sample.Gap)};
}

std::string TPacketReport::CsvField(const std::string& Text) {
  if (Text.find_first_of(",\"\r\n") == std::string::npos) return Text;
  std::string quoted = "\"";
  for (char c : Text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void TPacketReport::BeginInput(const std::string& Name) {
  Input = Name;
  Index = 0;
  Rows.clear();
}

void TPacketReport::Add(const TSample& Sample) {
  switch (Format) {
    case TFormat::Table:
      Rows.push_back(Columns(Sample));
      break;
    case TFormat::Csv: {
      std::vector<std::string> cells = Columns(Sample);
      if (Several) cells.insert(cells.begin(), Input);
      WriteCsvRow(cells);
      break;
    }
    case TFormat::Json:
      WriteJson(Sample);
      break;
  }
  ++Index;
}

void TPacketReport::EndInput() {
  if (Format == TFormat::Table) WriteTable();
  Rows.clear();
  ++InputCount;
}

void TPacketReport::Finish() {
  if (Format == TFormat::Json) Out << (JsonPackets ? "\n" : "") << "]}\n";
  Out.flush();
}

void TPacketReport::WriteTable() const {
  if (Several) Out << (InputCount ? "\n" : "") << "==> " << Input << " <==\n";
  std::vector<size_t> widths(Headers.size());
  for (size_t c = 0; c < Headers.size(); ++c) widths[c] = Width(Headers[c]);
  for (const auto& row : Rows)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < cells.size(); ++c) {
      std::string pad(widths[c] - Width(cells[c]), ' ');
      if (c) text += ColumnGap;
      text += c >= FirstRightAligned ? pad + cells[c] : cells[c] + pad;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    Out << text << '\n';
  };
  line(Headers);
  for (const auto& row : Rows) line(row);
}

void TPacketReport::WriteCsvRow(const std::vector<std::string>& Cells) const {
  for (size_t c = 0; c < Cells.size(); ++c) Out << (c ? "," : "") << CsvField(Cells[c]);
  Out << CsvLineEnd;
}

void TPacketReport::WriteJson(const TSample& Sample) {
  Out << (JsonPackets ? ",\n" : "\n") << JsonPacket(Sample, Columns(Sample), Input, Index);
  ++JsonPackets;
}

std::string TPacketReport::JsonPacket(const TSample& Sample,
                                      const std::vector<std::string>& columns,
                                      const std::string& InputName, size_t PacketIndex) {
  json fields = json::array();
  if (Sample.Protocol)
    for (const TProtocolField& f : Sample.Protocol->Fields)
      fields.push_back({{"name", f.Name}, {"value", f.Value}});
  json timing = json::array();
  for (uint16_t run : Sample.Pulses)
    timing.push_back(TTimeTexts::TimeMicroseconds(run, TRecordingDecoder::SampleRate));
  json start = nullptr;
  if (Sample.StreamIndex >= 0)
    start = static_cast<double>(Sample.StreamIndex) / TRecordingDecoder::SampleRate;
  json packet = {{"input", InputName},
                 {"index", PacketIndex},
                 {"start_s", start},
                 {"time", columns[0]},
                 {"protocol", columns[1]},
                 {"fields", fields},
                 {"data", columns[2]},
                 {"duration_s", FloatNumber(Sample.Duration)},
                 {"gap_s", FloatNumber(Sample.Gap)},
                 {"length", columns[3]},
                 {"gap", columns[4]},
                 {"signal_length", Sample.Signal.size()},
                 {"pulses", Sample.Pulses},
                 {"timing_us", timing},
                 {"bit_marks", Marks(Sample.BitMarks())},
                 {"field_marks", Marks(Sample.FieldMarks())}};
  return packet.dump(-1, ' ', false, json::error_handler_t::replace);
}
