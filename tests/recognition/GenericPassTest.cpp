// The generic pass: each coding is recognised and read, the value depends on the bits only (a
// remote's clock, a receiver's edge shift), noise and short packets stay unknown, and the pass
// runs only for packets the library leaves unknown.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "RecognitionFixture.h"
#include "TGenericPass.h"

namespace {

// A frame in microseconds, mark first; Runs() renders it as a packet at 48 kHz with a clock
// Scale and every mark longer (every space shorter) by Shift.
struct TFrame {
  std::vector<double> Micros;
  std::vector<uint16_t> Runs(double Scale = 1, double Shift = 0) const {
    std::vector<uint16_t> runs = {100};
    for (size_t i = 0; i < Micros.size(); ++i) {
      const double us = Micros[i] * Scale + (i % 2 ? -Shift : Shift);
      runs.push_back(static_cast<uint16_t>(std::lround(us * 0.048)));
    }
    runs.push_back(240);  // the closing silence
    return runs;
  }
};

// Bits LSB first in each byte of Hex.
std::vector<bool> BitsOf(const std::string& Hex, size_t Count) {
  std::vector<bool> bits;
  for (size_t i = 0; i < Count; ++i) {
    const int byte = std::stoi(Hex.substr(i / 8 * 2, 2), nullptr, 16);
    bits.push_back((byte >> (i % 8)) & 1);
  }
  return bits;
}

TFrame PulseDistance(const std::string& Hex, size_t Count) {
  TFrame f{{9000, 4500}};
  for (bool bit : BitsOf(Hex, Count)) f.Micros.insert(f.Micros.end(), {560, bit ? 1690.0 : 560});
  f.Micros.push_back(560);
  return f;
}
TFrame PulseWidth(const std::string& Hex, size_t Count) {
  TFrame f{{2400, 600}};
  for (bool bit : BitsOf(Hex, Count)) f.Micros.insert(f.Micros.end(), {bit ? 1200.0 : 600, 600});
  f.Micros.pop_back();
  return f;
}
TFrame DistanceWidth(const std::string& Hex, size_t Count) {
  TFrame f;
  for (bool bit : BitsOf(Hex, Count))
    f.Micros.insert(f.Micros.end(), {bit ? 1250.0 : 420, bit ? 420.0 : 1250});
  f.Micros.pop_back();
  return f;
}
// A toy's distance-width frame: a lead-in, then Count bits of Hex, then a stop mark 1.28 times
// as long as the long bit marks.
TFrame StopMarked(const std::string& Hex, size_t Count) {
  TFrame f{{5860, 1910}};
  for (bool bit : BitsOf(Hex, Count))
    f.Micros.insert(f.Micros.end(), {bit ? 1490.0 : 515, bit ? 470.0 : 1450});
  f.Micros.push_back(1900);
  return f;
}
// Bi-phase, MSB first, 1 = space then mark; the idle space before a leading 1 is not sent.
TFrame BiPhase(const std::vector<bool>& Bits) {
  std::vector<bool> halves;
  for (bool bit : Bits) halves.insert(halves.end(), {!bit, bit});
  TFrame f;
  bool level = true;
  size_t start = halves.front() ? 0 : 1;
  for (size_t h = start; h < halves.size(); ++h) {
    if (!f.Micros.empty() && halves[h] == level) {
      f.Micros.back() += 889;
    } else {
      f.Micros.push_back(889);
      level = halves[h];
    }
  }
  if (!level) f.Micros.pop_back();  // a last space runs into the silence
  return f;
}
TFrame PulsePosition(const std::vector<int>& Symbols) {
  TFrame f{{3000, 1000}};
  for (int s : Symbols) f.Micros.insert(f.Micros.end(), {300, 600.0 + 300 * s});
  f.Micros.push_back(300);
  return f;
}

// Runs of whole units of 700 us, mark first (a light stick's).
TFrame RunLength(const std::string& Units) {
  TFrame f;
  for (char units : Units) f.Micros.push_back(700.0 * (units - '0'));
  return f;
}

struct TCodingCase {
  const char* Name;
  TFrame Frame;
  const char* Protocol;
  const char* Data;  // "bits=..; data=..; "
};

class GenericPassTest : public RecognitionFixture {
 protected:
  GenericPassTest() { Engine.GenericPass = true; }
};

TEST_F(GenericPassTest, EachCodingIsReadAndItsValueSurvivesClockAndEdgeShift) {
  const std::vector<TCodingCase> cases = {
      {"NEC-like", PulseDistance("20DF10EF", 32), "Pulse distance", "bits=32; data=20DF10EF; "},
      {"AC frame of 112 bits", PulseDistance("23CB260100240307020000000084", 112), "Pulse distance",
       "bits=112; data=23CB260100240307020000000084; "},
      {"Sony-like", PulseWidth("950F", 12), "Pulse width", "bits=12; data=950F; "},
      {"fan", DistanceWidth("D80F", 12), "Pulse distance-width", "bits=12; data=D80F; "},
      {"toy with a long stop mark", StopMarked("55A30C", 20), "Pulse distance-width",
       "bits=20; data=55A30C; "},
      {"RC5-like", BiPhase({1, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0}), "Bi-phase",
       "bits=13; data=CB06; "},
      {"four space widths", PulsePosition({0, 3, 1, 2, 2, 0, 3, 1}), "Pulse position",
       "bits=32; data=03122031; "},
      {"runs of one to four units", RunLength("211314211231114213"), "Run length",
       "bits=72; data=211314211231114213; "},
  };
  const std::vector<std::pair<double, double>> receivers = {
      {1, 0}, {1.05, 0}, {0.95, 0}, {1, 150}, {1, -150}, {1.05, 150}, {0.95, -150}};
  for (const TCodingCase& c : cases) {
    for (const auto& [scale, shift] : receivers) {
      const TSample sample = Decoded(c.Frame.Runs(scale, shift));
      SCOPED_TRACE(std::string(c.Name) + " clock " + std::to_string(scale) + " shift " +
                   std::to_string(shift));
      ASSERT_EQ(NameOf(sample), c.Protocol);
      EXPECT_EQ(DataOf(sample), c.Data);
      EXPECT_EQ(sample.Protocol->Match, TProtocol::TMatch::Generic);
      EXPECT_EQ(sample.Protocol->ListName(), std::string(c.Protocol) + "~");
      EXPECT_EQ(sample.Protocol->MatchText(), "generic");
      EXPECT_NE(sample.Protocol->MatchNote.find(c.Protocol), std::string::npos);
    }
  }
}

// A receiver whose gain drifts within a long frame: the marks shorten from the first bit to the
// last by Drift, the spaces lengthen by as much; the bits, and so the value, stay.
TEST_F(GenericPassTest, APulseDistanceFrameKeepsItsValueWhileTheReceiverDrifts) {
  for (double drift : {0.0, 100.0, 160.0}) {
    TFrame frame = PulseDistance("23CB260100240307020000000084", 112);
    const size_t runs = frame.Micros.size();
    for (size_t i = 2; i < runs; ++i) {
      const double shift = drift * static_cast<double>(i) / static_cast<double>(runs);
      frame.Micros[i] += i % 2 ? shift : -shift;
    }
    const TSample sample = Decoded(frame.Runs());
    EXPECT_EQ(NameOf(sample), "Pulse distance") << drift;
    EXPECT_EQ(DataOf(sample), "bits=112; data=23CB260100240307020000000084; ") << drift;
  }
}

TEST_F(GenericPassTest, DifferentBitsGiveDifferentValues) {
  const TSample a = Decoded(PulseDistance("20DF10EF", 32).Runs());
  for (size_t bit = 0; bit < 32; ++bit) {
    std::string hex = "20DF10EF";
    const int byte = std::stoi(hex.substr(bit / 8 * 2, 2), nullptr, 16) ^ (1 << (bit % 8));
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    hex.replace(bit / 8 * 2, 2, text);
    EXPECT_NE(DataOf(Decoded(PulseDistance(hex, 32).Runs())), DataOf(a)) << bit;
  }
}

TEST_F(GenericPassTest, NoiseShortAndIrregularPacketsStayUnknown) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> micros(150, 4000);
  int read = 0;
  for (int packet = 0; packet < 2000; ++packet) {
    TFrame noise;
    const int runs = 15 + packet % 90;
    for (int r = 0; r < runs; ++r) noise.Micros.push_back(micros(random));
    const TSample sample = Decoded(noise.Runs());
    read += NameOf(sample) != TProtocol::UnknownName;
    if (NameOf(sample) != TProtocol::UnknownName) ADD_FAILURE() << sample.Protocol->MatchNote;
  }
  EXPECT_EQ(read, 0);
  EXPECT_EQ(NameOf(Decoded(PulseDistance("2D", 5).Runs())), TProtocol::UnknownName);
  EXPECT_EQ(NameOf(Decoded({100, 400, 240})), TProtocol::UnknownName);
  EXPECT_EQ(NameOf(Decoded({})), TProtocol::UnknownName);
  // Bits of one width only carry nothing.
  EXPECT_EQ(NameOf(Decoded(PulseDistance("0000", 16).Runs())), TProtocol::UnknownName);
}

TEST_F(GenericPassTest, RunsOnlyForPacketsTheLibraryLeavesUnknownAndCanBeSwitchedOff) {
  LoadLibrary(R"(<protocol name="NEC"><bitset><bit value="1">#560_1690</bit>
    <bit value="0">#560_560</bit></bitset><packet><delimiter name="lead">#9000_4500</delimiter>
    <data name="address" length="8" bitorder="LSB"/><data name="command" length="8"
    bitorder="LSB"/><delimiter name="stop">#560</delimiter></packet></protocol>)");
  EXPECT_EQ(NameOf(Decoded(PulseDistance("20DF", 16).Runs())), "NEC");
  EXPECT_EQ(NameOf(Decoded(PulseDistance("20DF10", 24).Runs())), "NEC");  // its start fits
  EXPECT_EQ(NameOf(Decoded(PulseWidth("950F", 12).Runs())), "Pulse width");
  Engine.GenericPass = false;
  EXPECT_EQ(NameOf(Decoded(PulseWidth("950F", 12).Runs())), TProtocol::UnknownName);
}

// A pulse-distance frame: Lead, Count bits of Hex (Mark, then Zero or One), a stop mark.
TFrame Distance(std::vector<double> Lead, const std::string& Hex, size_t Count, double Mark,
                double Zero, double One) {
  TFrame f{std::move(Lead)};
  for (bool bit : BitsOf(Hex, Count)) f.Micros.insert(f.Micros.end(), {Mark, bit ? One : Zero});
  f.Micros.push_back(Mark);
  return f;
}

// A clean frame and what a real receiver makes of it (Distort on its runs, then a Shift of
// every edge): the clean frame's value in its coding, or (Refused) none, never another.
struct TDistortedCase {
  const char* Name;
  TFrame Clean;
  std::function<void(std::vector<double>&)> Distort;
  double Scale, Shift;
  const char* Protocol;
  bool Refused = false;
};

TEST_F(GenericPassTest, ReceiverDistortionsKeepTheCleanFramesValue) {
  const TFrame toy = Distance({2100, 400, 2150, 850}, "9201", 10, 480, 500, 1480);
  const TFrame fan = Distance({2100, 560, 2150, 850}, "8750", 15, 480, 500, 1480);
  TFrame repeated = Distance({}, "7C0C", 12, 720, 540, 1450);  // 20 times, 4.6 ms apart
  for (const std::vector<double> once = repeated.Micros; repeated.Micros.size() < 20 * 26;) {
    repeated.Micros.push_back(4600);
    repeated.Micros.insert(repeated.Micros.end(), once.begin(), once.end());
  }
  const double halfBit = 300.0 / 889;
  const std::vector<TDistortedCase> cases = {
      // its first space, still settling, makes a third width: not a position code's
      {"FirstSpaceShort", toy, [](auto& M) { M[5] *= 0.75; }, 1, 0, "Pulse distance", true},
      // zero spaces of 500 and 570 us, the lead-in's space of 660 us falls into their cluster
      {"LeadSpaceNearBitSpace", fan,
       [](auto& M) {
         for (size_t i = 5, zeros = 0; i < M.size(); i += 2)
           M[i] += M[i] < 600 && zeros++ % 2 ? 70 : 0;
         M[1] = 660;
       },
       1, 0, "Pulse distance"},
      // half-bits of 300 us, marks 125 us longer: short spaces under 200 us
      {"BiPhaseStrongShift", BiPhase({1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 1, 0, 1, 1, 0}),
       [](auto&) {}, halfBit, 125, "Bi-phase"},
      // the receiver's gain drifts: marks from 720 down to 420 us, spaces 300 us longer
      {"DriftOverALongPacket", repeated,
       [](auto& M) {
         for (size_t i = 0; i < M.size(); ++i) M[i] += (i % 2 ? 300.0 : -300.0) * i / M.size();
       },
       1, 0, "Pulse distance"},
      // three zero spaces of a 48-bit frame stretched by a third
      {"RareThirdSpaceWidth", Distance({9200, 4450}, "A1B2C3D4E5F6", 48, 680, 440, 1550),
       [](auto& M) {
         for (size_t bit : {2, 3, 6}) M[3 + 2 * bit] = M[3 + 2 * bit] < 1000 ? 580 : M[3 + 2 * bit];
       },
       1, 0, "Pulse distance"},
  };
  for (const TDistortedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TSample clean = Decoded(c.Clean.Runs(c.Scale));
    ASSERT_EQ(NameOf(clean), c.Protocol);
    TFrame distorted = c.Clean;
    c.Distort(distorted.Micros);
    const TSample sample = Decoded(distorted.Runs(c.Scale, c.Shift));
    EXPECT_EQ(NameOf(sample), c.Refused ? TProtocol::UnknownName : c.Protocol);
    if (!c.Refused) {
      EXPECT_EQ(DataOf(sample), DataOf(clean));
    }
  }
}

TEST_F(GenericPassTest, MarksFollowTheBitsAndFieldsStayWithinThePacket) {
  const TSample sample = Decoded(PulseDistance("20DF10EF", 32).Runs());
  ASSERT_EQ(sample.BitMarks().size(), 1u + 1 + 32 + 1);  // start, lead, bits, trailer
  EXPECT_EQ(sample.BitMarks()[2].Text, "bit0");
  uint32_t length = 0;
  for (uint16_t run : sample.Pulses) length += run;
  for (const TSampleMark& mark : sample.BitMarks()) EXPECT_LE(mark.Position, length);
  ASSERT_EQ(sample.Protocol->Fields.size(), 2u);
  EXPECT_EQ(sample.Protocol->Fields[0].Name, TGenericPass::BitsField);
  EXPECT_EQ(sample.Protocol->Fields[1].Text, "20DF10EF");
}

}  // namespace
