#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "TDecodeCommand.h"

namespace {
const std::string Library = std::string(VORLENT_DATA_DIR) + "/protocols.xml";
const std::string Remote =
    "Filetype: IR signals file\nVersion: 1\n#\nname: Power\ntype: parsed\nprotocol: RC5\n"
    "address: 05 00 00 00\ncommand: 35 00 00 00\n#\nname: Broken\ntype: raw\ndata: 900 x\n"
    "#\nname: Vol up\ntype: parsed\nprotocol: SIRC\naddress: 01 00 00 00\ncommand: 12 00 00 00\n";

struct TRun {
  int Status;
  std::string Out, Err;
};

TRun DecodeFile(const std::string& Name, const std::string& Content,
                std::vector<std::string> Args) {
  const std::string path = ::testing::TempDir() + Name;
  std::ofstream(path) << Content;
  Args.insert(Args.begin(), {"vorlent-decode", "--protocols", Library});
  Args.push_back(path);
  std::vector<const char*> argv;
  for (const std::string& a : Args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  TDecodeCommand command(out, err, false);
  const int status = command.Run(static_cast<int>(argv.size()), argv.data());
  return {status, out.str(), err.str()};
}

TRun DecodeRemote(std::vector<std::string> Args) {
  return DecodeFile("remote.ir", Remote, std::move(Args));
}

// A code file is an input like a recording: its signals are named, a bad one is reported with
// its line and fails the run while the others are still decoded.
TEST(CodeFiles, SignalsAreNamedAndABadOneIsReported) {
  const TRun r = DecodeRemote({"--format", "json"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("remote.ir:10: signal \"Broken\": \"x\" is not a duration"),
            std::string::npos)
      << r.Err;
  const auto packets = nlohmann::json::parse(r.Out)["packets"];
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0]["name"], "Power");
  EXPECT_EQ(packets[0]["protocol"], "RC5");
  EXPECT_EQ(packets[1]["name"], "Vol up");
  EXPECT_EQ(packets[1]["data"], "command=18; address=1; ");
  EXPECT_NE(DecodeRemote({}).Out.find("Vol up"), std::string::npos);
}

// Frames whose pieces lie further apart than the default 5 ms ending silence are read as one
// packet where an entry asks for a longer silence (end-silence): PCTV's 6.7 ms lead-in space
// within one Flipper signal, and the same frame or a Blaupunkt key press (its all-ones prefix
// 20.5 ms before the data frame) in a mode2 capture, which keeps the silences it measured.
TEST(CodeFiles, PiecesOfALongSpaceFrameAreReadAsOne) {
  const std::string pctvRuns = "1664 6656 832 832 832 832 1664 832 832 832 1664 1664 832 2496 1664";
  const auto mode2 = [](const std::string& Runs) {
    std::istringstream in(Runs);
    std::string text;
    bool mark = true;
    for (std::string run; in >> run; mark = !mark)
      text += (mark ? "pulse " : "space ") + run + "\n";
    return text + "space 100000\n";
  };
  const std::string blaupunktRuns =  // prefix (ten ones), 20.5 ms, command 46 address 0
      "512 2560 512 512 512 512 512 512 512 512 512 512 512 512 512 512 512 512 512 512 512 "
      "20500 512 2560 512 1024 1024 512 512 512 512 1024 1024 1024 512 512 512 512 512";
  const struct {
    std::string File, Content, Protocol, Data;
  } cases[] = {
      {"pctv.ir",
       "Filetype: IR signals file\nVersion: 1\n#\nname: Mute\ntype: raw\nfrequency: 38400\n"
       "duty_cycle: 0.330000\ndata: " +
           pctvRuns + "\n",
       "PCTV", "address=90; command=19; "},
      {"pctv.mode2", mode2(pctvRuns), "PCTV", "address=90; command=19; "},
      {"blaupunkt.mode2", mode2(blaupunktRuns), "Blaupunkt", "command=46; address=0; "},
  };
  for (const auto& c : cases) {
    const TRun r = DecodeFile(c.File, c.Content, {"--format", "json"});
    EXPECT_EQ(r.Status, 0) << c.File << r.Err;
    const auto packets = nlohmann::json::parse(r.Out)["packets"];
    ASSERT_EQ(packets.size(), 1u) << c.File << r.Out;
    EXPECT_EQ(packets[0]["protocol"], c.Protocol) << c.File;
    EXPECT_EQ(packets[0]["data"], c.Data) << c.File;
  }
}

// Exported codes carry the protocol's carrier unless --carrier names one.
TEST(CodeFiles, ExportUsesTheProtocolsCarrierOrTheGivenOne) {
  const TRun own = DecodeRemote({"--format", "pronto"});
  EXPECT_EQ(own.Out.substr(0, 17), "Power: 0000 0073 ");               // RC5: 36 kHz
  EXPECT_NE(own.Out.find("\nVol up: 0000 0068 "), std::string::npos);  // Sony: 40 kHz
  const TRun given = DecodeRemote({"--format", "pronto", "--carrier", "38000"});
  EXPECT_EQ(given.Out.substr(0, 17), "Power: 0000 006D ");
  const TRun flipper = DecodeRemote({"--format", "flipper"});
  EXPECT_NE(flipper.Out.find("name: Vol up\ntype: parsed\nprotocol: SIRC\naddress: 01 00 00 00\n"
                             "command: 12 00 00 00\n"),
            std::string::npos)
      << flipper.Out;
  EXPECT_EQ(DecodeRemote({"--carrier", "0"}).Status, TDecodeCommand::ExitUsage);
}
}  // namespace

// A Flipper file as public collections have it (a byte-order mark, RC5X commands of seven bits,
// raw signals that repeat their frame) exported again: one button per signal, the one that
// cannot be drawn named on stderr while the others are written, exit status 1.
TEST(CodeFiles, FlipperExportKeepsOneButtonPerSignal) {
  const std::string path = ::testing::TempDir() + "public.ir";
  std::ofstream(path, std::ios::binary)
      << "\xEF\xBB\xBF"
         "Filetype: IR signals file\nVersion: 1\n#\nname: Ext\ntype: parsed\nprotocol: RC5X\n"
         "address: 01 00 00 00\ncommand: 42 00 00 00\n#\nname: Held\ntype: raw\n"
         "frequency: 38000\nduty_cycle: 0.33\ndata: 9000 4500 560 1690 560 560 560 40000 9000 "
         "2250 560 40000 9000 2250 560\n#\nname: Wide\ntype: parsed\nprotocol: NEC\n"
         "address: 04 01 00 00\ncommand: 02 00 00 00\n";
  const char* argv[] = {"vorlent-decode", "--protocols", Library.c_str(),
                        "--format",       "flipper",     path.c_str()};
  std::ostringstream out, err;
  const int status = TDecodeCommand(out, err, false).Run(6, argv);
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.str().find("public.ir:16: signal \"Wide\": address 0x104 is wider"),
            std::string::npos)
      << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("name: Ext\ntype: parsed\nprotocol: RC5X\naddress: 01 00 00 00\n"
                      "command: 02 00 00 00\n"),
            std::string::npos)
      << text;  // 66 is sent as 2 with the second start bit 0
  size_t buttons = 0;
  for (size_t at = text.find("name: "); at != std::string::npos; at = text.find("name: ", at + 1))
    ++buttons;
  EXPECT_EQ(buttons, 2u) << text;
}
