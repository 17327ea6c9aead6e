// vorlent-listen as a user runs it: the program records through PortAudio from ALSA's file
// plugin, which plays a prepared recording as the default capture device, prints JSON lines,
// runs the actions of a real actions file and stops on SIGTERM.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
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

// The program running with its output on pipes; killed if a test leaves it running.
struct TProgram {
  TProgram(const std::vector<std::string>& Arguments, const fs::path& Dir, const fs::path& Input) {
    UseAlsaFileDevice(Dir, Input);  // written for the child, which inherits the settings
    int out[2], err[2];
    if (pipe(out) || pipe(err)) throw std::runtime_error("pipe failed");
    Pid = fork();
    if (Pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      close(out[0]), close(err[0]), close(out[1]), close(err[1]);
      std::vector<char*> argv{const_cast<char*>(VORLENT_LISTEN_BINARY)};
      for (const std::string& a : Arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(VORLENT_LISTEN_BINARY, argv.data());
      _exit(127);
    }
    close(out[1]), close(err[1]);
    Out = out[0], Err = err[0];
  }
  ~TProgram() {
    if (Pid > 0 && Status < 0) kill(Pid, SIGKILL), waitpid(Pid, nullptr, 0);
    if (Out >= 0) close(Out);
    if (Err >= 0) close(Err);
  }
  // Reads both pipes until Out holds Lines lines, the program ends or the patience ends.
  void ReadUntil(size_t Lines) {
    const auto deadline = Clock::now() + Patience;
    while (std::count(Stdout.begin(), Stdout.end(), '\n') < static_cast<long>(Lines) &&
           Clock::now() < deadline && ReadSome()) {
    }
  }
  // Reads what has come within 100 ms; false once both pipes are closed.
  bool ReadSome() {
    pollfd fds[] = {{Out, POLLIN, 0}, {Err, POLLIN, 0}};
    std::string* texts[] = {&Stdout, &Stderr};
    if (poll(fds, 2, 100) < 0) return false;
    bool open = false;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) {
        open = open || fds[i].fd >= 0;
        continue;
      }
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) texts[i]->append(buffer, static_cast<size_t>(n));
      if (n == 0) close(fds[i].fd), (i == 0 ? Out : Err) = -1;
      open = open || n != 0;
    }
    return open;
  }
  // Waits for the program's end (reading on); its exit status, or -1 after the patience.
  int Wait() {
    for (const auto deadline = Clock::now() + Patience; Clock::now() < deadline;) {
      ReadSome();
      int status = 0;
      if (waitpid(Pid, &status, WNOHANG) == Pid) {
        while (ReadSome()) {
        }
        Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return Status;
      }
    }
    return -1;
  }
  int Stop() {
    kill(Pid, SIGTERM);
    return Wait();
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Stdout);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  pid_t Pid = -1;
  int Out = -1, Err = -1;
  int Status = -1;
  std::string Stdout, Stderr;
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

std::string Text(const std::string& Name) {
  std::ifstream in(Name);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Lines of Name that start with Prefix.
size_t Count(const std::string& Name, const std::string& Prefix) {
  std::istringstream in(Text(Name));
  size_t n = 0;
  for (std::string line; std::getline(in, line);) n += line.rfind(Prefix, 0) == 0;
  return n;
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
  program.ReadUntil(14);
  ASSERT_EQ(program.Stop(), 0) << program.Stderr;

  std::vector<std::string> protocols;
  for (const std::string& line : program.Lines()) {
    const json packet = json::parse(line);  // one whole object a line
    protocols.push_back(packet["protocol"]);
    EXPECT_EQ(packet["input"], "default");
    EXPECT_EQ(packet["fields"].size(), packet["protocol"] == "NEC" ? 4u : packet["fields"].size());
  }
  const std::vector<std::string> expected = {
      "NEC",        "NEC",        "NEC repeat", "NEC repeat", "NEC repeat", "NEC repeat", "NEC",
      "NEC repeat", "NEC repeat", "NEC repeat", "Sony12",     "Sony12",     "Sony12",     "NEC"};
  EXPECT_EQ(protocols, expected);
  EXPECT_EQ(json::parse(program.Lines().at(6))["data"],
            "address=4; address_inv=251; command=2; command_inv=253; ");

  const auto deadline = Clock::now() + Patience;
  while (Count(log, "") < 8 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Count(log, "play NEC"), 3u) << Text(log);
  EXPECT_EQ(Count(log, "volume NEC"), 4u) << Text(log);  // the frame and three repeats
  EXPECT_EQ(Count(log, "sony"), 1u) << Text(log);
  EXPECT_NE(program.Stderr.find("action (line 5) \"echo sony >> " + log +
                                "; exit 3\" exited with status 3"),
            std::string::npos)
      << program.Stderr;
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
  program.ReadUntil(3);  // the header and two cut packets: the line is still busy
  const int status = program.Stop();
  EXPECT_EQ(status, 0) << program.Stderr;
  EXPECT_EQ(program.Stderr, "");
  ASSERT_GE(program.Lines().size(), 3u);
  EXPECT_EQ(program.Lines()[0].rfind("Time", 0), 0u);
  EXPECT_NE(program.Lines()[1].find("unknown"), std::string::npos);
  EXPECT_EQ(program.Stdout.back(), '\n');
}

struct TBadStart {
  std::string Name;
  std::vector<std::string> Arguments;
  std::string ActionsText;  // written to actions.txt when not empty
  int Status;
  std::string Error;  // part of stderr; "DIR" stands for the test's folder
};

class ListenProgramStart : public testing::TestWithParam<TBadStart> {};

TEST_P(ListenProgramStart, FailsWithItsReasonAndRecordsNothing) {
  const TBadStart& c = GetParam();
  TempDir dir;
  std::vector<uint8_t> silence(Rate, 128);
  std::ofstream(dir / "input.raw", std::ios::binary)
      .write(reinterpret_cast<const char*>(silence.data()), static_cast<long>(silence.size()));
  if (!c.ActionsText.empty()) std::ofstream(dir / "actions.txt") << c.ActionsText;
  std::vector<std::string> arguments;
  for (std::string a : c.Arguments) {
    if (a.rfind("DIR", 0) == 0) a = dir.Path.string() + a.substr(3);
    arguments.push_back(a);
  }
  TProgram program(arguments, dir.Path, dir / "input.raw");
  EXPECT_EQ(program.Wait(), c.Status) << program.Stderr;
  std::string error = c.Error;
  if (error.rfind("DIR", 0) == 0) error = dir.Path.string() + error.substr(3);
  EXPECT_NE(program.Stderr.find(error), std::string::npos) << program.Stderr;
  EXPECT_EQ(program.Stdout, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListenProgramStart,
    testing::Values(
        TBadStart{"NoSuchDeviceName",
                  {"--device", "usb"},
                  "",
                  1,
                  "vorlent-listen: --device usb: no recording device is named \"usb\""},
        TBadStart{
            "NoSuchDeviceNumber", {"--device", "7"}, "", 1, "no recording device has the number 7"},
        TBadStart{"BadActionLine",
                  {"--protocols", Library, "--actions", "DIR/actions.txt"},
                  "# ok\nNEC command=8 = true\nNEC command=x = true\n",
                  1,
                  "DIR/actions.txt:3: field \"command=x\": the value must be a number 0..65535"},
        TBadStart{"MissingActionsFile",
                  {"--actions", "DIR/none.txt"},
                  "",
                  1,
                  "DIR/none.txt: cannot be read: No such file or directory"},
        TBadStart{"LibraryMissingWithActions",
                  {"--protocols", "DIR/none.xml", "--actions", "DIR/actions.txt"},
                  "NEC command=8 = true\n",
                  1,
                  "DIR/none.xml: Error loading XML document."},
        TBadStart{"ReleaseOutOfRange", {"--release", "0"}, "", 2, "--release"}),
    [](const auto& Case) { return Case.param.Name; });

TEST(ListenProgram, ListsTheDevicesItCanRecordFrom) {
  TempDir dir;
  std::ofstream(dir / "input.raw") << std::string(100, '\x80');
  TProgram program({"--list-devices"}, dir.Path, dir / "input.raw");
  EXPECT_EQ(program.Wait(), 0) << program.Stderr;
  EXPECT_EQ(program.Stdout, "*  0  default  (44100 Hz)\n");
}
