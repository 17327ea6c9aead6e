#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "TActionFile.h"
#include "TActionRunner.h"
#include "TKeyPresses.h"
#include "TestFiles.h"

using namespace testfiles;

namespace {
std::vector<TAction> Parse(const std::string& Text) {
  std::istringstream in(Text);
  return TActionFile::Parse(in, "a.txt");
}

std::string ParseError(const std::string& Text) {
  try {
    Parse(Text);
  } catch (const TActionFile::TError& e) {
    return e.what();
  }
  return "(no error)";
}
}  // namespace

TEST(ActionFile, ReadsNamesFieldsOptionsAndCommandsAsWritten) {
  const auto actions = Parse(
      "# comment\n\n"
      "NEC address=4 command=0x1F = playerctl  play-pause # to the shell\n"
      "\t RC6-0-16 T0 +repeat command=12 = amixer set Master 5%+ \r\n"
      "NEC repeat = echo held\n");
  ASSERT_EQ(actions.size(), 3u);
  EXPECT_EQ(actions[0].Protocol, "NEC");
  ASSERT_EQ(actions[0].Fields.size(), 2u);
  EXPECT_EQ(actions[0].Fields[1].Name, "command");
  EXPECT_EQ(actions[0].Fields[1].Value, 31u);
  EXPECT_EQ(actions[0].Command, "playerctl  play-pause # to the shell");
  EXPECT_EQ(actions[0].Line, 3);
  EXPECT_FALSE(actions[0].WhileHeld);
  EXPECT_EQ(actions[1].Protocol, "RC6-0-16 T0");
  EXPECT_TRUE(actions[1].WhileHeld);
  EXPECT_EQ(actions[1].Command, "amixer set Master 5%+");
  EXPECT_EQ(actions[2].Protocol, "NEC repeat");
  EXPECT_TRUE(actions[2].Fields.empty());
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
                  "a.txt:1: field \"command=256x\": the value must be a number 0..65535"},
        std::pair{"NEC command=65536 = x",
                  "a.txt:1: field \"command=65536\": the value must be a number 0..65535"},
        std::pair{"NEC command=0x = x",
                  "a.txt:1: field \"command=0x\": the value must be a number 0..65535"},
        std::pair{"NEC command=-1 = x",
                  "a.txt:1: field \"command=-1\": the value must be a number 0..65535"},
        std::pair{"NEC =8 = x", "a.txt:1: field \"=8\" has no name"},
        std::pair{"NEC a=1 a=2 = x", "a.txt:1: field \"a\" is named twice"},
        std::pair{"NEC a=1 foo = x",
                  "a.txt:1: \"foo\" follows the fields: the protocol name comes first"},
        std::pair{"NEC +again = x", "a.txt:1: unknown option \"+again\" (known: +repeat)"},
        std::pair{std::string("NEC a=1\0 = x", 11), "a.txt:1: the line holds a zero byte"}));

TEST(ActionFile, FilesThatCannotBeReadAreNamedWithTheReason) {
  TempDir dir;
  EXPECT_THROW(
      {
        try {
          TActionFile::Read(dir / "none.txt");
        } catch (const TActionFile::TError& e) {
          EXPECT_EQ(std::string(e.what()),
                    dir / "none.txt: cannot be read: No such file or directory");
          throw;
        }
      },
      TActionFile::TError);
  try {
    TActionFile::Read(dir.Path.string());
    ADD_FAILURE() << "a directory was read";
  } catch (const TActionFile::TError& e) {
    EXPECT_EQ(std::string(e.what()), dir.Path.string() + ": is a directory, not an actions file");
  }
  std::ofstream(dir / "ok.txt") << "NEC command=8 = true";  // no line end at the end
  EXPECT_EQ(TActionFile::Read(dir / "ok.txt").size(), 1u);
}

namespace {
// A packet of a key: protocol, "name=value" fields, start and end in ms of the stream.
struct TFrame {
  std::string Protocol;
  std::vector<TProtocolField> Fields;
  double StartMs;
  double LengthMs;
};

struct TPressCase {
  std::string Name;
  std::vector<TFrame> Frames;
  std::vector<int> Runs;  // times each action ran: play (once), volume (+repeat), repeat line
};

const std::vector<TAction> PressActions = {
    {"NEC", {{"command", 8}}, "play", false, 1},
    {"NEC", {{"command", 2}}, "volume", true, 2},
    {"RC5", {{"command", 53}}, "rc5", false, 3},
};

TFrame Nec(uint32_t Command, double StartMs) {
  return {"NEC", {{"address", 4}, {"command", Command}}, StartMs, 67.5};
}
TFrame Repeat(double StartMs) {
  return {"NEC repeat", {}, StartMs, 11.8};
}
TFrame Rc5(uint32_t Toggle, double StartMs) {
  return {"RC5", {{"toggle", Toggle}, {"command", 53}}, StartMs, 24.9};
}
}  // namespace

class KeyPresses : public testing::TestWithParam<TPressCase> {};

TEST_P(KeyPresses, RunActionsOncePerPressOrForEveryFrameWhenAsked) {
  TKeyPresses presses(PressActions, 0.150);
  std::vector<int> runs(PressActions.size(), 0);
  for (const TFrame& f : GetParam().Frames) {
    TProtocol packet;
    packet.ProtocolName = f.Protocol;
    packet.Fields = f.Fields;
    for (const TAction* a :
         presses.Handle(packet, f.StartMs / 1000, (f.StartMs + f.LengthMs) / 1000))
      ++runs[static_cast<size_t>(a - PressActions.data())];
  }
  EXPECT_EQ(runs, GetParam().Runs);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, KeyPresses,
    testing::Values(
        TPressCase{"OnePress", {Nec(8, 0)}, {1, 0, 0}},
        TPressCase{
            "HeldWithRepeatFrames", {Nec(8, 0), Repeat(108), Repeat(216), Repeat(324)}, {1, 0, 0}},
        TPressCase{"HeldByWholeFrames", {Nec(8, 0), Nec(8, 108), Nec(8, 216)}, {1, 0, 0}},
        TPressCase{"ReleasedAfterMoreThan150ms", {Nec(8, 0), Nec(8, 67.5 + 151)}, {2, 0, 0}},
        TPressCase{"ReleasedExactlyAt150msIsStillHeld", {Nec(8, 0), Nec(8, 67.5 + 150)}, {1, 0, 0}},
        TPressCase{
            "RepeatAfterReleaseRunsNothing", {Nec(8, 0), Repeat(400), Repeat(508)}, {1, 0, 0}},
        TPressCase{"WhileHeldRunsForEveryFrame", {Nec(2, 0), Repeat(108), Repeat(216)}, {0, 3, 0}},
        TPressCase{"AnotherKeyIsANewPress", {Nec(8, 0), Nec(2, 108), Nec(8, 216)}, {2, 1, 0}},
        TPressCase{"UnknownPacketsKeepTheHold",
                   {Nec(8, 0), {"unknown", {}, 90, 5}, Repeat(108)},
                   {1, 0, 0}},
        TPressCase{"Rc5ToggleMarksANewPress", {Rc5(0, 0), Rc5(0, 114), Rc5(1, 228)}, {0, 0, 2}}),
    [](const auto& Case) { return Case.param.Name; });

TEST(ActionRunner, RunsThroughTheShellWithoutWaitingAndLogsFailures) {
  TempDir dir;
  std::vector<std::string> log;
  TActionRunner runner([&log](const std::string& text) { log.push_back(text); });
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(runner.Run("sleep 1; echo \"$VORLENT_PROTOCOL $VORLENT_DATA\" > " + dir / "out",
                         "line 1", {{"VORLENT_PROTOCOL", "NEC"}, {"VORLENT_DATA", "a=1; "}}));
  ASSERT_TRUE(runner.Run("exit 4", "line 2", {}));
  ASSERT_TRUE(runner.Run("kill -TERM $$", "line 3", {}));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  EXPECT_EQ(runner.Running(), 3u);
  EXPECT_TRUE(runner.WaitAll(std::chrono::seconds(20)));
  EXPECT_EQ(runner.Running(), 0u);
  std::ifstream in(dir / "out");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "NEC a=1; ");
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (std::vector<std::string>{
                     "action (line 2) \"exit 4\" exited with status 4",
                     "action (line 3) \"kill -TERM $$\" was ended by signal 15 (Terminated)"}));
}
