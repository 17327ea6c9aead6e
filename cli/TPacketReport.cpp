#include "TPacketReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "TCodeExport.h"
#include "TRecordingDecoder.h"
#include "TTimeTexts.h"

namespace {
using json = nlohmann::ordered_json;
const std::vector<std::string> Headers = {"Time", "Protocol", "Data", "Length", "Gap"};
const std::vector<std::string> CsvHeaders = {"Time", "Protocol", "Match", "Data", "Length", "Gap"};
constexpr size_t ProtocolColumn = 1;
const char* const NameHeader = "Name";   // the signal's name in a code file
constexpr size_t FirstRightAligned = 3;  // Length and Gap are numbers
const char* const ColumnGap = "  ";
const char* const CsvLineEnd = "\r\n";

// Characters on screen of a UTF-8 text: bytes that do not continue a character.
size_t Width(const std::string& Text) {
  return static_cast<size_t>(std::count_if(Text.begin(), Text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A 32-bit float as the double of its shortest decimal text that reads back as the same float,
// so the JSON says 0.05, not 0.0500000007 (null when not finite).
json FloatNumber(float Value) {
  if (!std::isfinite(Value)) return nullptr;
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, Value);
  double shortest = Value;
  std::from_chars(text, written.ptr, shortest);
  return shortest;
}

json Marks(const std::vector<TSampleMark>& Row) {
  json marks = json::array();
  for (const TSampleMark& m : Row) marks.push_back({{"position", m.Position}, {"text", m.Text}});
  return marks;
}
}  // namespace

TPacketReport::TPacketReport(std::ostream& Stream, TFormat Chosen, bool SeveralInputs, bool NamedIn,
                             std::unique_ptr<TCodeExport> ExportIn)
    : Out(Stream),
      Format(Chosen),
      Several(SeveralInputs),
      Named(NamedIn),
      Export(std::move(ExportIn)) {
  if (Format == TFormat::Json) Out << "{\"packets\":[";
  if (Format != TFormat::Csv) return;
  std::vector<std::string> header = CsvHeaders;
  if (Several) header.insert(header.begin(), "Input");
  if (Named) header.push_back(NameHeader);
  WriteCsvRow(header);
}

TPacketReport::~TPacketReport() = default;

std::vector<std::string> TPacketReport::Columns(const TSample& Sample) {
  std::string time = Sample.StreamIndex >= 0
                         ? TTimeTexts::ClockText(static_cast<double>(Sample.StreamIndex) /
                                                 TRecordingDecoder::SampleRate)
                         : TTimeTexts::TimeOfDayText(Sample.CaptureTime);
  const TProtocol* protocol = Sample.Protocol.get();
  return {time, protocol ? protocol->ListName() : "", protocol ? protocol->GetDataText() : "",
          TTimeTexts::niceTimePeriod(Sample.Duration), TTimeTexts::niceTimePeriod(Sample.Gap)};
}

std::vector<std::string> TPacketReport::CsvCells(const TSample& Sample) {
  std::vector<std::string> cells = Columns(Sample);
  const TProtocol* protocol = Sample.Protocol.get();
  cells[ProtocolColumn] = protocol ? protocol->ProtocolName : "";
  cells.insert(cells.begin() + ProtocolColumn + 1, protocol ? protocol->MatchText() : "");
  return cells;
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
  TableStarted = false;
}

void TPacketReport::Add(const TSample& Sample) {
  switch (Format) {
    case TFormat::Table: {
      std::vector<std::string> cells = Columns(Sample);
      if (Named) cells.push_back(Sample.Name);
      AddTableRow(std::move(cells));
    } break;
    case TFormat::Csv: {
      std::vector<std::string> cells = CsvCells(Sample);
      if (Several) cells.insert(cells.begin(), Input);
      if (Named) cells.push_back(Sample.Name);
      WriteCsvRow(cells);
      break;
    }
    case TFormat::Json:
      WriteJson(Sample);
      break;
    case TFormat::Codes:
      if (Export) Export->Add(Sample, Sample.Name);
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
  if (Format == TFormat::Codes && Export) Export->Write(Out);
  Out.flush();
}

// A table row: held while the column widths are still being measured, written at once after.
void TPacketReport::AddTableRow(std::vector<std::string> Cells) {
  if (TableStarted) return WriteTableLine(Cells);
  Rows.push_back(std::move(Cells));
  if (Rows.size() >= TableLookAheadRows) WriteTable();
}

// Fixes the column widths from the header and the rows held (at most TableLookAheadRows) and
// writes them; later rows are written as they come, a wider cell pushing only its own line.
void TPacketReport::WriteTable() {
  if (TableStarted) return;
  if (Several) Out << (InputCount ? "\n" : "") << "==> " << Input << " <==\n";
  std::vector<std::string> headers = Headers;
  if (Named) headers.push_back(NameHeader);
  Widths.assign(headers.size(), 0);
  for (size_t c = 0; c < headers.size(); ++c) Widths[c] = Width(headers[c]);
  for (const auto& row : Rows)
    for (size_t c = 0; c < row.size() && c < Widths.size(); ++c)
      Widths[c] = std::max(Widths[c], Width(row[c]));
  TableStarted = true;
  WriteTableLine(headers);
  for (const auto& row : Rows) WriteTableLine(row);
  Rows.clear();
  Out.flush();
}

void TPacketReport::WriteTableLine(const std::vector<std::string>& Cells) const {
  std::string text;
  for (size_t c = 0; c < Cells.size(); ++c) {
    const size_t width = c < Widths.size() ? Widths[c] : 0;
    std::string pad(width - std::min(width, Width(Cells[c])), ' ');
    if (c) text += ColumnGap;
    const bool right = c >= FirstRightAligned && c < Headers.size();  // a Name is text
    text += right ? pad + Cells[c] : Cells[c] + pad;
  }
  text.erase(text.find_last_not_of(' ') + 1);
  Out << text << '\n';
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
      fields.push_back(
          {{"name", f.Name}, {"value", f.Text.empty() ? json(f.Value) : json(f.Text)}});
  json timing = json::array();
  for (uint16_t run : Sample.Pulses)
    timing.push_back(TTimeTexts::TimeMicroseconds(run, TRecordingDecoder::SampleRate));
  const TProtocol* protocol = Sample.Protocol.get();
  json match = nullptr, note = nullptr;
  if (protocol && protocol->Known()) match = protocol->MatchText();
  if (protocol && protocol->Known() && protocol->Match != TProtocol::TMatch::Exact)
    note = protocol->MatchNote;
  json start = nullptr;
  if (Sample.StreamIndex >= 0)
    start = static_cast<double>(Sample.StreamIndex) / TRecordingDecoder::SampleRate;
  json packet = {{"input", InputName},
                 {"index", PacketIndex},
                 {"start_s", start},
                 {"time", columns[0]},
                 {"protocol", protocol ? protocol->ProtocolName : ""},
                 {"match", match},
                 {"match_note", note},
                 {"name", Sample.Name.empty() ? json(nullptr) : json(Sample.Name)},
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
