#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "TDecodeOptions.h"
#include "TLibraryLoad.h"
#include "TPacketCells.h"
#include "TPacketReport.h"
#include "TReportFormats.h"
#include "TTableLine.h"
#include "TTimeTexts.h"
#include "TProtocolRecognition.h"

namespace fs = std::filesystem;

namespace {
std::unique_ptr<TSample> Packet(int64_t StreamIndex, double CaptureTime) {
  auto s = std::make_unique<TSample>();
  s->Pulses = {120, 27};
  s->Duration = 0.0125f;
  s->Gap = 2.5f;
  s->CaptureTime = CaptureTime;
  s->StreamIndex = StreamIndex;
  s->Protocol = std::make_unique<TProtocol>();
  s->Protocol->ProtocolName = "RC5";
  s->Protocol->Match = TProtocol::TMatch::Likely;
  s->Protocol->AddField("command", 12);
  return s;
}

fs::path Scratch(const std::string& Name) {
  const fs::path dir = fs::temp_directory_path() / ("vorlent-report-" + Name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}
}  // namespace

TEST(TableLine, PadsAlignsAndLetsAWideCellPushOnlyItsLine) {
  struct TCase {
    std::vector<std::string> Cells;
    std::string Line;
  };
  const TTableLine line({4, 3, 5}, 1, 2);  // the middle column holds numbers
  const std::vector<TCase> cases = {
      {{"a", "1", "b"}, "a       1  b"},
      {{"abcdef", "12", "x"}, "abcdef   12  x"},
      {{"ü", "7", "é"}, "ü       7  é"},  // two-byte characters take one place each
      {{"a", "1234", "b", "beyond"}, "a     1234  b      beyond"},
      {{"", "", ""}, ""}};
  for (const TCase& c : cases) EXPECT_EQ(line.Of(c.Cells), c.Line) << c.Line;
  EXPECT_EQ(TTableLine::Width("µs→"), 3u);
}

TEST(TableLine, FitWidensToTheWidestCell) {
  TTableLine line({}, 1, 2);
  line.Fit({"Time", "Gap"});
  line.Fit({"x", "12.5ms", "extra"});
  EXPECT_EQ(line.Of({"y", "1s", "z"}), "y         1s  z");
}

TEST(ReportFormats, EachProgramListsParsesAndExplainsItsOwn) {
  EXPECT_EQ(TReportFormats::Names(TReportFormats::Decode),
            (std::vector<std::string>{"table", "json", "csv"}));
  EXPECT_EQ(TReportFormats::Names(TReportFormats::Listen),
            (std::vector<std::string>{"table", "jsonl"}));
  EXPECT_EQ(TReportFormats::HelpList(TReportFormats::Decode), "table, json or csv");
  EXPECT_EQ(TReportFormats::HelpList(TReportFormats::Listen),
            "table or jsonl (one JSON object a line)");
  EXPECT_EQ(TReportFormats::Find(TReportFormats::Listen, "jsonl"), TReportFormats::TFormat::Jsonl);
  EXPECT_THROW(TReportFormats::Find(TReportFormats::Decode, "jsonl"), std::out_of_range);
  EXPECT_THROW(TReportFormats::Find(TReportFormats::Listen, "csv"), std::out_of_range);
}

TEST(PacketCells, TimeOfDayIsRoundedOnceForEveryFrontEnd) {
  const double at = (13 * 3600 + 5 * 60 + 9.25) / 86400.0;
  auto live = Packet(480000, at);
  auto saved = Packet(-1, at);
  EXPECT_EQ(TPacketCells::Of(*live)[0], "0:00:10.000");  // from the start of its recording
  EXPECT_EQ(TPacketCells::Of(*saved)[0], "13:05:09.250");
  EXPECT_EQ(TPacketCells::TimeOfDay(*live), TPacketCells::Of(*saved)[0]);
  EXPECT_EQ(TTimeTexts::TimeOfDayMillis(at), 47109250);
  EXPECT_EQ(TTimeTexts::TimeOfDayMillis(2 + 0.5), 43200000);  // the date is dropped
  EXPECT_EQ(TTimeTexts::TimeOfDayMillis(std::nan("")), -1);
  EXPECT_EQ(TPacketCells::CsvOf(*saved),
            (std::vector<std::string>{"13:05:09.250", "RC5", "likely", "command=12; ", "12.5ms",
                                      "2.5s"}));
  EXPECT_EQ(TPacketCells::CsvHeaders(),
            (std::vector<std::string>{"Time", "Protocol", "Match", "Data", "Length", "Gap"}));
}

TEST(PacketReport, JsonLinesAreOneObjectEachAsTheyCome) {
  std::ostringstream out;
  TPacketReport report(out, TPacketReport::TFormat::Jsonl, false);
  report.BeginInput("live");
  auto a = Packet(48000, 0.5), b = Packet(96000, 0.5);
  report.Add(*a);
  const std::string first = out.str();
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 1);
  report.Add(*b);
  report.EndInput();
  report.Finish();
  std::istringstream lines(out.str());
  std::string line;
  for (size_t index = 0; std::getline(lines, line); ++index) {
    const nlohmann::json packet = nlohmann::json::parse(line);
    EXPECT_EQ(packet["index"], index);
    EXPECT_EQ(packet["protocol"], "RC5");
    EXPECT_EQ(packet["input"], "live");
  }
}

TEST(LibraryLoad, ReportsABrokenFileAndKeepsTheEnginesOwnReport) {
  const fs::path dir = Scratch("load");
  std::ofstream(dir / "protocols.xml") << "<protocols><protocol name=";
  TProtocolRecognition engine;
  std::string shown;
  engine.OnReport = [&shown](const std::string& Text) { shown = Text; };
  const std::string report = TLibraryLoad::Into(engine, (dir / "protocols.xml").string());
  EXPECT_NE(report, "");
  EXPECT_EQ(shown, "");  // the load's report went to the caller, not to the engine's owner
  ASSERT_TRUE(engine.OnReport);
  engine.OnReport("after");
  EXPECT_EQ(shown, "after");
  EXPECT_EQ(TLibraryLoad::Into(engine, std::string(VORLENT_DATA_DIR) + "/protocols.xml"), "");
  EXPECT_EQ(TLibraryLoad::Joined("a\rb\rc", '\n'), "a\nb\nc");

  TDecodeOptions options;
  options.Locator = TLibraryLocator({(dir / "none").string()});
  EXPECT_EQ(options.Load(engine), options.Locator.NotFoundText());
  options.Protocols = (dir / "protocols.xml").string();
  const std::string named = options.Load(engine);
  EXPECT_EQ(named.rfind(options.Protocols + ": ", 0), 0u) << named;
  EXPECT_EQ(named.find('\r'), std::string::npos);
  fs::remove_all(dir);
}
