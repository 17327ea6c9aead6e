// vorlent-listen as a user runs it: the program records through PortAudio from ALSA's file
// plugin, which plays a prepared recording as the default capture device, prints JSON lines,
// runs the actions of a real actions file and stops on SIGTERM; and its systemd user unit as
// installed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "AlsaFileDevice.h"
#include "TIrSynth.h"
#include "TestFiles.h"

using namespace testfiles;

namespace {
using json = nlohmann::json;
using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(20);
constexpr int Rate = 48000;
const std::string Library = std::string(VORLENT_DATA_DIR) + "/protocols.xml";

std::string Text(const fs::path& Name) {
  std::ifstream in(Name);
  return {std::istreambuf_iterator<char>(in), {}};
}

// True once Done is, false when the patience ran out first.
bool Eventually(const std::function<bool()>& Done) {
  for (const auto deadline = Clock::now() + Patience; Clock::now() < deadline;) {
    if (Done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The program running with its output in files of Dir; killed if a test leaves it running.
struct TProgram {
  TProgram(const std::vector<std::string>& Arguments, const fs::path& Folder, const fs::path& Input)
      : Dir(Folder) {
    UseAlsaFileDevice(Dir, Input);  // inherited by the program
    Pid = fork();
    if (Pid != 0) return;
    if (chdir(Dir.c_str()) != 0) _exit(126);
    dup2(open((Dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    dup2(open((Dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(VORLENT_LISTEN_BINARY)};
    for (const std::string& a : Arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(VORLENT_LISTEN_BINARY, argv.data());
    _exit(127);
  }
  ~TProgram() {
    if (Status < 0) kill(Pid, SIGKILL), waitpid(Pid, nullptr, 0);
  }
  // The exit status once the program has ended (128 + signal), or -1 after the patience.
  int Wait() {
    int status = 0;
    if (!Eventually([&] { return waitpid(Pid, &status, WNOHANG) == Pid; })) return -1;
    return Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  int Stop() {
    kill(Pid, SIGTERM);
    return Wait();
  }
  std::string Out() const { return Text(Dir / "out"); }
  std::string Err() const { return Text(Dir / "err"); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Out());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool WaitForLines(size_t Count) const {
    return Eventually([&] { return Lines().size() >= Count; });
  }

  fs::path Dir;
  pid_t Pid = -1;
  int Status = -1;
};

// Frames repeated Count times, one every Period ms; the first is Frame, the rest Repeat.
void Hold(TIrSynth& Synth, const std::vector<TIrSynth::TRun>& Frame,
          const std::vector<TIrSynth::TRun>& Repeat, int Count, double PeriodMs) {
  for (int i = 0; i < Count; ++i) {
    const double start = Synth.LengthSeconds();
    Synth.Frame(i == 0 ? Frame : Repeat);
    Synth.Quiet(PeriodMs * 1000 - (Synth.LengthSeconds() - start) * 1e6);
  }
}

void WriteRaw(const TIrSynth& Synth, const std::string& Name) {
  Synth.Write(Name, SF_FORMAT_RAW | SF_FORMAT_PCM_U8, Rate, 1);
}

// The lines of Name, sorted.
std::vector<std::string> SortedLines(const std::string& Name) {
  std::istringstream in(Text(Name));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

const std::vector<TIrSynth::TRun> NecRepeat = {{true, 9000}, {false, 2250}, {true, 560}};
}  // namespace

TEST(ListenProgram, PressesHeldKeysAndRepeatFramesRunEachActionAsOften) {
  TempDir dir;
  TIrSynth synth;
  synth.Quiet(50000);
  Hold(synth, TIrSynth::Nec(4, 8), NecRepeat, 1, 400);  // a press
  Hold(synth, TIrSynth::Nec(4, 8), NecRepeat, 5, 108);  // held: a frame and four repeats
  synth.Quiet(300000);
  Hold(synth, TIrSynth::Nec(4, 2), NecRepeat, 4, 108);  // held volume key: runs every frame
  synth.Quiet(300000);
  const auto sony = TIrSynth::Sony12(21, 1);
  Hold(synth, sony, sony, 3, 45);  // Sony repeats its whole frame
  synth.Quiet(300000);
  Hold(synth, TIrSynth::Nec(4, 8), NecRepeat, 1, 1000);  // pressed again
  WriteRaw(synth, dir / "input.raw");
  const std::string log = dir / "actions.log";
  std::ofstream(dir / "actions.txt")
      << "# play, volume, a failing command\n"
      << "NEC address=4 command=8 = echo \"play $VORLENT_PROTOCOL\" >> " << log << "\n"
      << "NEC address=0x04 command=2 +repeat = echo \"volume $VORLENT_PROTOCOL\" >> " << log
      << "\n\n  Sony12 command=21 = echo sony >> " << log << "; exit 3\n";

  TProgram program({"--format", "jsonl", "--device", "0", "--protocols", Library, "--actions",
                    dir / "actions.txt"},
                   dir.Path, dir / "input.raw");
  program.WaitForLines(14);
  ASSERT_EQ(program.Stop(), 0) << program.Err();

  std::vector<std::string> protocols;
  for (const std::string& line : program.Lines())
    protocols.push_back(json::parse(line)["protocol"]);  // one whole object a line
  const std::vector<std::string> expected = {
      "NEC",        "NEC",        "NEC repeat", "NEC repeat", "NEC repeat", "NEC repeat", "NEC",
      "NEC repeat", "NEC repeat", "NEC repeat", "Sony12",     "Sony12",     "Sony12",     "NEC"};
  EXPECT_EQ(protocols, expected);
  const json volume = json::parse(program.Lines().at(6));
  EXPECT_EQ(volume["data"], "address=4; address_inv=251; command=2; command_inv=253; ");
  EXPECT_EQ(volume["input"], "default");

  Eventually([&] { return SortedLines(log).size() >= 8; });
  EXPECT_EQ(SortedLines(log), (std::vector<std::string>{"play NEC", "play NEC", "play NEC", "sony",
                                                        "volume NEC", "volume NEC repeat",
                                                        "volume NEC repeat", "volume NEC repeat"}));
  EXPECT_NE(program.Err().find("action (line 5) \"echo sony >> " + log +
                               "; exit 3\" exited with status 3"),
            std::string::npos)
      << program.Err();
}

// Blaupunkt's bi-phase frame (512 µs half-bits, 1 = mark then space): pre-pulse, start bit and
// Bits, LSB first.
std::vector<TIrSynth::TRun> BlaupunktFrame(uint32_t Bits, int Count) {
  std::vector<TIrSynth::TRun> runs{{true, 512}, {false, 2560}};
  auto add = [&runs](bool High) {
    if (!runs.empty() && runs.back().High == High)
      runs.back().Micros += 512;
    else
      runs.push_back({High, 512});
  };
  for (int i = -1; i < Count; ++i) {
    const bool one = i < 0 || (Bits >> i & 1);
    add(one), add(!one);
  }
  if (!runs.back().High) runs.pop_back();
  return runs;
}

// A press whose prefix and first data frame lie 20 ms apart is one packet, decoded with the data
// frame's fields; the last packet is written while the input stays quiet, not at the stop.
TEST(ListenProgram, JoinsThePacketsAnEntryReadsTogetherAndWritesTheLastInTime) {
  TempDir dir;
  TIrSynth synth;
  synth.Quiet(50000);
  synth.Frame(BlaupunktFrame(0x1FF, 9));  // the prefix: ten ones
  synth.Quiet(20500);
  synth.Frame(BlaupunktFrame(46, 9));
  synth.Quiet(300000);
  synth.Frame(TIrSynth::Nec(4, 8));
  synth.Quiet(500000);
  WriteRaw(synth, dir / "input.raw");

  TProgram program({"--format", "jsonl", "--protocols", Library}, dir.Path, dir / "input.raw");
  ASSERT_TRUE(program.WaitForLines(2)) << program.Err();
  ASSERT_EQ(program.Stop(), 0) << program.Err();
  std::vector<std::string> read;
  for (const std::string& line : program.Lines())
    read.push_back(json::parse(line)["protocol"].get<std::string>() + " " +
                   json::parse(line)["data"].get<std::string>());
  EXPECT_EQ(read, (std::vector<std::string>{
                      "Blaupunkt command=46; address=0; ",
                      "NEC address=4; address_inv=251; command=8; command_inv=247; "}));
}

TEST(ListenProgram, RunsActionsBoundToTheDataOfFramesReadWithoutADefinition) {
  TempDir dir;
  TIrSynth synth;
  synth.Quiet(50000);
  // A remote no definition knows: a 7 ms lead-in, then 24 bits of pulse distance (500 us marks,
  // 500/1500 us spaces), least significant bit of each byte first.
  for (uint32_t key : {0x0F3CA5u, 0xF03CA5u, 0x0F3CA5u}) {
    std::vector<TIrSynth::TRun> runs = {{true, 7000}, {false, 3500}};
    for (int bit = 0; bit < 24; ++bit)
      runs.insert(runs.end(), {{true, 500}, {false, (key >> bit & 1) ? 1500.0 : 500.0}});
    runs.push_back({true, 500});
    synth.Frame(runs);
    synth.Quiet(300000);
  }
  WriteRaw(synth, dir / "input.raw");
  const std::string log = dir / "actions.log";
  std::ofstream(dir / "actions.txt")
      << "Pulse distance bits=24 data=A53C0F = echo \"one $VORLENT_DATA\" >> " << log << "\n"
      << "Pulse distance data=0xa53cf0 = echo two >> " << log << "\n";
  TProgram program({"--format", "jsonl", "--device", "0", "--protocols", Library, "--actions",
                    dir / "actions.txt"},
                   dir.Path, dir / "input.raw");
  program.WaitForLines(3);
  ASSERT_EQ(program.Stop(), 0) << program.Err();
  Eventually([&] { return SortedLines(log).size() >= 3; });
  EXPECT_EQ(SortedLines(log), (std::vector<std::string>{"one bits=24; data=A53C0F; ",
                                                        "one bits=24; data=A53C0F; ", "two"}));
}

TEST(ListenProgram, SigtermInsideAPacketEndsCleanlyWithWholeLines) {
  TempDir dir;
  TIrSynth synth;
  synth.Quiet(20000);
  // A line that never rests for 5 ms: every packet stays open until it is cut at its longest.
  std::vector<TIrSynth::TRun> busy;
  for (int i = 0; i < 4000; ++i) busy.push_back({i % 2 == 0, 500});
  synth.Frame(busy);
  WriteRaw(synth, dir / "input.raw");

  TProgram program({"--protocols", Library}, dir.Path, dir / "input.raw");
  program.WaitForLines(3);  // the header and two cut packets: the line is still busy
  EXPECT_EQ(program.Stop(), 0) << program.Err();
  EXPECT_EQ(program.Err(), "");
  ASSERT_GE(program.Lines().size(), 3u);
  EXPECT_EQ(program.Lines()[0].rfind("Time", 0), 0u);
  EXPECT_NE(program.Lines()[1].find("unknown"), std::string::npos);
  EXPECT_EQ(program.Out().back(), '\n');
}

struct TBadStart {
  std::string Name;
  // Run in a folder with actions.txt, bad.txt, typo.txt (it starts with a byte-order mark),
  // field.txt and a FIFO, actions.fifo, that no one writes to.
  std::vector<std::string> Arguments;
  int Status;
  std::string Error;  // part of stderr
};

class ListenProgramStart : public testing::TestWithParam<TBadStart> {};

TEST_P(ListenProgramStart, FailsWithItsReasonAndRecordsNothing) {
  TempDir dir;
  std::ofstream(dir / "input.raw") << std::string(Rate, '\x80');
  std::ofstream(dir / "actions.txt") << "NEC command=8 = true\n";
  std::ofstream(dir / "bad.txt") << "# ok\nNEC command=8 = true\nNEC command=x = true\n";
  std::ofstream(dir / "typo.txt") << "\xEF\xBB\xBFNEC command=8 = true\nNec command=8 = true\n";
  std::ofstream(dir / "field.txt") << "NEC adress=4 = true\n";
  ASSERT_EQ(mkfifo((dir / "actions.fifo").c_str(), 0600), 0);
  TProgram program(GetParam().Arguments, dir.Path, dir / "input.raw");
  EXPECT_EQ(program.Wait(), GetParam().Status) << program.Err();
  EXPECT_NE(program.Err().find(GetParam().Error), std::string::npos) << program.Err();
  EXPECT_EQ(program.Out(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListenProgramStart,
    testing::Values(
        TBadStart{"NoSuchDeviceName",
                  {"--device", "usb"},
                  1,
                  "vorlent-listen: --device usb: no recording device is named \"usb\""},
        TBadStart{"NoSuchDeviceNumber", {"--device", "7"}, 1, "device has the number 7"},
        TBadStart{"BadActionLine",
                  {"--protocols", Library, "--actions", "bad.txt"},
                  1,
                  "bad.txt:3: field \"command=x\": the value must be a number 0..65535"},
        TBadStart{"NoActionsFile", {"--actions", "no.txt"}, 1, "no.txt: cannot be read"},
        TBadStart{"ActionsFolder", {"--actions", "."}, 1, ".: cannot be read: not a regular file"},
        TBadStart{"ActionsFifo",
                  {"--actions", "actions.fifo"},
                  1,
                  "actions.fifo: cannot be read: not a regular file but a pipe (FIFO)"},
        TBadStart{"ActionsDevice",
                  {"--actions", "/dev/zero"},
                  1,
                  "/dev/zero: cannot be read: not a regular file but a device"},
        TBadStart{"MisspeltProtocol",
                  {"--actions", "typo.txt"},
                  1,
                  "typo.txt:2: unknown protocol \"Nec\" (nearest: \"NEC\")"},
        TBadStart{"MisspeltField",
                  {"--actions", "field.txt"},
                  1,
                  "field.txt:1: NEC has no field \"adress\" (nearest: \"address\")"},
        TBadStart{"NoLibraryForTheActions",
                  {"--protocols", "no.xml", "--actions", "actions.txt"},
                  1,
                  "no.xml: Error loading XML document."}),
    [](const auto& Case) { return Case.param.Name; });

TEST(ListenProgram, ListsTheDevicesItCanRecordFrom) {
  TempDir dir;
  std::ofstream(dir / "input.raw") << std::string(Rate, '\x80');
  TProgram program({"--list-devices"}, dir.Path, dir / "input.raw");
  EXPECT_EQ(program.Wait(), 0) << program.Err();
  EXPECT_EQ(program.Out(), "*  0  default  (44100 Hz)\n");
}

// Runs Command through the shell, its output in the file Output; its exit status.
int Shell(const std::string& Command, const std::string& Output) {
  const int status = std::system((Command + " > '" + Output + "' 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstalledUnit, NamesTheInstalledListenerAndPassesSystemdsCheck) {
  TempDir prefix;
  const std::string at = prefix.Path.string(), out = at + "/out",
                    unit = at + "/lib/systemd/user/vorlent-listen.service";
  ASSERT_EQ(
      Shell("'" CMAKE_COMMAND "' --install '" VORLENT_BUILD_DIR "' --component listen --prefix '" +
                at + "'",
            out),
      0)
      << Text(out);
  // No --protocols: the listener's own search finds the installed share/vorlent library.
  EXPECT_NE(Text(unit).find("\nExecStart=" + at +
                            "/bin/vorlent-listen --actions %h/.config/vorlent/actions "
                            "$VORLENT_LISTEN_OPTIONS\n"),
            std::string::npos)
      << Text(unit);
  ASSERT_EQ(Shell("command -v systemd-analyze", out), 0)
      << "no systemd-analyze (Debian package systemd)";
  EXPECT_EQ(Shell("systemd-analyze verify '" + unit + "'", out), 0) << Text(out);
  EXPECT_EQ(Text(out), "");  // no unknown keys, and the installed program is there
}
