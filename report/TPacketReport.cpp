#include "TPacketReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "TCodeExport.h"
#include "TDecodeSettings.h"
#include "TPacketCells.h"
#include "TTimeTexts.h"

namespace {
using json = nlohmann::ordered_json;
const char* const CsvLineEnd = "\r\n";

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
  for (const TSampleMark& m : Row) marks.push_back({{"position", m.Position}, {"text", m.Text.str()}});
  return marks;
}
}  // namespace

TPacketReport::TPacketReport(std::ostream& Stream, TFormat Chosen, bool SeveralInputs, bool NamedIn,
                             std::unique_ptr<TCodeExport> ExportIn)
    : Out(Stream),
      Format(Chosen),
      Several(SeveralInputs),
      Line({}, TPacketCells::FirstRightAligned, TPacketCells::Count),  // a Name is text
      Named(NamedIn),
      Export(std::move(ExportIn)) {
  if (Format == TFormat::Json) Out << "{\"packets\":[";
  if (Format != TFormat::Csv) return;
  std::vector<std::string> header = TPacketCells::CsvHeaders();
  if (Several) header.insert(header.begin(), "Input");
  if (Named) header.push_back(TPacketCells::NameHeader);
  WriteCsvRow(header);
}

TPacketReport::~TPacketReport() = default;

std::vector<std::string> TPacketReport::Columns(const TSample& Sample) {
  return TPacketCells::Of(Sample);
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
      std::vector<std::string> cells = TPacketCells::Of(Sample);
      if (Named) cells.push_back(Sample.Name);
      AddTableRow(std::move(cells));
    } break;
    case TFormat::Csv: {
      std::vector<std::string> cells = TPacketCells::CsvOf(Sample);
      if (Several) cells.insert(cells.begin(), Input);
      if (Named) cells.push_back(Sample.Name);
      WriteCsvRow(cells);
      break;
    }
    case TFormat::Json:
      WriteJson(Sample);
      break;
    case TFormat::Jsonl:
      Out << JsonPacket(Sample, TPacketCells::Of(Sample), Input, Index) << '\n';
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
  if (TableStarted) {
    Out << Line.Of(Cells) << '\n';
    return;
  }
  Rows.push_back(std::move(Cells));
  if (Rows.size() >= TableLookAheadRows) WriteTable();
}

// Fixes the column widths from the header and the rows held (at most TableLookAheadRows) and
// writes them; later rows are written as they come, a wider cell pushing only its own line.
void TPacketReport::WriteTable() {
  if (TableStarted) return;
  if (Several) Out << (InputCount ? "\n" : "") << "==> " << Input << " <==\n";
  std::vector<std::string> headers = TPacketCells::Headers();
  if (Named) headers.push_back(TPacketCells::NameHeader);
  Line = TTableLine({}, TPacketCells::FirstRightAligned, TPacketCells::Count);
  Line.Fit(headers);
  for (const auto& row : Rows) Line.Fit(row);
  TableStarted = true;
  Out << Line.Of(headers) << '\n';
  for (const auto& row : Rows) Out << Line.Of(row) << '\n';
  Rows.clear();
  Out.flush();
}

void TPacketReport::WriteCsvRow(const std::vector<std::string>& Cells) const {
  for (size_t c = 0; c < Cells.size(); ++c) Out << (c ? "," : "") << CsvField(Cells[c]);
  Out << CsvLineEnd;
}

void TPacketReport::WriteJson(const TSample& Sample) {
  Out << (JsonPackets ? ",\n" : "\n") << JsonPacket(Sample, TPacketCells::Of(Sample), Input, Index);
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
    timing.push_back(TTimeTexts::TimeMicroseconds(run, TDecodeSettings::SampleRate));
  const TProtocol* protocol = Sample.Protocol.get();
  json match = nullptr, note = nullptr;
  if (protocol && protocol->Known()) match = protocol->MatchText();
  if (protocol && protocol->Known() && protocol->Match != TProtocol::TMatch::Exact)
    note = protocol->MatchNote;
  json start = nullptr;
  if (Sample.StreamIndex >= 0)
    start = static_cast<double>(Sample.StreamIndex) / TDecodeSettings::SampleRate;
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
                 {"signal_length", Sample.SignalLength()},
                 {"pulses", Sample.Pulses},
                 {"timing_us", timing},
                 {"bit_marks", Marks(Sample.BitMarks())},
                 {"field_marks", Marks(Sample.FieldMarks())}};
  return packet.dump(-1, ' ', false, json::error_handler_t::replace);
}
