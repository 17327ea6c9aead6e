#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "TPacketReport.h"

namespace {
using json = nlohmann::json;
using TFormat = TPacketReport::TFormat;

// A decoded packet: two fields, a trigger 62.5 s into a recording (or a capture time).
std::unique_ptr<TSample> Packet(const std::string& Name, int64_t StreamIndex) {
  auto s = std::make_unique<TSample>();
  s->Signal.assign(360, 128);
  s->Pulses = {120, 27, 81, 239};
  s->Duration = 0.0675833f;
  s->Gap = 1.26f;
  s->CaptureTime = 0.5;
  s->StreamIndex = StreamIndex;
  s->Protocol = std::make_unique<TProtocol>();
  s->Protocol->ProtocolName = Name;
  s->Protocol->AddField("address", 4);
  s->Protocol->AddField("command", 65535);
  s->AddMark(TSample::BitRow, 120, "");
  s->AddMark(TSample::BitRow, 228, "bit0");
  s->AddMark(TSample::FieldRow, 120, "");
  s->AddMark(TSample::FieldRow, 228, "address");
  return s;
}

std::string Report(TFormat Format, bool Several,
                   const std::vector<std::pair<std::string, std::vector<const TSample*>>>& Inputs) {
  std::ostringstream out;
  TPacketReport report(out, Format, Several);
  for (const auto& [input, samples] : Inputs) {
    report.BeginInput(input);
    for (const TSample* s : samples) report.Add(*s);
    report.EndInput();
  }
  report.Finish();
  return out.str();
}
}  // namespace

TEST(PacketReport, ColumnsOfARecordingAndOfASavedSample) {
  auto recorded = Packet("NEC", 3000000);
  auto saved = Packet("NEC", -1);
  EXPECT_EQ(TPacketReport::Columns(*recorded),
            (std::vector<std::string>{"0:01:02.500", "NEC", "address=4; command=65535; ", "67.6ms",
                                      "1.3s"}));
  EXPECT_EQ(TPacketReport::Columns(*saved)[0], "12:00:00.000");
}

TEST(PacketReport, TableAlignsColumnsAndNamesEachOfSeveralInputs) {
  auto a = Packet("NEC", 48000);
  auto b = Packet("Sony12", 96000 * 3600);
  b->Protocol->Fields.clear();
  b->Duration = 0.0192f;
  EXPECT_EQ(Report(TFormat::Table, false, {{"x.wav", {a.get(), b.get()}}}),
            "Time         Protocol  Data                        Length   Gap\n"
            "0:00:01.000  NEC       address=4; command=65535;   67.6ms  1.3s\n"
            "2:00:00.000  Sony12                                19.2ms  1.3s\n");
  EXPECT_EQ(Report(TFormat::Table, true, {{"x.wav", {}}, {"y.map", {}}}),
            "==> x.wav <==\nTime  Protocol  Data  Length  Gap\n\n"
            "==> y.map <==\nTime  Protocol  Data  Length  Gap\n");
}

TEST(PacketReport, CsvQuotesOnlyWhatNeedsItAndEndsLinesWithCrLf) {
  EXPECT_EQ(TPacketReport::CsvField("address=4; "), "address=4; ");
  EXPECT_EQ(TPacketReport::CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(TPacketReport::CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(TPacketReport::CsvField("two\nlines"), "\"two\nlines\"");
  auto a = Packet("Sharp (2nd frame), \"B\"", 48000);
  EXPECT_EQ(Report(TFormat::Csv, false, {{"x.wav", {a.get()}}}),
            "Time,Protocol,Match,Data,Length,Gap\r\n"
            "0:00:01.000,\"Sharp (2nd frame), \"\"B\"\"\",exact,address=4; command=65535; "
            ",67.6ms,1.3s\r\n");
  EXPECT_EQ(Report(TFormat::Csv, true, {{"my,file.wav", {a.get()}}}).substr(0, 68),
            "Input,Time,Protocol,Match,Data,Length,Gap\r\n\"my,file.wav\",0:00:01.000");
}

// A likely match (the tolerant pass's) is marked in the table, and named plainly beside its
// match in CSV and JSON; an unknown packet matches nothing.
TEST(PacketReport, LikelyAndUnknownMatches) {
  auto likely = Packet("NEC", 48000);
  likely->Protocol->Match = TProtocol::TMatch::Likely;
  likely->Protocol->MatchNote = "marks 60 us longer";
  auto unknown = Packet("unknown", 96000);
  EXPECT_EQ(TPacketReport::Columns(*likely)[1], "NEC?");
  const std::string csv = Report(TFormat::Csv, false, {{"x.wav", {likely.get(), unknown.get()}}});
  EXPECT_NE(csv.find("\n0:00:01.000,NEC,likely,address"), std::string::npos);
  EXPECT_NE(csv.find("\n0:00:02.000,unknown,,address"), std::string::npos);
  json doc = json::parse(Report(TFormat::Json, false, {{"x.wav", {likely.get(), unknown.get()}}}));
  EXPECT_EQ(doc["packets"][0]["protocol"], "NEC");
  EXPECT_EQ(doc["packets"][0]["match"], "likely");
  EXPECT_EQ(doc["packets"][0]["match_note"], "marks 60 us longer");
  EXPECT_TRUE(doc["packets"][1]["match"].is_null());
}

// A generic read is marked in the table with its own mark, its data field shown as its text
// (hex bytes) everywhere, and its note says how it was read.
TEST(PacketReport, GenericMatchesShowTheirDataText) {
  auto generic = Packet("Pulse distance", 48000);
  generic->Protocol->Fields = {{"bits", 112, {}}, {"data", 0, "23CB260100240307020000000084"}};
  generic->Protocol->Match = TProtocol::TMatch::Generic;
  generic->Protocol->MatchNote = "Pulse distance, 112 bits, LSB first in each byte";
  const std::string data = "bits=112; data=23CB260100240307020000000084; ";
  EXPECT_EQ(TPacketReport::Columns(*generic)[1], "Pulse distance~");
  EXPECT_EQ(TPacketReport::Columns(*generic)[2], data);
  const std::string csv = Report(TFormat::Csv, false, {{"x.wav", {generic.get()}}});
  EXPECT_NE(csv.find(",Pulse distance,generic," + data + ","), std::string::npos) << csv;
  EXPECT_NE(
      Report(TFormat::Table, false, {{"x.wav", {generic.get()}}}).find("Pulse distance~  " + data),
      std::string::npos);
  json doc = json::parse(Report(TFormat::Json, false, {{"x.wav", {generic.get()}}}));
  const json& packet = doc["packets"][0];
  EXPECT_EQ(packet["match"], "generic");
  EXPECT_EQ(packet["match_note"], generic->Protocol->MatchNote);
  EXPECT_EQ(packet["fields"][0]["value"], 112);
  EXPECT_EQ(packet["fields"][1]["value"], "23CB260100240307020000000084");
}

TEST(PacketReport, JsonHoldsEveryDetailOfEachPacket) {
  auto recorded = Packet("NEC", 72000);
  auto saved = Packet("unknown", -1);
  saved->Protocol->Fields.clear();
  std::string text =
      Report(TFormat::Json, true, {{"a.wav", {recorded.get()}}, {"b.map", {saved.get()}}});
  json doc = json::parse(text);
  ASSERT_EQ(doc["packets"].size(), 2u);
  const json& p = doc["packets"][0];
  EXPECT_EQ(p["input"], "a.wav");
  EXPECT_EQ(p["index"], 0);
  EXPECT_EQ(p["start_s"], 1.5);
  EXPECT_EQ(p["time"], "0:00:01.500");
  EXPECT_EQ(p["protocol"], "NEC");
  EXPECT_EQ(p["match"], "exact");
  EXPECT_EQ(p["fields"], json::parse(R"([{"name":"address","value":4},
                                         {"name":"command","value":65535}])"));
  EXPECT_EQ(p["data"], "address=4; command=65535; ");
  EXPECT_EQ(static_cast<float>(p["duration_s"].get<double>()), 0.0675833f);
  EXPECT_EQ(static_cast<float>(p["gap_s"].get<double>()), 1.26f);
  EXPECT_EQ(p["length"], "67.6ms");
  EXPECT_EQ(p["gap"], "1.3s");
  EXPECT_EQ(p["signal_length"], 360);
  EXPECT_EQ(p["pulses"], json::parse("[120, 27, 81, 239]"));
  EXPECT_EQ(p["timing_us"], json::parse("[2500, 562, 1688, 4979]"));
  EXPECT_EQ(p["bit_marks"], json::parse(R"([{"position":120,"text":""},
                                            {"position":228,"text":"bit0"}])"));
  EXPECT_EQ(p["field_marks"][1], json::parse(R"({"position":228,"text":"address"})"));
  EXPECT_NE(text.find("\"duration_s\":0.0675833,"), std::string::npos);

  const json& q = doc["packets"][1];
  EXPECT_EQ(q["input"], "b.map");
  EXPECT_EQ(q["index"], 0);
  EXPECT_TRUE(q["start_s"].is_null());
  EXPECT_EQ(q["time"], "12:00:00.000");
  EXPECT_EQ(q["fields"], json::array());
  EXPECT_EQ(q["data"], "");
}

// Times are written as the shortest text that reads back as the same float.
TEST(PacketReport, JsonNumbersAreTheShortestThatReadBackTheSame) {
  for (auto [value, text] :
       {std::pair{0.05f, "0.05"}, {0.1758f, "0.1758"}, {16777217.f, "16777216.0"}}) {
    auto packet = Packet("NEC", 0);
    packet->Gap = value;
    EXPECT_NE(Report(TFormat::Json, false, {{"x.wav", {packet.get()}}})
                  .find("\"gap_s\":" + std::string(text) + ","),
              std::string::npos)
        << text;
  }
}

TEST(PacketReport, JsonOfNothingIsAnEmptyListAndBadTextIsReplaced) {
  EXPECT_EQ(Report(TFormat::Json, false, {{"x.wav", {}}}), "{\"packets\":[]}\n");
  auto odd = Packet("bad\xff name", 0);
  json doc = json::parse(Report(TFormat::Json, false, {{"x.wav", {odd.get()}}}));
  EXPECT_EQ(doc["packets"][0]["protocol"], "bad\xef\xbf\xbd name");
}

// The table goes out once its first rows have set the widths: an hour of packets is not held
// in memory. A wider row after that pushes its own line only; nothing is cut off.
TEST(PacketReport, TableStreamsAfterItsLookAhead) {
  std::ostringstream out;
  TPacketReport report(out, TFormat::Table, false);
  report.BeginInput("long.wav");
  auto packet = Packet("NEC", 0);
  for (size_t i = 0; i + 1 < TPacketReport::TableLookAheadRows; ++i) report.Add(*packet);
  EXPECT_EQ(out.str(), "");
  report.Add(*packet);
  const std::string first = out.str();
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 1 + TPacketReport::TableLookAheadRows);
  packet->Protocol->ProtocolName = "Samsung32";
  report.Add(*packet);
  EXPECT_EQ(out.str().substr(first.size()),
            "0:00:00.000  Samsung32  address=4; command=65535;   67.6ms  1.3s\n");
  report.EndInput();
  report.Finish();
  EXPECT_EQ(out.str().substr(first.size()).find('\n'), out.str().size() - first.size() - 1);
}
