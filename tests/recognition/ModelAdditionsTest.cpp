// The additions to the library's model, each against the same entry without it: bitsets whose
// symbols stand for 2 or 4 bits, alternative patterns ("a|b"), an entry's own tolerance, values
// a field excludes and a field that must be another's complement. Both passes read them.

#include "RecognitionFixture.h"

namespace {

constexpr double MicrosPerSample = 1e6 / 48000;

// Runs in samples from durations in microseconds (mark first), after a leading quiet run.
std::vector<uint16_t> Runs(const std::vector<double>& Micros) {
  std::vector<uint16_t> runs{100};
  for (double us : Micros) runs.push_back(static_cast<uint16_t>(us / MicrosPerSample + 0.5));
  return runs;
}

// RC-MM-like symbols: a 170 us mark and one of four spaces, 2 bits each; lead 420/280.
const std::string Quaternary =
    R"(<bitset bits="2"><bit value="0">#170_280</bit><bit value="1">#170_440</bit>)"
    R"(<bit value="2">#170_610</bit><bit value="3">#170_780</bit></bitset>)";
const std::string QuaternaryPacket =
    R"(<packet><delimiter name="lead">#420_280</delimiter>)"
    R"(<data name="a" length="8" bitorder="MSB"/><data name="b" length="4" bitorder="LSB"/>)"
    R"(<delimiter name="stop">#170</delimiter><delimiter name="end">_4000</delimiter></packet>)";

// Symbols 3,0,1,2 then 1,2: a = 0b11000110 (MSB), b = 1 + 2 * 4 (LSB).
std::vector<double> QuaternaryFrame(double Shift = 0) {
  const double spaces[] = {780, 280, 440, 610, 440, 610};
  std::vector<double> us{420 + Shift, 280 - Shift};
  for (double space : spaces) {
    us.push_back(170 + Shift);
    us.push_back(space - Shift);
  }
  us.push_back(170 + Shift);
  us.push_back(6000);
  return us;
}

std::string Protocol(const std::string& Attributes, const std::string& Bits,
                     const std::string& Packet) {
  return "<protocol name=\"P\"" + Attributes + ">" + Bits + Packet + "</protocol>";
}

struct TCase {
  const char* What;
  std::string Library;
  std::vector<double> Frame;
  std::string Name, Data;
  bool SecondPass = false;
};

class ModelAdditionsTest : public RecognitionFixture,
                           public ::testing::WithParamInterface<TCase> {};

TEST_P(ModelAdditionsTest, DecodesAsWritten) {
  Engine.SecondPass = GetParam().SecondPass;
  LoadLibrary(GetParam().Library);
  const TSample sample = Decoded(Runs(GetParam().Frame));
  EXPECT_EQ(NameOf(sample), GetParam().Name);
  EXPECT_EQ(DataOf(sample), GetParam().Data);
}

const std::string Binary =
    R"(<bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>)";
std::string AlternativePacket(const std::string& Lead) {
  return R"(<packet><delimiter name="lead">)" + Lead +
         R"(</delimiter><data name="a" length="2" bitorder="LSB"/><delimiter name="stop">#560</delimiter><delimiter name="end">_4000</delimiter></packet>)";
}
// Fields a (2 bits, LSB) and b, b written with Attributes.
std::string CheckedPacket(const std::string& Attributes) {
  return R"(<packet><delimiter name="lead">#3680_3680</delimiter>)"
         R"(<data name="a" length="2" bitorder="LSB"/><data name="b" length="2" bitorder="LSB")" +
         Attributes +
         R"(/><delimiter name="stop">#560</delimiter><delimiter name="end">_4000</delimiter></packet>)";
}
// a = 1, then b = B (LSB first), marks lengthened by Shift.
std::vector<double> CheckedFrame(int B, double Shift = 0) {
  std::vector<double> us{3680 + Shift, 3680 - Shift, 560 + Shift,
                         1690 - Shift, 560 + Shift,  560 - Shift};
  for (int bit = 0; bit < 2; ++bit) {
    us.push_back(560 + Shift);
    us.push_back(((B >> bit) & 1 ? 1690 : 560) - Shift);
  }
  us.push_back(560 + Shift);
  us.push_back(6000);
  return us;
}
const std::vector<double> LongLead{18400, 3680, 560, 1690, 560, 560, 560, 6000};
const std::vector<double> ShortLead{3680, 3680, 560, 1690, 560, 560, 560, 6000};
// A 4-bit symbol: 210 us mark, space 760 + 136 n. Symbols 10, 0, 15 MSB first: 0xA0F.
std::string Hexadecimal() {
  std::string bits = R"(<bitset bits="4">)";
  for (int n = 0; n < 16; ++n)
    bits +=
        "<bit value=\"" + std::to_string(n) + "\">#210_" + std::to_string(760 + 136 * n) + "</bit>";
  return bits + "</bitset>";
}
const std::string HexPacket =
    R"(<packet><data name="x" length="12" bitorder="MSB"/><delimiter name="stop">#210</delimiter><delimiter name="end">_4000</delimiter></packet>)";
const std::vector<double> HexFrame{210, 760 + 136 * 10, 210, 760, 210, 760 + 136 * 15, 210, 6000};

INSTANTIATE_TEST_SUITE_P(
    Additions, ModelAdditionsTest,
    ::testing::Values(
        TCase{"two-bit symbols", Protocol("", Quaternary, QuaternaryPacket), QuaternaryFrame(), "P",
              "a=198; b=9; "},
        TCase{"a symbol shared by two fields",
              Protocol("", Quaternary,
                       R"(<packet><delimiter name="lead">#420_280</delimiter>)"
                       R"(<data name="t" length="1" bitorder="MSB"/>)"
                       R"(<data name="x" length="7" bitorder="MSB"/>)"
                       R"(<data name="b" length="4" bitorder="LSB"/>)"
                       R"(<delimiter name="stop">#170</delimiter>)"
                       R"(<delimiter name="end">_4000</delimiter></packet>)"),
              QuaternaryFrame(), "P", "t=1; x=70; b=9; "},
        TCase{
            "a 2-bit bitset lacking a symbol reads nothing",
            Protocol(
                "",
                R"(<bitset bits="2"><bit value="0">#170_280</bit><bit value="1">#170_440</bit><bit value="3">#170_780</bit></bitset>)",
                QuaternaryPacket),
            QuaternaryFrame(), "unknown", ""},
        TCase{"four-bit symbols", Protocol("", Hexadecimal(), HexPacket), HexFrame, "P",
              "x=2575; "},
        TCase{"first alternative",
              Protocol("", Binary, AlternativePacket("#18400_3680|#3680_3680")), LongLead, "P",
              "a=1; "},
        TCase{"second alternative",
              Protocol("", Binary, AlternativePacket("#18400_3680|#3680_3680")), ShortLead, "P",
              "a=1; "},
        TCase{"without the alternative", Protocol("", Binary, AlternativePacket("#18400_3680")),
              ShortLead, "unknown", ""},
        // Marks 80 us long and spaces 80 us short: outside +-50, inside the entry's +-90 ...
        TCase{"the entry's tolerance", Protocol(" tolerance=\"90\"", Quaternary, QuaternaryPacket),
              QuaternaryFrame(80), "P", "a=198; b=9; "},
        // ... or its 20 % (of 170 and 280 us: 34 and 56 us, plus 50 us).
        TCase{"the entry's relative tolerance",
              Protocol(" tolerance=\"50\" relative-tolerance=\"20\"", Quaternary, QuaternaryPacket),
              QuaternaryFrame(80), "P", "a=198; b=9; "},
        TCase{"without the entry's tolerance", Protocol("", Quaternary, QuaternaryPacket),
              QuaternaryFrame(80), "unknown", ""},
        TCase{"a value not excluded", Protocol("", Binary, CheckedPacket(" exclude=\"0, 1\"")),
              CheckedFrame(3), "P", "a=1; b=3; "},
        TCase{"an excluded value", Protocol("", Binary, CheckedPacket(" exclude=\"0x3 1\"")),
              CheckedFrame(3), "unknown", ""},
        TCase{"the complement", Protocol("", Binary, CheckedPacket(" complement-of=\"a\"")),
              CheckedFrame(2), "P", "a=1; b=2; "},
        TCase{"not the complement", Protocol("", Binary, CheckedPacket(" complement-of=\"a\"")),
              CheckedFrame(1), "unknown", ""},
        TCase{"the complement of no earlier field",
              Protocol("", Binary, CheckedPacket(" complement-of=\"b\"")), CheckedFrame(2),
              "unknown", ""},
        // The second pass walks the same symbols, alternatives and checks.
        TCase{"an excluded value, second pass",
              Protocol("", Binary, CheckedPacket(" exclude=\"3\"")), CheckedFrame(3, 80), "unknown",
              "", true},
        TCase{"not the complement, second pass",
              Protocol("", Binary, CheckedPacket(" complement-of=\"a\"")), CheckedFrame(1, 80),
              "unknown", "", true},
        TCase{"the complement, second pass",
              Protocol("", Binary, CheckedPacket(" complement-of=\"a\"")), CheckedFrame(2, 80), "P",
              "a=1; b=2; ", true},
        TCase{"two-bit symbols, second pass", Protocol("", Quaternary, QuaternaryPacket),
              QuaternaryFrame(80), "P", "a=198; b=9; ", true},
        TCase{"second alternative, second pass",
              Protocol("", Binary, AlternativePacket("#18400_3680|#3680_3680")),
              {3750, 3610, 630, 1620, 630, 490, 630, 6000},
              "P",
              "a=1; ",
              true}),
    [](const ::testing::TestParamInfo<TCase>& Info) {
      std::string name = Info.param.What;
      for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
