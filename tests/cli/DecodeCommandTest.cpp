#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "TDecodeCommand.h"
#include "TIrSynth.h"
#include "TSignalProcessor.h"
#include "TestFiles.h"

using namespace testfiles;

namespace {
using json = nlohmann::json;
using Lines = std::vector<std::string>;

const char* const Protocols = R"(<?xml version="1.0" encoding="UTF-8"?>
<protocols>
  <protocol name="NEC">
    <bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>
    <packet>
      <delimiter name="lead-in">#9000_4500</delimiter>
      <data name="address" length="8" bitorder="LSB"/>
      <data name="address_inv" length="8" bitorder="LSB"/>
      <data name="command" length="8" bitorder="LSB"/>
      <data name="command_inv" length="8" bitorder="LSB"/>
      <delimiter name="stop">#560</delimiter>
    </packet>
  </protocol>
  <protocol name="Samsung32">
    <bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>
    <packet>
      <delimiter name="lead-in">#4500_4500</delimiter>
      <data name="address" length="8" bitorder="LSB"/>
      <data name="subdevice" length="8" bitorder="LSB"/>
      <data name="command" length="8" bitorder="LSB"/>
      <data name="command_inv" length="8" bitorder="LSB"/>
      <delimiter name="stop">#560</delimiter>
    </packet>
  </protocol>
  <protocol name="Sony12">
    <bitset><bit value="1">_600#1200</bit><bit value="0">_600#600</bit></bitset>
    <packet>
      <delimiter name="lead-in">#2400</delimiter>
      <data name="command" length="7" bitorder="LSB"/>
      <data name="address" length="5" bitorder="LSB"/>
    </packet>
  </protocol>
  <protocol name="RC5">
    <bitset><bit value="1">_889#889</bit><bit value="0">#889_889</bit></bitset>
    <packet>
      <delimiter name="start">#889</delimiter>
      <data name="field" length="1" bitorder="MSB"/>
      <data name="toggle" length="1" bitorder="MSB"/>
      <data name="address" length="5" bitorder="MSB"/>
      <data name="command" length="6" bitorder="MSB"/>
    </packet>
  </protocol>
</protocols>
)";

// Protocol and data of the four frames of Recording(), in order.
const Lines Expected = {"NEC address=4; address_inv=251; command=8; command_inv=247; ",
                        "Sony12 command=21; address=1; ",
                        "RC5 field=1; toggle=0; address=5; command=53; ",
                        "Samsung32 address=7; subdevice=7; command=2; command_inv=253; "};

TIrSynth Recording(TIrSynth::TTiming Timing = {}) {
  TIrSynth synth(Timing);
  synth.Quiet(20000);
  for (const auto& frame : {TIrSynth::Nec(0x04, 0x08), TIrSynth::Sony12(0x15, 0x01),
                            TIrSynth::Rc5(false, 5, 0x35), TIrSynth::Samsung32(7, 7, 2)}) {
    synth.Frame(frame);
    synth.Quiet(100000);
  }
  return synth;
}

struct Outcome {
  int Status;
  std::string Out, Err;
};

// The command run in this process; without --protocols its library is searched in Folders.
Outcome Decode(Lines Args, Lines Folders = {"/nonexistent"}) {
  Args.insert(Args.begin(), "vorlent-decode");
  std::vector<const char*> argv;
  for (const auto& a : Args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  TDecodeCommand command(out, err, false);
  command.SearchLibraryIn(Folders);
  int status = command.Run(static_cast<int>(argv.size()), argv.data());
  return {status, out.str(), err.str()};
}

Lines Decoded(const std::string& JsonText) {
  Lines lines;
  json doc = json::parse(JsonText);
  for (const json& p : doc["packets"])
    lines.push_back(p["protocol"].get<std::string>() + " " + p["data"].get<std::string>());
  return lines;
}

class DecodeCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteText(Dir / "protocols.xml", Protocols);
    Synth.Write(Dir / "u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1);
  }
  std::string P() const { return Dir / "protocols.xml"; }

  TempDir Dir;
  TIrSynth Synth = Recording();
};
}  // namespace

TEST_F(DecodeCommand, EveryFormatDecodesToTheSamePackets) {
  Synth.Write(Dir / "s16-44k1-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2);
  Synth.Write(Dir / "float-96k.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1);
  Synth.Write(Dir / "s16-48k.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1);
  for (const char* name : {"u8.wav", "s16-44k1-stereo.wav", "float-96k.wav", "s16-48k.flac"}) {
    SCOPED_TRACE(name);
    Outcome r = Decode({"--protocols", P(), "--format", "json", Dir / name});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(Decoded(r.Out), Expected);
    json packets = json::parse(r.Out)["packets"];
    for (size_t i = 0; i < packets.size(); ++i)
      EXPECT_NEAR(packets[i]["start_s"].get<double>(), Synth.FrameStarts[i], 50e-6);
  }
}

TEST_F(DecodeCommand, TableOfACleanRecording) {
  TIrSynth clean = Recording({0, 0});
  TIrSynth::TLevels quiet;
  quiet.Noise = quiet.Hum = 0;
  clean.Write(Dir / "clean.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1, quiet);
  Outcome r = Decode({"--protocols", P(), Dir / "clean.wav"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "Time         Protocol   Data                                                      "
            "Length    Gap\n"
            "0:00:00.020  NEC        address=4; address_inv=251; command=8; command_inv=247;     "
            "68ms   20ms\n"
            "0:00:00.188  Sony12     command=21; address=1;                                    "
            "19.2ms  100ms\n"
            "0:00:00.307  RC5        field=1; toggle=0; address=5; command=53;                   "
            "24ms  100ms\n"
            "0:00:00.431  Samsung32  address=7; subdevice=7; command=2; command_inv=253;       "
            "61.3ms  100ms\n");
}

TEST_F(DecodeCommand, SavedSamplesDecodeAgainWithTheirCaptureTime) {
  Outcome recorded = Decode({"--protocols", P(), "--format", "json", Dir / "u8.wav"});
  // Save what the recording gave, as the window's "Save samples" does.
  TSignalProcessor processor;
  json packets = json::parse(recorded.Out)["packets"];
  for (const json& p : packets) {
    auto sample = std::make_unique<TSample>();
    sample->Duration = p["duration_s"].get<float>();
    sample->Gap = p["gap_s"].get<float>();
    sample->CaptureTime = (9 * 3600 + p["start_s"].get<double>()) / 86400;
    size_t margin = p["pulses"][0].get<size_t>();
    sample->Signal.assign(margin, 128);
    for (size_t r = 1; r < p["pulses"].size(); ++r)
      sample->Signal.insert(sample->Signal.end(),
                            p["pulses"][r].get<size_t>() + (r + 1 == p["pulses"].size()),
                            r % 2 ? 200 : 128);
    processor.AddSample(std::move(sample));
  }
  processor.SaveSamples(Dir / "saved");
  Outcome r = Decode({"--protocols", P(), "--format", "json", Dir / "saved.map"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(Decoded(r.Out), Expected);
  json p = json::parse(r.Out)["packets"][1];
  EXPECT_TRUE(p["start_s"].is_null());
  EXPECT_EQ(p["time"], "9:00:00.188");
  EXPECT_EQ(p["pulses"], json::parse(recorded.Out)["packets"][1]["pulses"]);
  EXPECT_EQ(p["gap"], json::parse(recorded.Out)["packets"][1]["gap"]);

  // A partial last record: the whole ones are decoded and the rest is named.
  std::ofstream(Dir / "saved.map", std::ios::binary | std::ios::app) << "tail";
  r = Decode({"--protocols", P(), "--format", "json", Dir / "saved.map"});
  EXPECT_EQ(Decoded(r.Out), Expected);
  EXPECT_TRUE(
      r.Err.ends_with(": the last 4 bytes are not a whole 24-byte record and were left "
                      "out; the 4 whole records before them were loaded.\n"))
      << r.Err;
}

TEST_F(DecodeCommand, ABadInputIsReportedAndTheOthersAreStillDecoded) {
  WriteText(Dir / "garbage.wav", std::string(3000, '\x7f'));
  Bytes header = ReadAll(Dir / "u8.wav");
  header.resize(30);
  WriteText(Dir / "cut.wav", std::string(header.begin(), header.end()));
  WriteText(Dir / "lonely.map", std::string(24, '\0'));
  WriteText(Dir / "empty.map", "");
  WriteText(Dir / "empty.dat", "");
  Outcome r = Decode({"--protocols", P(), "--format", "csv", Dir / "missing.wav",
                      Dir / "garbage.wav", Dir / "cut.wav", Dir / "lonely.map", Dir / "gone.map",
                      Dir / "empty.map", Dir / "u8.wav"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "vorlent-decode: " + Dir / "missing.wav" +
                       ": No such file or directory\n"
                       "vorlent-decode: " +
                       Dir / "garbage.wav" +
                       ": Format not recognised.\n"
                       "vorlent-decode: " +
                       Dir / "cut.wav" +
                       ": Error in WAV file. No 'data' chunk marker.\n"
                       "vorlent-decode: " +
                       Dir / "lonely.map" + ": data file " + Dir / "lonely.dat" +
                       " not found\n"
                       "vorlent-decode: " +
                       Dir / "gone.map" + ": File not found\n" + "vorlent-decode: No packets in " +
                       Dir / "empty.map" + ".\n");
  std::istringstream csv(r.Out);
  std::string line;
  size_t rows = 0;
  while (std::getline(csv, line)) rows += line.rfind(Dir / "u8.wav,", 0) == 0;
  EXPECT_EQ(rows, 4u);
}

// (The generic pass still reads the packets; it is off here.)
TEST_F(DecodeCommand, AMissingOrBrokenLibraryDecodesEverythingAsUnknown) {
  WriteText(Dir / "broken.xml", "<protocols><protocol name=\"x\">");
  Outcome r = Decode(
      {"--protocols", Dir / "broken.xml", "--generic=off", "--format", "json", Dir / "u8.wav"});
  EXPECT_EQ(r.Err, "vorlent-decode: " + Dir / "broken.xml" +
                       ": Error loading XML document.\nError number: -14\nReason: Start-end tags "
                       "mismatch\nLine: 1\nColumn: 30\n");
  EXPECT_EQ(Decoded(r.Out), Lines(4, "unknown "));
  EXPECT_EQ(r.Status, 1);  // a library named on the command line must load

  // Without --protocols, the first protocols.xml found; none found is no failure.
  r = Decode({"--format", "json", "--generic=off", Dir / "u8.wav"}, {Dir / "a", Dir / "b"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "vorlent-decode: protocols.xml was not found. Looked in:\n  " + Dir / "a" +
                       "\n  " + Dir / "b" + "\n");
  EXPECT_EQ(Decoded(r.Out), Lines(4, "unknown "));
}

TEST_F(DecodeCommand, UsageErrorsExitWithTwo) {
  const std::vector<std::pair<Lines, std::string>> cases = {
      {{"--bogus", "x.wav"}, "The following argument was not expected: --bogus"},
      {{"--format", "xml", "x.wav"},
       "--format: xml not in {table,json,csv,flipper,pronto,lirc,mode2}"},
      {{}, "INPUT is required"},
      {{"--protocols"}, "--protocols: 1 required TEXT missing"}};
  for (const auto& [args, message] : cases) {
    Outcome r = Decode(args);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "vorlent-decode: " + message + "\nRun with --help for more information.\n");
    EXPECT_EQ(r.Out, "");
  }
  Outcome help = Decode({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("--protocols"), std::string::npos);
  EXPECT_NE(help.Out.find("INPUT"), std::string::npos);
}

TEST_F(DecodeCommand, InvertReadsARecordingOfTheOtherPolarity) {
  // The same frames with the line resting high and dipping for each mark.
  TIrSynth::TLevels levels;
  levels.High = -0.75;
  Synth.Write(Dir / "inverted.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, levels);
  Outcome none = Decode({"--protocols", P(), "--format", "json", Dir / "inverted.wav"});
  EXPECT_EQ(none.Out, "{\"packets\":[]}\n");
  EXPECT_EQ(none.Status, 0);  // nothing found is said, and is no failure
  EXPECT_EQ(none.Err, "vorlent-decode: No infrared packets found in " + Dir / "inverted.wav" +
                          ". If the signal sits below the line's resting level (a receiver that "
                          "idles high), try --invert.\n");
  Outcome r = Decode({"--protocols", P(), "--invert", "--format", "json", Dir / "inverted.wav"});
  EXPECT_EQ(Decoded(r.Out), Expected);
  EXPECT_EQ(r.Err, "");
}

namespace {
// The built program run in Dir as a separate process, with the variables Env ("A=b ...").
Outcome Spawn(const std::string& Dir, const std::string& Args, const std::string& Env = "") {
  std::string err = Dir + "/stderr.txt";
  std::string command =
      "cd '" + Dir + "' && " + Env + " '" VORLENT_DECODE_BINARY "' " + Args + " 2>'" + err + "'";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char chunk[4096];
  while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
  int status = pclose(pipe);
  Bytes errBytes = ReadAll(err);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out,
          std::string(errBytes.begin(), errBytes.end())};
}
}  // namespace

TEST_F(DecodeCommand, TheProgramReadsProtocolsXmlOfItsCurrentDirectory) {
  Outcome r = Spawn(Dir.Path.string(), "--format csv u8.wav missing.wav");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "vorlent-decode: missing.wav: No such file or directory\n");
  EXPECT_EQ(r.Out.substr(0, 43), "Input,Time,Protocol,Match,Data,Length,Gap\r\n");
  EXPECT_NE(r.Out.find("u8.wav,0:00:00.188,Sony12,exact,command=21; address=1; ,"),
            std::string::npos);
  EXPECT_EQ(Spawn(Dir.Path.string(), "--format=yaml u8.wav").Status, 2);
  EXPECT_EQ(Spawn(Dir.Path.string(), "u8.wav").Status, 0);
}

// Current folder, then the user's data folder, then the program's (the build copies the
// shipped library beside it).
TEST_F(DecodeCommand, TheProgramLooksInTheUsualPlacesInOrder) {
  fs::create_directories(Dir.Path / "elsewhere");
  fs::create_directories(Dir.Path / "data/vorlent");
  std::string mine = Protocols;
  mine.replace(mine.find("\"NEC\""), 5, "\"MyNEC\"");
  WriteText(Dir / "data/vorlent/protocols.xml", mine);
  const std::string env = "XDG_DATA_HOME='" + Dir / "data" + "'";
  const std::string args = "--format csv ../u8.wav";
  Outcome r = Spawn(Dir / "elsewhere", args, env);
  EXPECT_EQ(r.Err, "");
  EXPECT_NE(r.Out.find(",MyNEC,exact,address=4;"), std::string::npos) << r.Out;
  fs::remove(Dir / "data/vorlent/protocols.xml");
  r = Spawn(Dir / "elsewhere", args, env);
  EXPECT_EQ(r.Err, "");
  EXPECT_NE(r.Out.find(",NEC,exact,address=4;"), std::string::npos) << r.Out;
}

namespace {
const std::string Examples = std::string(VORLENT_SOURCE_DIR) + "/examples/";
const std::string ExampleTable =
    "Time         Protocol   Data                                                       Length"
    "      Gap\n"
    "0:00:00.050  NEC        address=4; address_inv=251; command=8; command_inv=247;      68ms"
    "     50ms\n"
    "0:00:00.268  Sony12     command=21; address=1;                                     19.2ms"
    "    150ms\n"
    "0:00:00.313  Sony12     command=21; address=1;                                     19.2ms"
    "   25.8ms\n"
    "0:00:00.358  Sony12     command=21; address=1;                                     19.2ms"
    "   25.8ms\n"
    "0:00:00.553  RC5        field=1; toggle=0; address=5; command=53;                    24ms"
    "  175.8ms\n"
    "0:00:00.727  RC5        field=1; toggle=1; address=5; command=53;                    24ms"
    "    150ms\n"
    "0:00:00.901  Samsung32  address=7; subdevice=7; command=2; command_inv=253;        61.2ms"
    "    150ms\n"
    "0:00:01.112  NEC        address=4; address_inv=251; command=16; command_inv=239;     68ms"
    "    150ms\n";
}  // namespace

TEST_F(DecodeCommand, TheShippedExamplesDecodeAsDocumented) {
  Outcome r = Decode({"--protocols", P(), Examples + "remotes-48k-8bit.wav"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, ExampleTable);
  // The 44.1 kHz file as the README decodes it: with the shipped library, whose windows allow
  // for the longer marks that resampling a sloped edge gives.
  const std::string shipped = std::string(VORLENT_DATA_DIR) + "/protocols.xml";
  r = Decode(
      {"--protocols", shipped, "--format", "json", Examples + "remotes-44k1-16bit-stereo.wav"});
  EXPECT_EQ(Decoded(r.Out), Decoded(Decode({"--protocols", shipped, "--format", "json",
                                            Examples + "remotes-48k-8bit.wav"})
                                        .Out));
}

TEST_F(DecodeCommand, TheShippedLibraryNamesTheExamplesProtocols) {
  std::string shipped = std::string(VORLENT_DATA_DIR) + "/protocols.xml";
  ASSERT_TRUE(fs::exists(shipped)) << shipped;
  for (const char* name : {"remotes-48k-8bit.wav", "remotes-44k1-16bit-stereo.wav"}) {
    Outcome r = Decode({"--protocols", shipped, "--format", "json", Examples + name});
    Lines protocols;
    json doc = json::parse(r.Out);
    for (const json& p : doc["packets"]) protocols.push_back(p["protocol"]);
    EXPECT_EQ(protocols,
              (Lines{"NEC", "Sony12", "Sony12", "Sony12", "RC5", "RC5", "Samsung32", "NEC"}))
        << name;
  }
}

TEST_F(DecodeCommand, ACutRecordingReportsItsPacketsThenTheCut) {
  const std::string cut = Dir / "cut.wav";
  std::filesystem::copy_file(Dir / "u8.wav", cut);
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 6 / 10);
  Outcome r = Decode({"--protocols", P(), "--format", "json", cut});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(Decoded(r.Out), Lines(Expected.begin(), Expected.begin() + 3));
  EXPECT_EQ(r.Err,
            "vorlent-decode: " + cut + ": the file ends early at 0:00:00.355 (of 0:00:00.592)\n");
}

// A remote the library does not know is learned with --learn (printed) and --learn-into (added
// to a file made from the library in use), and then decodes by its name, one value per button.
TEST_F(DecodeCommand, ALearnedRemoteDecodesByItsNameAndAClashOrMixedCodingsAreRefused) {
  const std::string protocols = Protocols;
  WriteText(Dir / "nec.xml",
            protocols.substr(0, protocols.find("<protocol name=\"Samsung32\"")) + "</protocols>\n");
  TIrSynth synth;
  synth.Quiet(20000);
  for (int command : {2, 3, 7, 0x40, 0x41}) {
    synth.Frame(TIrSynth::Samsung32(7, 7, command));
    synth.Quiet(100000);
  }
  synth.Write(Dir / "samsung.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1);
  const Lines learn = {"--protocols", Dir / "nec.xml", "--learn", "Living room",
                       Dir / "samsung.wav"};
  const Outcome printed = Decode(learn);
  EXPECT_EQ(printed.Status, 0) << printed.Err;
  EXPECT_NE(printed.Out.find("<protocol name=\"Living room\""), std::string::npos);

  Lines into = learn;
  into.insert(into.end(), {"--learn-into", Dir / "mine.xml"});
  const Outcome added = Decode(into);
  ASSERT_EQ(added.Status, 0) << added.Err;
  EXPECT_NE(added.Err.find(Dir / "mine.xml"), std::string::npos);
  const Outcome decoded =
      Decode({"--protocols", Dir / "mine.xml", "--format", "json", Dir / "samsung.wav"});
  const Lines lines = Decoded(decoded.Out);
  ASSERT_EQ(lines.size(), 5u) << decoded.Out;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind("Living room ", 0), 0u) << lines[i];
    for (size_t j = 0; j < i; ++j) EXPECT_NE(lines[i], lines[j]);
  }
  EXPECT_EQ(
      Decoded(Decode({"--protocols", Dir / "mine.xml", "--format", "json", Dir / "u8.wav"}).Out)
          .front(),
      Expected.front());  // the library it was made from is still there

  const Outcome clash = Decode(into);
  EXPECT_EQ(clash.Status, TDecodeCommand::ExitInputFailed);
  EXPECT_NE(clash.Err.find("already there"), std::string::npos) << clash.Err;
  const Outcome mixed =
      Decode({"--protocols", Dir / "nec.xml", "--learn", "Mixed", Dir / "u8.wav"});
  EXPECT_EQ(mixed.Status, TDecodeCommand::ExitInputFailed);
  EXPECT_NE(mixed.Err.find("different codings"), std::string::npos) << mixed.Err;
  EXPECT_EQ(mixed.Out, "");
}
