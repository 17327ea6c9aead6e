// Learning: packets of one remote become a definition that the decoder then names them by,
// with different buttons in different field values; the user's library file is written
// atomically on disk; mixed codings, clashing names and unreadable packets are refused.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RecognitionFixture.h"
#include "TProtocolLearner.h"
#include "TUserLibrary.h"

namespace {
namespace fs = std::filesystem;

std::vector<uint16_t> Runs(const std::vector<double>& Micros) {
  std::vector<uint16_t> runs = {100};
  for (double us : Micros) runs.push_back(static_cast<uint16_t>(std::lround(us * 0.048)));
  runs.push_back(240);
  return runs;
}

// A remote of one coding: a fixed 16-bit address, then a command byte and its inverse.
struct TRemote {
  const char* Name;
  std::vector<double> Lead;
  double Mark0, Space0, Mark1, Space1;
  bool StopMark;

  std::vector<uint16_t> Packet(unsigned Command, double Jitter = 0) const {
    std::vector<double> us = Lead;
    const uint32_t value = 0xB24Du | (Command & 0xFF) << 16 | (~Command & 0xFF) << 24;
    for (int i = 0; i < 32; ++i) {
      const bool one = (value >> i) & 1;
      const double wobble = (i % 3 - 1) * Jitter;
      us.push_back((one ? Mark1 : Mark0) + wobble);
      us.push_back((one ? Space1 : Space0) - wobble);
    }
    if (StopMark) {
      us.push_back(Mark0);
    } else {
      us.pop_back();
    }
    return Runs(us);
  }
};

const std::vector<TRemote> Remotes = {
    {"pulse distance", {9000, 4500}, 560, 560, 560, 1690, true},
    {"pulse width", {2400, 600}, 600, 600, 1200, 600, false},
    {"distance-width", {3000, 3000}, 420, 1250, 1250, 420, true},
};

class LearnerTest : public RecognitionFixture {
 protected:
  LearnerTest() { Engine.GenericPass = true; }
  std::string Scratch() {
    const fs::path dir = fs::temp_directory_path() / ("vorlent_learn_" + std::to_string(getpid()));
    fs::create_directories(dir);
    Folders.push_back(dir);
    return dir.string();
  }
  ~LearnerTest() override {
    std::error_code ignored;
    for (const fs::path& dir : Folders) fs::remove_all(dir, ignored);
  }
  // Writes the definitions Xml learned as Name to a library file of their own and loads it.
  void LoadLearned(const std::string& Name, const std::string& Xml) {
    const std::string file = Scratch() + "/protocols.xml";
    fs::remove(file);
    ASSERT_EQ(TUserLibrary::Add(file, "", Name, Xml), "");
    Engine.LoadProtocols(file);
    ASSERT_TRUE(Reports.empty()) << Reports.front() << "\n" << Xml;
  }
  static std::string Read(const std::string& File) {
    std::ifstream in(File);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<fs::path> Folders;
};

TEST_F(LearnerTest, ALearnedRemoteDecodesByItsNameWithDifferentButtonsInDifferentFields) {
  for (const TRemote& remote : Remotes) {
    SCOPED_TRACE(remote.Name);
    std::vector<std::vector<uint16_t>> packets;
    for (unsigned command : {0x10u, 0x11u, 0x42u, 0x80u, 0xFEu})
      for (double jitter : {0.0, 30.0}) packets.push_back(remote.Packet(command, jitter));
    const TProtocolLearner::TResult learned =
        TProtocolLearner::Learn("My remote", packets, Rate, 50);
    ASSERT_FALSE(learned.Xml.empty()) << learned.Problem;
    EXPECT_EQ(learned.Learned, packets.size());
    ASSERT_NO_FATAL_FAILURE(LoadLearned("My remote", learned.Xml));
    std::vector<std::string> values;
    for (unsigned command : {0x10u, 0x11u, 0x42u, 0x80u, 0xFEu, 0x33u}) {
      const TSample sample = Decoded(remote.Packet(command, 20));
      EXPECT_EQ(NameOf(sample), "My remote") << learned.Xml;
      for (const std::string& other : values) EXPECT_NE(DataOf(sample), other);
      values.push_back(DataOf(sample));
    }
    // Another address (its first two bits swapped) is not this remote.
    std::vector<uint16_t> foreign = remote.Packet(0x10);
    std::swap(foreign[remote.Lead.size() + 1], foreign[remote.Lead.size() + 3]);
    std::swap(foreign[remote.Lead.size() + 2], foreign[remote.Lead.size() + 4]);
    EXPECT_NE(NameOf(Decoded(foreign)), "My remote");
  }
}

// A remote that stretches the zero spaces of its bits 2, 3 and 6 (580 us, not 440) in a 48-bit
// frame; one of its packets comes through a receiver whose gain drifts (the spaces lengthening
// by up to 300 us as the marks shorten).
std::vector<uint16_t> StretchingRemote(unsigned Command, double Drift = 0) {
  std::vector<double> us = {9200, 4450};
  const uint64_t value = 0x5A5AC3u | uint64_t{Command & 0xFF} << 24 | uint64_t{0x3C} << 32;
  for (int i = 0; i < 48; ++i) {
    const bool one = (value >> i) & 1;
    const double shift = Drift * i / 48;
    const double zero = (i == 2 || i == 3 || i == 6) ? 580 : 440;
    us.insert(us.end(), {680 - shift, (one ? 1550 : zero) + shift});
  }
  us.push_back(680);
  return Runs(us);
}

TEST_F(LearnerTest, StretchedSpacesAreLearnedAndADriftingPacketIsLeftOut) {
  std::vector<std::vector<uint16_t>> packets;
  for (unsigned command : {0x10u, 0x22u, 0x47u, 0x80u})
    packets.push_back(StretchingRemote(command));
  packets.push_back(StretchingRemote(0x10, 300));
  const TProtocolLearner::TResult learned = TProtocolLearner::Learn("Heater", packets, Rate, 50);
  ASSERT_FALSE(learned.Xml.empty()) << learned.Problem;
  EXPECT_EQ(learned.Learned, packets.size() - 1);
  EXPECT_EQ(learned.Unread, 1u);
  ASSERT_NO_FATAL_FAILURE(LoadLearned("Heater", learned.Xml));
  std::set<std::string> values;
  for (unsigned command : {0x10u, 0x22u, 0x47u, 0x80u, 0x35u}) {
    const TSample sample = Decoded(StretchingRemote(command));
    EXPECT_EQ(NameOf(sample), "Heater") << learned.Xml;
    values.insert(DataOf(sample));
  }
  EXPECT_EQ(values.size(), 5u);
}

// A fan's distance-width frame: 24 bits of Value (1: a long mark and a short space), then a long
// mark; its "off" button sends zeros only, one mark and one space width, read alone as nothing.
std::vector<uint16_t> FanPacket(uint32_t Value) {
  std::vector<double> us;
  for (int i = 0; i < 24; ++i) {
    const bool one = (Value >> i) & 1;
    us.insert(us.end(), {one ? 1590.0 : 750, one ? 910.0 : 1750});
  }
  us.push_back(1590);
  return Runs(us);
}

TEST_F(LearnerTest, AFrameOfZerosIsReadWithTheWidthsOfTheRemotesOtherFrames) {
  const std::vector<uint32_t> buttons = {0xC100C1, 0xC900C9, 0xC1F0C1, 0xC30FC1, 0};
  std::vector<std::vector<uint16_t>> packets;
  for (uint32_t button : buttons) packets.push_back(FanPacket(button));
  const TProtocolLearner::TResult learned = TProtocolLearner::Learn("Fan", packets, Rate, 50);
  ASSERT_FALSE(learned.Xml.empty()) << learned.Problem;
  EXPECT_EQ(learned.Learned, packets.size());
  EXPECT_EQ(learned.Unread, 0u);
  ASSERT_NO_FATAL_FAILURE(LoadLearned("Fan", learned.Xml));
  std::set<std::string> values;
  for (uint32_t button : buttons) {
    const TSample sample = Decoded(FanPacket(button));
    EXPECT_EQ(NameOf(sample), "Fan") << button << "\n" << learned.Xml;
    values.insert(DataOf(sample));
  }
  EXPECT_EQ(values.size(), buttons.size()) << learned.Xml;
}

// A pulse-position remote: every space after a bit mark is one of Widths (a symbol, its rank);
// a fixed address of four symbols, then a command of four.
struct TPositionRemote {
  const char* Name;
  double Mark;
  std::vector<double> Widths;

  std::vector<uint16_t> Packet(const std::vector<int>& Command, double Jitter = 0) const {
    std::vector<double> us = {2500, 1000};
    std::vector<int> symbols = {1, 2, 0, 2};
    symbols.insert(symbols.end(), Command.begin(), Command.end());
    for (size_t i = 0; i < symbols.size(); ++i) {
      const double wobble = static_cast<double>(static_cast<int>(i % 3) - 1) * Jitter;
      const size_t width = static_cast<size_t>(symbols[i]) % Widths.size();
      us.insert(us.end(), {Mark + wobble, Widths[width] - wobble});
    }
    us.push_back(Mark);
    return Runs(us);
  }
};

TEST_F(LearnerTest, APulsePositionRemoteIsLearnedOverTheWidthsOfAllItsPackets) {
  std::vector<TPositionRemote> remotes = {{"four widths", 600, {350, 850, 1450, 2200}},
                                          {"sixteen widths", 300, {}}};
  for (int n = 0; n < 16; ++n) remotes[1].Widths.push_back(760 + 137 * n);
  // Commands that together send every width, though no packet sends them all.
  const std::vector<std::vector<int>> commands = {{0, 1, 2, 3},   {4, 5, 6, 7},     {0, 0, 1, 1},
                                                  {8, 9, 10, 11}, {12, 13, 14, 15}, {3, 1, 2, 14}};
  for (const TPositionRemote& remote : remotes) {
    SCOPED_TRACE(remote.Name);
    std::vector<std::vector<uint16_t>> packets;
    for (const std::vector<int>& command : commands)
      for (double jitter : {0.0, 20.0}) packets.push_back(remote.Packet(command, jitter));
    const TProtocolLearner::TResult learned = TProtocolLearner::Learn("Box", packets, Rate, 50);
    ASSERT_FALSE(learned.Xml.empty()) << learned.Problem;
    ASSERT_NO_FATAL_FAILURE(LoadLearned("Box", learned.Xml));
    std::set<std::vector<uint16_t>> sent;
    std::set<std::string> values;
    for (const std::vector<int>& command : commands) {
      const TSample sample = Decoded(remote.Packet(command, 15));
      EXPECT_EQ(NameOf(sample), "Box") << learned.Xml;
      sent.insert(remote.Packet(command));
      values.insert(DataOf(sample));
    }
    EXPECT_EQ(values.size(), sent.size()) << learned.Xml;  // different buttons, different fields
    std::vector<uint16_t> foreign = remote.Packet(commands[0]);
    std::swap(foreign[4], foreign[6]);  // another address
    EXPECT_NE(NameOf(Decoded(foreign)), "Box");
  }
}

// A run-width remote (every run a bit: 1 long, 0 short, marks longer than spaces), whose
// lead-in space takes in more time when the command's lowest bit is set; an odd number of bit
// runs, ending with a mark.
std::vector<uint16_t> RunWidthPacket(unsigned Command, double Jitter = 0) {
  std::vector<double> us = {3000, Command & 1 ? 3900.0 : 3000};
  const unsigned bits = 0x59u | (Command & 0xFFF) << 8;  // 8 fixed bits, then the command
  for (int i = 0; i < 21; ++i) {
    const bool one = (bits >> i) & 1, mark = i % 2 == 0;
    const double wobble = (i % 3 - 1) * Jitter;
    us.push_back((one ? 2000.0 : 1000) - (mark ? 0 : 60) + wobble);
  }
  return Runs(us);
}

TEST_F(LearnerTest, ARunWidthRemoteWithAVaryingLeadInIsLearned) {
  const std::vector<unsigned> commands = {0x0F0, 0x3C5, 0xA0A, 0x123, 0xFFF, 0x800};
  std::vector<std::vector<uint16_t>> packets;
  for (unsigned command : commands)
    for (double jitter : {0.0, 25.0}) packets.push_back(RunWidthPacket(command, jitter));
  const TProtocolLearner::TResult learned = TProtocolLearner::Learn("Hood", packets, Rate, 50);
  ASSERT_FALSE(learned.Xml.empty()) << learned.Problem;
  EXPECT_NE(learned.Xml.find("Run width"), std::string::npos) << learned.Xml;
  ASSERT_NO_FATAL_FAILURE(LoadLearned("Hood", learned.Xml));
  std::set<std::string> values;
  for (unsigned command : commands) {
    const TSample sample = Decoded(RunWidthPacket(command, 20));
    EXPECT_EQ(NameOf(sample), "Hood") << learned.Xml;
    values.insert(DataOf(sample));
  }
  EXPECT_EQ(values.size(), commands.size()) << learned.Xml;
  std::vector<uint16_t> foreign = RunWidthPacket(commands[0]);
  std::swap(foreign[3], foreign[4]);  // the fixed bits' first two runs swapped
  EXPECT_NE(NameOf(Decoded(foreign)), "Hood");
}

// A run-length remote (every run one to four units of 700 us, marks 60 us longer and spaces as
// much shorter): six fixed runs of one and two units, a run of three, then ten runs of the
// command's units. A command of ones and twos reads alone as run width with a longer run
// inside, one of many threes and fours as run length.
std::vector<uint16_t> RunLengthPacket(const std::string& Command, double Jitter = 0) {
  std::vector<double> us;
  for (char units : "112112" + std::string("3") + Command) {
    const bool mark = us.size() % 2 == 0;
    const double wobble = static_cast<double>(us.size() % 3) * Jitter - Jitter;
    us.push_back(700.0 * (units - '0') + (mark ? 60 : -60) + wobble);
  }
  return Runs(us);
}

TEST_F(LearnerTest, ARunLengthRemoteIsLearnedOverTheUnitOfAllItsPackets) {
  const std::vector<std::pair<const char*, std::vector<std::string>>> remotes = {
      {"some frames read alone as run length",
       {"1212112211", "2121221122", "3443134241", "4141414141", "1122334411", "2211212121"}},
      {"all frames read alone as run width", {"1212112211", "2121221122", "2211212121"}},
  };
  for (const auto& [name, commands] : remotes) {
    SCOPED_TRACE(name);
    std::vector<std::vector<uint16_t>> packets;
    for (const std::string& command : commands)
      for (double jitter : {0.0, 25.0}) packets.push_back(RunLengthPacket(command, jitter));
    const TProtocolLearner::TResult learned = TProtocolLearner::Learn("Band", packets, Rate, 50);
    ASSERT_FALSE(learned.Xml.empty()) << learned.Problem;
    EXPECT_NE(learned.Xml.find("Run length"), std::string::npos) << learned.Xml;
    EXPECT_EQ(learned.Learned, packets.size());
    ASSERT_NO_FATAL_FAILURE(LoadLearned("Band", learned.Xml));
    std::set<std::string> values;
    for (const std::string& command : commands) {
      const TSample sample = Decoded(RunLengthPacket(command, 20));
      EXPECT_EQ(NameOf(sample), "Band") << command << "\n" << learned.Xml;
      values.insert(DataOf(sample));
    }
    EXPECT_EQ(values.size(), commands.size()) << learned.Xml;
    std::vector<uint16_t> foreign = RunLengthPacket(commands[0]);
    std::swap(foreign[2], foreign[3]);  // the fixed runs' second and third swapped
    EXPECT_NE(NameOf(Decoded(foreign)), "Band");
  }
}

TEST_F(LearnerTest, MixedCodingsUnreadablePacketsAndBlankNamesAreRefused) {
  std::vector<std::vector<uint16_t>> mixed = {Remotes[0].Packet(1), Remotes[1].Packet(1)};
  TProtocolLearner::TResult result = TProtocolLearner::Learn("X", mixed, Rate, 50);
  EXPECT_TRUE(result.Xml.empty());
  EXPECT_NE(result.Problem.find("different codings"), std::string::npos) << result.Problem;
  // Run-width frames and another remote's pulse-distance frames are not one remote either.
  mixed = {RunWidthPacket(0x0F0), RunWidthPacket(0x3C5), Remotes[0].Packet(1),
           Remotes[0].Packet(2)};
  result = TProtocolLearner::Learn("X", mixed, Rate, 50);
  EXPECT_TRUE(result.Xml.empty()) << result.Xml;
  EXPECT_NE(result.Problem.find("different codings"), std::string::npos) << result.Problem;
  result = TProtocolLearner::Learn("X", {{100, 30, 240}, {}}, Rate, 50);
  EXPECT_TRUE(result.Xml.empty());
  EXPECT_EQ(result.Unread, 2u);
  result = TProtocolLearner::Learn(" ", {Remotes[0].Packet(1)}, Rate, 50);
  EXPECT_TRUE(result.Xml.empty());
  EXPECT_FALSE(result.Problem.empty());
}

TEST_F(LearnerTest, TheUserLibraryStartsAsACopyIsWrittenAtomicallyAndRefusesAClash) {
  const std::string dir = Scratch();
  const std::string shipped = WriteFile(
      "<protocols>\n<!-- shipped -->\n<protocol name=\"NEC\"><packet><delimiter "
      "name=\"lead\">#9000_4500</delimiter></packet></protocol>\n</protocols>\n");
  const std::string user = dir + "/sub/protocols.xml";
  const TProtocolLearner::TResult learned =
      TProtocolLearner::Learn("Fan & <Co>", {Remotes[2].Packet(1), Remotes[2].Packet(2)}, Rate, 50);
  ASSERT_FALSE(learned.Xml.empty()) << learned.Problem;
  ASSERT_EQ(TUserLibrary::Add(user, shipped, "Fan & <Co>", learned.Xml), "");
  const std::string text = Read(user);
  EXPECT_NE(text.find("<!-- shipped -->"), std::string::npos);
  EXPECT_EQ(TUserLibrary::Names(text), (std::vector<std::string>{"NEC", "Fan & <Co>"}));
  // Only the library remains in the folder: the temporary file was renamed over it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/sub"), fs::directory_iterator()), 1);

  const std::vector<std::string> clashes = {"NEC", "Fan & <Co>"};
  for (const std::string& name : clashes) {
    const std::string problem = TUserLibrary::Add(user, shipped, name, learned.Xml);
    EXPECT_NE(problem.find("already there"), std::string::npos) << problem;
    EXPECT_NE(problem.find(user), std::string::npos) << problem;
  }
  EXPECT_EQ(Read(user), text);  // nothing changed
  const std::string broken = WriteFile("<protocols><protocol name=\"A\">");
  EXPECT_NE(TUserLibrary::Add(dir + "/new.xml", broken, "B", learned.Xml).find(broken),
            std::string::npos);
  EXPECT_NE(TUserLibrary::Add(user, shipped, "B", "<protocol name=").find("not well-formed"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/new.xml"));
}

}  // namespace
