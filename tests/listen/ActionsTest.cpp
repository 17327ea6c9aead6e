#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "TActionFile.h"
#include "TActionRunner.h"
#include "TKeyPresses.h"

namespace {
std::vector<TAction> Parse(const std::string& Text) {
  std::istringstream in(Text);
  return TActionFile::Parse(in, "a.txt");
}

std::string ParseError(const std::string& Text) {
  try {
    return std::to_string(Parse(Text).size()) + " actions";
  } catch (const TActionFile::TError& e) {
    return e.what();
  }
}
}  // namespace

TEST(ActionFile, ReadsNamesFieldsOptionsAndCommandsAsWritten) {
  std::vector<std::string> read;
  for (const TAction& a : Parse("# comment\n\n"
                                "NEC address=4 command=0x1F = playerctl  play-pause # to sh\n"
                                "\t RC6-0-16 T0 +repeat command=12 = amixer set Master 5%+ \r\n"
                                "NEC repeat = echo held\n")) {
    std::string fields;
    for (const TProtocolField& f : a.Fields) fields += f.Name + "=" + std::to_string(f.Value) + " ";
    read.push_back(std::to_string(a.Line) + "|" + a.Protocol + "|" + fields + "|" + a.Command +
                   (a.WhileHeld ? "|held" : "|once"));
  }
  EXPECT_EQ(read, (std::vector<std::string>{
                      "3|NEC|address=4 command=31 |playerctl  play-pause # to sh|once",
                      "4|RC6-0-16 T0|command=12 |amixer set Master 5%+|held",
                      "5|NEC repeat||echo held|once"}));
}

class ActionFileErrors : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(ActionFileErrors, NameTheFileLineAndReason) {
  EXPECT_EQ(ParseError(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ActionFileErrors,
    testing::Values(
        std::pair{"NEC command=8",
                  "a.txt:1: no \" = \" before a command (PROTOCOL "
                  "field=value ... = COMMAND)"},
        std::pair{"# c\nNEC command=8 =", "a.txt:2: no command after \"=\""},
        std::pair{"command=8 = x", "a.txt:1: no protocol name before \"=\""},
        std::pair{"NEC command=256x = x",
                  "a.txt:1: field \"command=256x\": the value must be a number 0..65535 or hex "
                  "bytes (a generic frame's data)"},
        std::pair{"NEC =8 = x", "a.txt:1: field \"=8\" has no name"},
        std::pair{"NEC a=1 a=2 = x", "a.txt:1: field \"a\" is named twice"},
        std::pair{"NEC a=1 foo = x",
                  "a.txt:1: \"foo\" follows the fields: the protocol name comes first"},
        std::pair{"NEC +again = x", "a.txt:1: unknown option \"+again\" (known: +repeat)"},
        std::pair{std::string("NEC a=1\0 = x", 11), "a.txt:1: the line holds a zero byte"}));

// A frame read without a definition is bound by its data as hex bytes ("0x" and case aside).
TEST(ActionFile, MatchesAGenericFramesDataAsHexBytes) {
  const TProtocol packet = {
      "Pulse distance", {{"bits", 32}, {"data", 0, "20DF10EF"}}, TProtocol::TMatch::Generic, ""};
  for (const auto& [line, matches] :
       std::vector<std::pair<std::string, bool>>{{"Pulse distance data=20DF10EF", true},
                                                 {"Pulse distance bits=32 data=0x20df10ef", true},
                                                 {"Pulse distance data=20DF10EE", false},
                                                 {"Pulse distance data=20DF10", false},
                                                 {"Pulse distance bits=24 data=20DF10EF", false},
                                                 {"Pulse width data=20DF10EF", false}})
    EXPECT_EQ(Parse(line + " = true\n").at(0).Matches(packet), matches) << line;
}

namespace {
struct TFrame {
  TProtocol Packet;
  double StartMs, LengthMs;
};
struct TPressCase {
  std::string Name;
  std::vector<TFrame> Frames;
  std::vector<int> Runs;  // times each action ran: play, volume (+repeat), rc5, generic A1
};
const std::vector<TAction> PressActions = {
    {"NEC", {{"command", 8}}, "play", false, 1},
    {"NEC", {{"command", 2}}, "volume", true, 2},
    {"RC5", {{"command", 53}}, "rc5", false, 3},
    {"Pulse width", {{"data", TAction::NoNumber, "A1"}}, "generic", false, 4}};

TFrame Key(std::string Name, std::vector<TProtocolField> Fields, double StartMs, double Ms) {
  return {{std::move(Name), std::move(Fields), TProtocol::TMatch::Exact, ""}, StartMs, Ms};
}
TFrame Nec(uint32_t Command, double StartMs) {
  return Key("NEC", {{"address", 4}, {"command", Command}}, StartMs, 67.5);
}
TFrame Repeat(double StartMs) {
  return Key("NEC repeat", {}, StartMs, 11.8);
}
TFrame Rc5(uint32_t Toggle, double StartMs) {
  return Key("RC5", {{"toggle", Toggle}, {"command", 53}}, StartMs, 24.9);
}
TFrame Bytes(const std::string& Data, double StartMs) {
  return Key("Pulse width", {{"bits", 8}, {"data", 0, Data}}, StartMs, 20);
}
}  // namespace

class KeyPresses : public testing::TestWithParam<TPressCase> {};

TEST_P(KeyPresses, RunActionsOncePerPressOrForEveryFrameWhenAsked) {
  TKeyPresses presses(PressActions, 0.150);
  std::vector<int> runs(PressActions.size(), 0);
  for (const auto& [packet, start, length] : GetParam().Frames)
    for (const TAction* a : presses.Handle(packet, start / 1000, (start + length) / 1000))
      ++runs[static_cast<size_t>(a - PressActions.data())];
  std::vector<int> expected = GetParam().Runs;
  expected.resize(PressActions.size(), 0);  // an action a case leaves out never runs
  EXPECT_EQ(runs, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, KeyPresses,
    testing::Values(
        TPressCase{
            "HeldWithRepeatFrames", {Nec(8, 0), Repeat(108), Repeat(216), Repeat(324)}, {1, 0, 0}},
        TPressCase{"ReleasedAfterMoreThan150ms", {Nec(8, 0), Nec(8, 67.5 + 151)}, {2, 0, 0}},
        TPressCase{"ReleasedExactlyAt150msIsStillHeld", {Nec(8, 0), Nec(8, 67.5 + 150)}, {1, 0, 0}},
        TPressCase{
            "RepeatAfterReleaseRunsNothing", {Nec(8, 0), Repeat(400), Repeat(508)}, {1, 0, 0}},
        TPressCase{"WhileHeldRunsForEveryFrame", {Nec(2, 0), Repeat(108), Repeat(216)}, {0, 3, 0}},
        TPressCase{"AnotherKeyIsANewPress", {Nec(8, 0), Nec(2, 108), Nec(8, 216)}, {2, 1, 0}},
        TPressCase{"UnknownPacketsKeepTheHold",
                   {Nec(8, 0), Key("unknown", {}, 90, 5), Repeat(108)},
                   {1, 0, 0}},
        TPressCase{"Rc5ToggleMarksANewPress", {Rc5(0, 0), Rc5(0, 114), Rc5(1, 228)}, {0, 0, 2}},
        TPressCase{"GenericDataTellsKeysApart",
                   {Bytes("A1", 0), Bytes("A1", 50), Bytes("B2", 100), Bytes("A1", 150)},
                   {0, 0, 0, 2}}),
    [](const auto& Case) { return Case.param.Name; });

TEST(ActionRunner, RunsThroughTheShellWithoutWaitingAndLogsFailures) {
  std::vector<std::string> log;
  TActionRunner runner([&log](const std::string& text) { log.push_back(text); });
  const auto before = std::chrono::steady_clock::now();
  for (const char* command : {"sleep 1", "exit 4", "kill -TERM $$"})
    ASSERT_TRUE(runner.Run(command, "line 1", {}));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  EXPECT_TRUE(runner.WaitAll(std::chrono::seconds(20)));
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (std::vector<std::string>{
                     "action (line 1) \"exit 4\" exited with status 4",
                     "action (line 1) \"kill -TERM $$\" was ended by signal 15 (Terminated)"}));
}

// A command that writes megabytes to its output neither holds up the one who reaps nor fills
// the log: it runs to its end, its first lines are logged, the rest is counted out.
TEST(ActionRunner, AFloodingCommandNeitherBlocksNorFillsTheLog) {
  std::vector<std::string> log;
  TActionRunner runner([&log](const std::string& text) { log.push_back(text); });
  ASSERT_TRUE(runner.Run("yes flood | head -c 20000000; echo last >&2", "line 2", {}));
  const auto before = std::chrono::steady_clock::now();
  auto slowest = std::chrono::steady_clock::duration::zero();
  while (runner.Running() && std::chrono::steady_clock::now() - before < std::chrono::seconds(60)) {
    const auto start = std::chrono::steady_clock::now();
    runner.Reap();
    slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(runner.Running(), 0u);
  EXPECT_LT(slowest, std::chrono::milliseconds(500));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.front(), "action (line 2): flood");
  EXPECT_EQ(log.back(), "action (line 2) writes more than 16384 bytes: the rest is not logged");
  EXPECT_LE(log.size(), TActionRunner::MaxLoggedBytes / 6 + 1);
}

// What still runs at the end is ended with everything it started (its process group).
TEST(ActionRunner, EndsCommandsAndWhatTheyStartedAtTheEnd) {
  const std::string pidFile = testing::TempDir() + "background.pid";
  std::remove(pidFile.c_str());
  std::vector<std::string> log;
  {
    TActionRunner runner([&log](const std::string& text) { log.push_back(text); });
    ASSERT_TRUE(runner.Run("sleep 60 & echo $! > " + pidFile + "; wait", "line 7", {}));
    for (int i = 0; i < 500 && std::ifstream(pidFile).peek() == EOF; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto before = std::chrono::steady_clock::now();
    runner.EndAll(std::chrono::milliseconds(100));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_EQ(runner.Running(), 0u);
  }
  pid_t background = 0;
  std::ifstream(pidFile) >> background;
  ASSERT_GT(background, 0);
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    std::string state;
    std::ifstream stat("/proc/" + std::to_string(background) + "/stat");
    std::string pid, name;
    gone = !(stat >> pid >> name >> state) || state == "Z";
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "the command's background sleep still runs";
  EXPECT_EQ(log.front(), "action (line 7) \"sleep 60 & echo $! > " + pidFile +
                             "; wait\" still runs at the end: ended");
}
