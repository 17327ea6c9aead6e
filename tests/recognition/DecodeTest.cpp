// Decode: walking definitions along a packet's runs, fields, marks and the choice of protocol.

#include <random>

#include "RecognitionFixture.h"

namespace {

// NEC-like timing at 48 kHz: lead-in 9000/4500 us, bits 560+1690 / 560+560 us, stop mark.
constexpr uint16_t LeadRun = 100, LeadMark = 432, LeadSpace = 216, BitMark = 27, OneSpace = 81,
                   ZeroSpace = 27, Gap = 300;
const std::string NecBits =
    R"(<bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>)";
const std::string Lead = R"(<delimiter name="lead">#9000_4500</delimiter>)";
const std::string Stop = R"(<delimiter name="stop">#560</delimiter>)";

std::string Protocol(const std::string& Name, const std::string& Packet,
                     const std::string& Bits = NecBits) {
  return "<protocol name=\"" + Name + "\">" + Bits + "<packet>" + Packet + "</packet></protocol>";
}

std::string Data(const std::string& Name, const std::string& Length,
                 const std::string& BitOrder = "LSB") {
  return "<data name=\"" + Name + "\" length=\"" + Length + "\" bitorder=\"" + BitOrder + "\"/>";
}

// Runs of a NEC-like frame carrying Bits (first in time first), a stop mark and the gap.
std::vector<uint16_t> NecRuns(const std::vector<int>& Bits) {
  std::vector<uint16_t> runs{LeadRun, LeadMark, LeadSpace};
  for (int bit : Bits) {
    runs.push_back(BitMark);
    runs.push_back(bit ? OneSpace : ZeroSpace);
  }
  runs.push_back(BitMark);
  runs.push_back(Gap);
  return runs;
}

using TMarks = std::vector<TSampleMark>;

class DecodeTest : public RecognitionFixture {};

TEST_F(DecodeTest, NecLikeFrameGivesFieldsAndMarks) {
  LoadLibrary(Protocol("NEC", Lead + Data("a", "4") + Stop));
  const TSample sample = Decoded(NecRuns({1, 0, 0, 1}));
  EXPECT_EQ(NameOf(sample), "NEC");
  EXPECT_EQ(DataOf(sample), "a=9; ");
  EXPECT_EQ(sample.BitMarks(), (TMarks{{100, ""},
                                       {748, ""},
                                       {856, "bit0"},
                                       {910, "bit1"},
                                       {964, "bit2"},
                                       {1072, "bit3"},
                                       {1099, ""}}));
  EXPECT_EQ(sample.FieldMarks(), (TMarks{{100, ""}, {748, "lead"}, {1072, "a"}, {1099, "stop"}}));
}

// RC5-like bi-phase: 1 = low then high, 0 = high then low, 889 us halves (42.672 samples); two
// halves of one level merge into one run of 85 samples that two bits share.
TEST_F(DecodeTest, BiPhaseFrameSharesRunsBetweenBits) {
  const std::string bits =
      R"(<bitset><bit value="1">_889#889</bit><bit value="0">#889_889</bit></bitset>)";
  LoadLibrary(Protocol(
      "RC5", R"(<delimiter name="start">#889</delimiter>)" + Data("command", "4", "MSB"), bits));
  // start, then bits 1 0 0 1: H | L H | H L | H L | L H | trailing low
  const TSample sample = Decoded({50, 43, 43, 85, 43, 43, 85, 43, 300});
  EXPECT_EQ(NameOf(sample), "RC5");
  EXPECT_EQ(DataOf(sample), "command=9; ");
  EXPECT_EQ(
      sample.BitMarks(),
      (TMarks{{50, ""}, {93, ""}, {179, "bit3"}, {264, "bit2"}, {350, "bit1"}, {435, "bit0"}}));
  EXPECT_EQ(sample.FieldMarks(), (TMarks{{50, ""}, {93, "start"}, {435, "command"}}));
}

struct TBitOrderCase {
  const char* BitOrder;
  const char* Data;
  std::vector<const char*> BitTexts;
};

TEST_F(DecodeTest, OnlyExactLsbReadsTheFirstBitAsBitZero) {
  const TBitOrderCase cases[] = {
      {"LSB", "a=1; ", {"bit0", "bit1", "bit2", "bit3"}},
      {"lsb", "a=8; ", {"bit3", "bit2", "bit1", "bit0"}},
      {"MSB", "a=8; ", {"bit3", "bit2", "bit1", "bit0"}},
      {" LSB", "a=8; ", {"bit3", "bit2", "bit1", "bit0"}},
      {"", "a=8; ", {"bit3", "bit2", "bit1", "bit0"}},
  };
  for (const auto& test : cases) {
    Engine.LoadProtocols(WriteFile(
        "<protocols>" + Protocol("P", Lead + Data("a", "4", test.BitOrder)) + "</protocols>"));
    const TSample sample = Decoded(NecRuns({1, 0, 0, 0}));
    EXPECT_EQ(DataOf(sample), test.Data) << "bitorder \"" << test.BitOrder << "\"";
    ASSERT_EQ(sample.BitMarks().size(), 6u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(sample.BitMarks()[i + 2].Text, test.BitTexts[i]);
  }
}

struct TLengthCase {
  const char* Length;
  size_t Bits;
};

// The length is taken modulo 256; the stop delimiter then has to meet the next runs.
TEST_F(DecodeTest, LengthIsTakenModulo256) {
  const TLengthCase cases[] = {{"0", 0},   {"256", 0},        {"264", 8},       {" 8 ", 8},
                               {"008", 8}, {"1000000000", 0}, {"4294967304", 8}};
  for (const auto& test : cases) {
    Engine.LoadProtocols(WriteFile(
        "<protocols>" + Protocol("P", Lead + Data("a", test.Length) + Stop) + "</protocols>"));
    const TSample sample = Decoded(NecRuns(std::vector<int>(test.Bits, 1)));
    EXPECT_EQ(NameOf(sample), "P") << "length \"" << test.Length << "\"";
    EXPECT_EQ(DataOf(sample), test.Bits == 0 ? "a=0; " : "a=255; ");
    EXPECT_EQ(sample.BitMarks().size(), 3 + test.Bits);
    if (test.Bits == 0) {
      EXPECT_EQ(sample.FieldMarks()[2], (TSampleMark{748, "a"}));
    }
  }
}

// Fields decode whole up to 64 bits; the bits of a longer field past the 64th are not kept.
TEST_F(DecodeTest, LongFieldsDecodeWholeUpTo64Bits) {
  LoadLibrary(Protocol("ones", Lead + Data("a", "20")));
  EXPECT_EQ(DataOf(Decoded(NecRuns(std::vector<int>(20, 1)))), "a=1048575; ");
  LoadLibrary(Protocol("msb", Lead + Data("a", "20", "MSB")));
  std::vector<int> highFour(20, 0);
  std::fill(highFour.begin(), highFour.begin() + 4, 1);
  EXPECT_EQ(DataOf(Decoded(NecRuns(highFour))), "a=983040; ") << "bits 19..16";
  LoadLibrary(Protocol("bit32", Lead + Data("a", "33", "LSB")));
  std::vector<int> high(33, 0);
  high[32] = 1;
  EXPECT_EQ(DataOf(Decoded(NecRuns(high))), "a=4294967296; ") << "bit 32 stays bit 32";
  LoadLibrary(Protocol("bit64", Lead + Data("a", "66", "LSB")));
  std::vector<int> beyond(66, 0);
  beyond[63] = beyond[64] = beyond[65] = 1;
  EXPECT_EQ(DataOf(Decoded(NecRuns(beyond))), "a=9223372036854775808; ") << "bits 64, 65 dropped";
}

TEST_F(DecodeTest, FirstMatchingDefinitionWins) {
  LoadLibrary(Protocol("short", Lead + Data("a", "4")) + Protocol("long", Lead + Data("b", "8")));
  const TSample sample = Decoded(NecRuns({1, 1, 0, 0, 1, 1, 0, 0}));
  EXPECT_EQ(NameOf(sample), "short");
  EXPECT_EQ(DataOf(sample), "a=3; ");
}

TEST_F(DecodeTest, FailureInAFieldLeavesNoTrace) {
  const std::string failing = Protocol("A", Lead + Data("a", "4") + Data("b", "4") + Stop);
  const std::string fitting = Protocol("B", Lead + Data("a", "4") + Data("c", "2") + Stop);
  const std::vector<uint16_t> runs = NecRuns({1, 0, 0, 0, 1, 1});

  LoadLibrary(failing + fitting);
  const TSample sample = Decoded(runs);
  EXPECT_EQ(NameOf(sample), "B");
  EXPECT_EQ(DataOf(sample), "a=1; c=3; ");
  EXPECT_EQ(sample.FieldMarks(),
            (TMarks{{100, ""}, {748, "lead"}, {1018, "a"}, {1234, "c"}, {1261, "stop"}}));
  EXPECT_EQ(sample.BitMarks().size(), 2 + 4 + 2 + 1u);

  LoadLibrary(failing);
  const TSample unknown = Decoded(runs);
  EXPECT_EQ(NameOf(unknown), "unknown");
  EXPECT_EQ(DataOf(unknown), "");
  EXPECT_TRUE(unknown.BitMarks().empty());
  EXPECT_TRUE(unknown.FieldMarks().empty());
}

TEST_F(DecodeTest, TooFewRunsFailOnRoom) {
  LoadLibrary(Protocol("NEC32", Lead + Data("a", "32") + Stop) +
              Protocol("NEC8", Lead + Data("a", "8") + Stop));
  EXPECT_EQ(NameOf(Decoded(NecRuns({1, 0, 1, 0, 1, 0, 1, 0}))), "NEC8");
  EXPECT_EQ(NameOf(Decoded({100, 432, 216, 27})), "unknown");
  EXPECT_EQ(NameOf(Decoded({100})), "unknown");
}

TEST_F(DecodeTest, FrameFollowedByRepeatDecodesAsTheFrame) {
  LoadLibrary(Protocol("NEC", Lead + Data("address", "8") + Data("command", "8") + Stop));
  std::vector<uint16_t> runs = NecRuns({1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0});
  runs.back() = 1900;
  runs.insert(runs.end(), {432, 108, 27, 300});  // repeat: 9000/2250 us and a mark
  const TSample sample = Decoded(runs);
  EXPECT_EQ(NameOf(sample), "NEC");
  EXPECT_EQ(DataOf(sample), "address=5; command=2; ");
}

TEST_F(DecodeTest, DefinitionsWithoutNameAreNeverTried) {
  LoadLibrary("<protocol><packet/></protocol>" + Protocol("named", Lead));
  EXPECT_EQ(NameOf(Decoded(NecRuns({1}))), "named");
}

TEST_F(DecodeTest, DefinitionWithoutItemsMatchesAnyPacket) {
  LoadLibrary(R"(<protocol name="any"><description>x</description></protocol>)");
  const TSample sample = Decoded({7, 3, 9});
  EXPECT_EQ(NameOf(sample), "any");
  EXPECT_EQ(DataOf(sample), "");
  EXPECT_EQ(sample.BitMarks(), (TMarks{{7, ""}}));
  EXPECT_EQ(sample.FieldMarks(), (TMarks{{7, ""}}));
  EXPECT_EQ(NameOf(Decoded({})), "unknown") << "no runs at all";
  const TSample lowOnly = Decoded({100});
  EXPECT_EQ(NameOf(lowOnly), "any") << "only the leading low run";
  EXPECT_EQ(lowOnly.BitMarks(), (TMarks{{100, ""}}));
  EXPECT_EQ(lowOnly.FieldMarks(), (TMarks{{100, ""}}));
}

// The leading low run is never matched: a definition that starts low fails the level test there,
// and a field that comes first can only match through a bit pattern that starts high.
TEST_F(DecodeTest, MatchingStartsAtTheFirstHighRun) {
  LoadLibrary(
      Protocol("low", R"(<delimiter name="gap">_2000#560</delimiter>)") +
      Protocol("data", Data("a", "2"),
               R"(<bitset><bit value="1">_560#560</bit><bit value="0">#560_560</bit></bitset>)"));
  const TSample sample = Decoded({96, 27, 27, 27, 27, 300});
  EXPECT_EQ(NameOf(sample), "data");
  EXPECT_EQ(DataOf(sample), "a=0; ");
  EXPECT_EQ(sample.BitMarks(), (TMarks{{96, ""}, {150, "bit0"}, {204, "bit1"}}));
  EXPECT_EQ(NameOf(Decoded({96})), "unknown");
}

TEST_F(DecodeTest, EmptyLibraryDecodesEverythingAsUnknown) {
  TSample sample = Decoded(NecRuns({1}));
  EXPECT_EQ(NameOf(sample), "unknown");
  LoadLibrary("");
  sample.AddMark(TSample::BitRow, 5, "old");
  Engine.Decode(sample);
  EXPECT_EQ(NameOf(sample), "unknown");
  EXPECT_TRUE(sample.BitMarks().empty());
}

TEST_F(DecodeTest, EarlierResultIsReplaced) {
  LoadLibrary(Protocol("NEC", Lead + Data("a", "4")));
  TSample sample = Decoded(NecRuns({0, 1, 0, 0}));
  Engine.Decode(sample);
  EXPECT_EQ(DataOf(sample), "a=2; ");
  EXPECT_EQ(sample.BitMarks().size(), 6u);
  EXPECT_EQ(sample.FieldMarks().size(), 3u);
}

// Items are taken in document order across all packet elements; data without length is not one.
TEST_F(DecodeTest, ItemsFollowDocumentOrderAcrossPackets) {
  LoadLibrary(R"(<protocol name="split">)" + NecBits + "<packet>" + Lead + Data("a", "2") +
              R"(<data name="ignored" bitorder="LSB"/></packet><packet>)" + Data("b", "2") + Stop +
              "</packet></protocol>");
  const TSample sample = Decoded(NecRuns({1, 0, 0, 1}));
  EXPECT_EQ(NameOf(sample), "split");
  EXPECT_EQ(DataOf(sample), "a=1; b=2; ");
}

TEST_F(DecodeTest, BitValuesCompareAsNumbersAndOneIsTriedFirst) {
  LoadLibrary(Protocol("numeric", Lead + Data("a", "2"),
                       R"(<bitset><bit value=" 01 ">#560_1690</bit><bit value="0.0">#560_560</bit>)"
                       R"(<bit value="1">#1_1</bit></bitset>)"));
  EXPECT_EQ(DataOf(Decoded(NecRuns({1, 0}))), "a=1; ");
  EXPECT_EQ(NameOf(Decoded(NecRuns({0, 0}))), "numeric");
  LoadLibrary(
      Protocol("same", Lead + Data("a", "2"),
               R"(<bitset><bit value="0">#560_560</bit><bit value="1">#560_560</bit></bitset>)"));
  EXPECT_EQ(DataOf(Decoded(NecRuns({0, 0}))), "a=3; ") << "both fit: the bit is 1";
}

// Definitions that cannot be followed fail to match; the next one is still tried.
TEST_F(DecodeTest, IncompleteDefinitionsFailAndOthersGoOn) {
  const std::string cases[] = {
      Protocol("bad", R"(<delimiter name="d"></delimiter>)"),
      Protocol("bad", R"(<delimiter name="d"> #_ </delimiter>)"),
      Protocol("bad", R"(<delimiter name="d">#9000_abc</delimiter>)"),
      Protocol("bad", R"(<delimiter>#9000_4500</delimiter>)"),
      Protocol("bad", Lead + Data("a", "x")),
      Protocol("bad", Lead + Data("a", "")),
      Protocol("bad", Lead + Data("a", "-8")),
      Protocol("bad", Lead + R"(<data length="4" bitorder="LSB"/>)"),
      Protocol("bad", Lead + R"(<data name="a" length="4"/>)"),
      Protocol("bad", Lead + Data("a", "4"), ""),
      Protocol("bad", Lead + Data("a", "0"), R"(<bitset><bit value="1">#560_1690</bit></bitset>)"),
      Protocol(
          "bad", Lead + Data("a", "4"),
          "<bitset><bit value=\"1\">#560_1690</bit><bit value=\"0\">#560\t_560</bit></bitset>"),
  };
  for (const auto& broken : cases) {
    Engine.LoadProtocols(
        WriteFile("<protocols>" + broken + Protocol("fallback", "") + "</protocols>"));
    const TSample sample = Decoded(NecRuns({1, 0, 0, 0}));
    EXPECT_EQ(NameOf(sample), "fallback") << broken;
    EXPECT_EQ(DataOf(sample), "") << broken;
  }
}

// Random packets, edge lengths included, against definitions that take fronts of runs, carry
// remainders and consume nothing ("#0"): every result is a name of the library or "unknown",
// marks come in pairs of rows that start together, and (under the address sanitizer) no read
// strays outside the runs.
TEST_F(DecodeTest, RandomPacketsStayInsideTheirRuns) {
  const std::string biPhase =
      R"(<bitset><bit value="1">_889#889</bit><bit value="0">#889_889</bit></bitset>)";
  LoadLibrary(
      Protocol("nec", Lead + Data("a", "8") + Stop) +
      Protocol("rc5", R"(<delimiter name="s">#889</delimiter>)" + Data("c", "12"), biPhase) +
      Protocol("zero", Data("z", "255", "MSB"),
               R"(<bitset><bit value="1">#0</bit><bit value="0">#0</bit></bitset>)") +
      Protocol("long", R"(<delimiter name="l">#20_20_20_20_20_20_20_20</delimiter>)"));
  std::mt19937 random(12345);
  const uint16_t edges[] = {0, 1, 2, 27, 42, 43, 85, 432, 65534, 65535};
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint16_t> runs(random() % 40);
    for (uint16_t& run : runs) {
      run = random() % 3 == 0 ? edges[random() % std::size(edges)]
                              : static_cast<uint16_t>(random() % 100);
    }
    const TSample sample = Decoded(runs);
    const std::string name = NameOf(sample);
    ASSERT_TRUE(name == "nec" || name == "rc5" || name == "zero" || name == "long" ||
                name == "unknown")
        << name;
    if (name == "unknown") {
      EXPECT_TRUE(sample.BitMarks().empty() && sample.FieldMarks().empty());
      continue;
    }
    ASSERT_FALSE(sample.BitMarks().empty());
    EXPECT_EQ(sample.BitMarks().front(), (TSampleMark{runs[0], ""}));
    EXPECT_EQ(sample.FieldMarks().front(), (TSampleMark{runs[0], ""}));
  }
}

}  // namespace
