// The tolerant second pass on small libraries (what it reads, what it refuses, that an exact
// decode stays), and the bounds of decoding against hostile libraries.

#include <sys/resource.h>

#include <chrono>
#include <cmath>

#include "RecognitionFixture.h"

namespace {

const std::string NecTiming =
    R"(<bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>)";
// Pioneer's timing is NEC's x 0.947: only the carrier tells them apart.
const std::string SlowTiming =
    R"(<bitset><bit value="1">#530_1600</bit><bit value="0">#530_530</bit></bitset>)";
const std::string NecPacket =
    R"(<delimiter name="lead">#9000_4500</delimiter><data name="address" length="8" bitorder="LSB"/>)"
    R"(<data name="command" length="8" bitorder="LSB"/><delimiter name="stop">#560</delimiter>)"
    R"(<delimiter name="end">_4000</delimiter>)";
const std::string SlowPacket =
    R"(<delimiter name="lead">#8520_4260</delimiter><data name="address" length="8" bitorder="LSB"/>)"
    R"(<data name="command" length="8" bitorder="LSB"/><delimiter name="stop">#530</delimiter>)"
    R"(<delimiter name="end">_4000</delimiter>)";

std::string Protocol(const std::string& Name, const std::string& Bits, const std::string& Packet) {
  return "<protocol name=\"" + Name + "\">" + Bits + "<packet>" + Packet + "</packet></protocol>";
}

// A NEC frame of address 0x5A and command 0xC3 at 48 kHz as a receiver delivers it: every
// duration x Scale, marks + ShiftUs and spaces - ShiftUs; DropoutAt > 0 breaks that mark (by
// index among the marks) with a one-sample dip.
std::vector<uint16_t> NecFrame(double Scale, double ShiftUs, int DropoutAt = 0) {
  std::vector<double> us{9000, 4500};
  for (uint32_t bits = 0xC35A, i = 0; i < 16; ++i, bits >>= 1) {
    us.push_back(560);
    us.push_back(bits & 1 ? 1690 : 560);
  }
  us.push_back(560);
  std::vector<uint16_t> runs{40};
  for (size_t i = 0; i < us.size(); ++i) {
    const double length = us[i] * Scale + (i % 2 == 0 ? ShiftUs : -ShiftUs);
    runs.push_back(static_cast<uint16_t>(std::lround(length * 0.048)));
  }
  runs.push_back(240);
  if (DropoutAt > 0) {
    const size_t mark = 1 + 2 * static_cast<size_t>(DropoutAt);
    const uint16_t before = static_cast<uint16_t>(runs[mark] / 2);
    runs[mark] = static_cast<uint16_t>(runs[mark] - before - 1);
    runs.insert(runs.begin() + static_cast<long>(mark), {before, 1});
  }
  return runs;
}

struct TCase {
  const char* What;
  double Scale, ShiftUs;
  int DropoutAt;
  const char* Name;  // what the packet decodes as; "" for unknown
  TProtocol::TMatch Match;
};

class SecondPassTest : public RecognitionFixture {};

TEST_F(SecondPassTest, FitsShiftAndClockWithinPlausibleBounds) {
  LoadLibrary(Protocol("nec", NecTiming, NecPacket));
  using enum TProtocol::TMatch;
  const TCase cases[] = {
      {"as written", 1, 0, 0, "nec", Exact},
      {"receiver stretches marks", 1, 90, 0, "nec", Likely},
      {"slow clock and stretched marks", 0.95, 60, 0, "nec", Likely},
      {"fast clock and shortened marks", 1.02, -30, 0, "nec", Likely},
      {"dropout inside a mark", 1, 90, 5, "nec", Likely},
      {"implausibly slow clock", 0.85, 0, 0, "", Exact},
      {"implausible shift", 1, 200, 0, "", Exact},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.What);
    const TSample sample = Decoded(NecFrame(test.Scale, test.ShiftUs, test.DropoutAt));
    EXPECT_EQ(NameOf(sample), *test.Name ? test.Name : "unknown");
    EXPECT_EQ(sample.Protocol->Match, test.Match);
    if (!*test.Name) {
      EXPECT_TRUE(sample.BitMarks().empty() && sample.FieldMarks().empty());
      continue;
    }
    EXPECT_EQ(DataOf(sample), "address=90; command=195; ");
    EXPECT_EQ(sample.BitMarks().size(), 1u + 1 + 16 + 2);
    EXPECT_EQ(sample.FieldMarks().back().Text, "end");
    EXPECT_EQ(sample.Protocol->MatchNote.empty(), test.Match == Exact);
  }
}

TEST_F(SecondPassTest, NoteSaysWhatMadeItFit) {
  LoadLibrary(Protocol("nec", NecTiming, NecPacket));
  const TSample sample = Decoded(NecFrame(0.975, 80));
  ASSERT_EQ(sample.Protocol->Match, TProtocol::TMatch::Likely);
  const std::string& note = sample.Protocol->MatchNote;
  EXPECT_EQ(note.find("likely: marks +"), 0u) << note;
  EXPECT_NE(note.find("clock 97."), std::string::npos) << note;
  EXPECT_NE(note.find("within ±75 µs + 1 %"), std::string::npos) << note;
  const int shift = std::stoi(note.substr(std::string("likely: marks +").size()));
  EXPECT_NEAR(shift, 80, 12) << note;
}

TEST_F(SecondPassTest, OffGivesTheExactResult) {
  LoadLibrary(Protocol("nec", NecTiming, NecPacket));
  Engine.SecondPass = false;
  const TSample sample = Decoded(NecFrame(1, 90));
  EXPECT_EQ(NameOf(sample), "unknown");
  EXPECT_TRUE(sample.BitMarks().empty());
}

// "slow" comes first and would fit with a clock of 105.6 %, but "nec" fits exactly.
TEST_F(SecondPassTest, AnExactDecodeIsNeverReplaced) {
  LoadLibrary(Protocol("slow", SlowTiming, SlowPacket) + Protocol("nec", NecTiming, NecPacket));
  const TSample sample = Decoded(NecFrame(1, 0));
  EXPECT_EQ(NameOf(sample), "nec");
  EXPECT_EQ(sample.Protocol->Match, TProtocol::TMatch::Exact);
  EXPECT_EQ(sample.Protocol->MatchNote, "");
}

// A slow NEC remote sends what a Pioneer-like remote sends: no likely name then. Where only one
// reading has a plausible clock, that one is chosen whatever the file order.
TEST_F(SecondPassTest, DefinitionsThatFitAboutAsWellMakeNoLikelyMatch) {
  for (const bool slowFirst : {true, false}) {
    const std::string nec = Protocol("nec", NecTiming, NecPacket);
    const std::string slow = Protocol("slow", SlowTiming, SlowPacket);
    LoadLibrary(slowFirst ? slow + nec : nec + slow);
    EXPECT_EQ(NameOf(Decoded(NecFrame(0.96, 80))), "unknown");
    EXPECT_EQ(NameOf(Decoded(NecFrame(1.0, 80))), "nec");
    EXPECT_EQ(NameOf(Decoded(NecFrame(0.9, 80))), "slow") << "nec's clock would be 90 %";
  }
}

// The packet is the start of a longer frame of another timing as much as a whole short frame.
TEST_F(SecondPassTest, StartOfALongerFrameMakesNoLikelyMatch) {
  const std::string longer = R"(<data name="more" length="8" bitorder="LSB"/>)";
  LoadLibrary(Protocol("nec", NecTiming, NecPacket));
  ASSERT_EQ(NameOf(Decoded(NecFrame(0.947, 80))), "nec");
  const std::string slowLonger =
      SlowPacket.substr(0, SlowPacket.find("<delimiter name=\"stop\"")) + longer +
      R"(<delimiter name="stop">#530</delimiter><delimiter name="end">_4000</delimiter>)";
  LoadLibrary(Protocol("nec", NecTiming, NecPacket) + Protocol("slow", SlowTiming, slowLonger));
  EXPECT_EQ(NameOf(Decoded(NecFrame(0.947, 80))), "unknown");
}

TEST_F(SecondPassTest, SeparatorSetAfterLoadingReadsTheLibraryAgain) {
  LoadLibrary(Protocol("nec", NecTiming,
                       R"(<delimiter name="lead">#9000,0_4500,0</delimiter>)"
                       R"(<data name="address" length="8" bitorder="LSB"/>)"));
  Engine.SecondPass = false;
  EXPECT_EQ(NameOf(Decoded(NecFrame(1, 0))), "unknown");
  Engine.SetDecimalSeparator(",");
  EXPECT_EQ(NameOf(Decoded(NecFrame(1, 0))), "nec");
}

// A pattern shorter than one sample would add a mark per bit without reading the signal.
TEST_F(SecondPassTest, TimingShorterThanASampleNeverMatches) {
  LoadLibrary(Protocol("tiny", NecTiming,
                       R"(<delimiter name="lead">#9000_4500</delimiter>)"
                       R"(<delimiter name="tiny">#0.001</delimiter>)"));
  EXPECT_EQ(NameOf(Decoded(NecFrame(1, 0))), "unknown");
  LoadLibrary(Protocol("tiny", NecTiming,
                       R"(<delimiter name="lead">#9000_4500</delimiter>)"
                       R"(<delimiter name="tiny">#20</delimiter>)"));
  EXPECT_EQ(NameOf(Decoded(NecFrame(1, 0))), "tiny") << "20 us is about one sample";
}

size_t PeakResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<size_t>(usage.ru_maxrss);
}

// Libraries built to make decoding slow or hungry: bit patterns shorter than a sample in 255-bit
// fields, thousands of junk <bit> elements, definitions that need a million timing matches. Each
// packet stays under 50 ms (more under the sanitizers) and 64 MB, and the file is reported.
TEST_F(SecondPassTest, HostileLibrariesCostLittlePerPacket) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
  constexpr double SlowerUnderSanitizers = 10;
#else
  constexpr double SlowerUnderSanitizers = 1;
#endif
  constexpr double MaxMillisecondsPerPacket = 50 * SlowerUnderSanitizers;
  constexpr size_t MaxGrowthKilobytes = 64 * 1024;
  const std::string wide =
      R"(<data name="w" length="255" bitorder="LSB"/><data name="v" length="255" bitorder="LSB"/>)";
  std::string tiny, junk, heavy;
  for (int i = 0; i < 2000; ++i) {
    tiny += Protocol("tiny",
                     R"(<bitset><bit value="1">#0.001</bit><bit value="0">#0.001</bit></bitset>)",
                     wide + wide);
  }
  std::string junkBits = "<bitset>";
  for (int i = 0; i < 5000; ++i) junkBits += "<bit value=\"" + std::to_string(i + 2) + "\">x</bit>";
  junkBits += R"(<bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>)";
  for (int i = 0; i < 20; ++i) junk += Protocol("junk", junkBits, std::string(NecPacket) + wide);
  for (int i = 0; i < 3000; ++i) {
    heavy += Protocol("heavy",
                      R"(<bitset><bit value="1">#20</bit><bit value="0">_20</bit></bitset>)", wide);
  }
  // A packet of 6000 one-sample runs lets every bit of "heavy" match.
  std::vector<uint16_t> flicker(6001, 1);
  for (const std::string* library : {&tiny, &junk, &heavy}) {
    Reports.clear();
    const std::string file = WriteFile("<protocols>" + *library + "</protocols>");
    Engine.LoadProtocols(file);
    const size_t before = PeakResidentKilobytes();
    for (const auto& runs : {NecFrame(1, 0), NecFrame(1, 90, 3), flicker}) {
      const auto start = std::chrono::steady_clock::now();
      const TSample sample = Decoded(runs);
      const std::chrono::duration<double, std::milli> took =
          std::chrono::steady_clock::now() - start;
      EXPECT_LT(took.count(), MaxMillisecondsPerPacket) << library->size() << " bytes";
      size_t samples = 0;
      for (uint16_t run : runs) samples += run;
      EXPECT_LE(sample.BitMarks().size(), samples + 1);
    }
    EXPECT_LT(PeakResidentKilobytes() - before, MaxGrowthKilobytes);
  }
  ASSERT_EQ(Reports.size(), 1u) << "the heavy library is reported";
  EXPECT_NE(Reports[0].find(Files.back().string()), std::string::npos) << Reports[0];
  EXPECT_NE(Reports[0].find("timing matches"), std::string::npos) << Reports[0];
}

}  // namespace
