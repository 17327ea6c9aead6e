// The tolerant second pass against a seeded corpus: every protocol of the shipped library sent
// by remotes whose clock runs 7 % slow to 2 % fast, through receivers that lengthen marks by
// -30 to +120 us, with edge jitter and dropouts; and noise bursts and frames cut short. A likely
// decode must name what was sent, with its fields; noise and cut frames must not gain one.
// VORLENT_TOLERANT_PACKETS sets the number of packets of each kind (10,000).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "LibraryPath.h"
#include "Measure.h"
#include "ProtocolFacts.h"
#include "TProtocolRecognition.h"
#include "TestRandom.h"

namespace {

constexpr double Rate = 48000;
constexpr int DefaultPackets = 10000;
constexpr double ScaleMin = 0.93, ScaleMax = 1.02;
constexpr double ShiftMinUs = -30, ShiftMaxUs = 120;
constexpr double JitterUs = 15;        // each edge moves by up to this either way
constexpr double DropoutShare = 0.1;   // packets with a one-sample dropout inside a mark
constexpr double EndSilenceUs = 5000;  // the processor closes a packet after this
constexpr double CleanShiftUs = 20;    // what the library is centred for
// Most remotes' clocks lie within this band. A remote whose clock is further off may send
// another protocol's timing on a clock nearer the band, and is then read as that protocol.
constexpr double CommonClockMin = 0.985, CommonClockMax = 1.025;

double OffTheCommonBand(double Clock) {
  return std::max({CommonClockMin - Clock, Clock - CommonClockMax, 0.0});
}

// A likely decode of another protocol that Remote's clock explains: the match's note ("...,
// clock 99.8 %, ...") gives a clock nearer the common band than the remote's own.
bool ReadOnACommonerClock(const TSample& Sample, double Remote) {
  const std::string& note = Sample.Protocol->MatchNote;
  const size_t at = note.find("clock ");
  if (at == std::string::npos) return false;
  return OffTheCommonBand(std::atof(note.c_str() + at + 6) / 100) < OffTheCommonBand(Remote);
}

// How the remotes' clocks spread (evenly, or as real remotes: most within 1 %, one in twenty 5 to
// 6 % slow) and the share that must decode right; ambiguous timings rightly stay unknown.
struct TClockSpread {
  const char* Name;
  double SlowShare;  // 0: uniform over ScaleMin .. ScaleMax
  double MinRightShare;
};
constexpr TClockSpread Spreads[] = {{"uniform", 0, 0.95}, {"real remotes", 0.05, 0.98}};

// Levels in order as the receiver delivers them: edges scaled by the remote's clock, marks
// lengthened by Shift, every edge jittered, sampled at 48 kHz; a leading quiet run and the
// closing silence around it.
struct TReceiver {
  double Scale = 1, ShiftUs = CleanShiftUs, JitterUs = 0;
  bool Dropout = false;
};

// Runs before SkipRuns and from KeepRuns on are lost (a frame cut at its start or its end).
std::vector<uint16_t> Receive(const TIrFrame& Frame, const TReceiver& Receiver, TTestRandom& Random,
                              size_t KeepRuns = SIZE_MAX, size_t SkipRuns = 0) {
  std::vector<double> edges{0};  // us; odd indices rise, even ones fall
  double t = Random.Real(400, 1200);
  for (size_t i = SkipRuns; i < std::min(KeepRuns, Frame.Runs.size()); ++i) {
    const TRun& run = Frame.Runs[i];
    if (!run.Mark && edges.size() == 1) {  // a leading space is quiet line
      t += run.Us * Receiver.Scale;
      continue;
    }
    const double edge = t + (run.Mark ? -Receiver.ShiftUs / 2 : Receiver.ShiftUs / 2);
    edges.push_back(edge + Random.Real(-Receiver.JitterUs, Receiver.JitterUs));
    t += run.Us * Receiver.Scale;
  }
  if (edges.size() % 2 == 0) edges.push_back(t + Receiver.ShiftUs / 2);  // the last mark ends
  const double phase = Random.Real(0, 1);
  std::vector<uint16_t> runs;
  long previous = 0;
  for (size_t i = 1; i < edges.size(); ++i) {
    const long sample = std::max(previous + 1, std::lround(edges[i] * Rate / 1e6 + phase));
    runs.push_back(static_cast<uint16_t>(sample - previous));
    previous = sample;
  }
  runs.push_back(static_cast<uint16_t>(EndSilenceUs * Rate / 1e6));
  const size_t mark = 1 + 2 * static_cast<size_t>(Random.Int(0, int(runs.size() / 2) - 1));
  if (Receiver.Dropout && runs[mark] >= 8) {  // a one-sample dip in the middle of a mark
    const uint16_t before = static_cast<uint16_t>(runs[mark] / 2);
    runs[mark] = static_cast<uint16_t>(runs[mark] - before - 1);
    runs.insert(runs.begin() + static_cast<long>(mark), {before, 1});
  }
  return runs;
}

TFields FieldsOf(const TSample& Sample) {
  TFields fields;
  for (const TProtocolField& field : Sample.Protocol->Fields) {
    fields.emplace_back(field.Name, field.Value);
  }
  return fields;
}

int PacketsOfEachKind() {
  const char* text = std::getenv("VORLENT_TOLERANT_PACKETS");
  return text ? std::max(1, std::atoi(text)) : DefaultPackets;
}

class TolerantCorpus : public ::testing::Test {
 protected:
  TolerantCorpus() {
    Engine.SampleRate = static_cast<uint16_t>(Rate);
    Engine.SetTolerance(0.00005f);
    Engine.SetDecimalSeparator(".");
    Engine.GenericPass = false;  // the tolerant pass is measured here
    Engine.OnReport = [](const std::string& Text) { ADD_FAILURE() << Text; };
    Engine.LoadProtocols(ShippedLibrary());
  }
  TSample Decode(const std::vector<uint16_t>& Runs, bool SecondPass) {
    TSample sample;
    sample.Pulses = Runs;
    Engine.SecondPass = SecondPass;
    Engine.Decode(sample);
    return sample;
  }
  // Whether Packet (what a receiver without jitter delivered of a cut frame) is a valid frame of
  // the protocol Found names: with the shift and clock its note reports taken out, the exact pass
  // reads the same protocol and fields. Timing cannot tell such a cut from a frame of its own.
  bool IsAFrameOf(std::vector<uint16_t> Packet, const TSample& Found) {
    const std::string& note = Found.Protocol->MatchNote;
    const size_t marks = note.find("marks "), clock = note.find("clock ");
    if (marks == std::string::npos || clock == std::string::npos) return false;
    const double shiftUs = std::atof(note.c_str() + marks + 6);
    const double scale = std::atof(note.c_str() + clock + 6) / 100;
    for (size_t i = 1; i + 1 < Packet.size(); ++i) {
      const double us = Packet[i] * 1e6 / Rate + (i % 2 == 1 ? -shiftUs : shiftUs);
      Packet[i] = static_cast<uint16_t>(std::max(1L, std::lround(us / scale * Rate / 1e6)));
    }
    const TSample clean = Decode(Packet, false);
    return clean.Protocol->ProtocolName == Found.Protocol->ProtocolName &&
           FieldsOf(clean) == FieldsOf(Found);
  }
  // A random code of a random protocol whose frame arrives as one packet.
  TCode RandomCode(TTestRandom& Random, double Scale) {
    const auto& catalogue = ProtocolCatalogue();
    for (;;) {
      const TProtocolFacts& facts =
          catalogue[static_cast<size_t>(Random.Int(0, int(catalogue.size()) - 1))];
      const int source = Random.Int(0, int(facts.Sources.size()) - 1);
      TCode code = facts.Encode(RandomValues(facts, Random), source);
      const auto endsPacket = [&](const TRun& Run) {
        return !Run.Mark && Run.Us * Scale >= EndSilenceUs - 2 * JitterUs;
      };
      if (std::none_of(code.Frame.Runs.begin(), code.Frame.Runs.end(), endsPacket)) return code;
    }
  }
  TReceiver RandomReceiver(TTestRandom& Random, const TClockSpread& Spread = Spreads[0]) {
    const bool slow = Random.Real(0, 1) < Spread.SlowShare;
    const double scale = Spread.SlowShare == 0 ? Random.Real(ScaleMin, ScaleMax)
                         : slow                ? Random.Real(0.94, 0.95)
                                               : Random.Real(0.99, 1.01);
    return {scale, Random.Real(ShiftMinUs, ShiftMaxUs), JitterUs, Random.Real(0, 1) < DropoutShare};
  }

  TProtocolRecognition Engine;
};

TEST_F(TolerantCorpus, LikelyDecodesNameWhatWasSent) {
  for (const TClockSpread& Spread : Spreads) {
    TTestRandom random(2026);
    const int packets = PacketsOfEachKind();
    int exactRight = 0, likelyRight = 0, otherTiming = 0;
    std::vector<std::string> wrong;
    for (int i = 0; i < packets; ++i) {
      const TReceiver receiver = RandomReceiver(random, Spread);
      const TCode code = RandomCode(random, receiver.Scale);
      const std::vector<uint16_t> runs = Receive(code.Frame, receiver, random);
      const TSample exact = Decode(runs, false);
      const TSample sample = Decode(runs, true);
      const TProtocol& found = *sample.Protocol;
      const bool right = found.ProtocolName == code.Entry && FieldsOf(sample) == code.Fields;
      if (found.Match == TProtocol::TMatch::Exact) {
        ASSERT_EQ(found.ProtocolName, exact.Protocol->ProtocolName);
        exactRight += right;
        continue;
      }
      ASSERT_EQ(exact.Protocol->ProtocolName, "unknown") << "an exact decode was replaced";
      likelyRight += right;
      if (!right && ReadOnACommonerClock(sample, receiver.Scale)) {
        ++otherTiming;
      } else if (!right) {
        wrong.push_back(code.Entry + " {" + FieldText(code.Fields) + "} as " + found.ProtocolName +
                        " {" + FieldText(FieldsOf(sample)) + "} " + found.MatchNote);
      }
    }
    std::cout << Spread.Name << ": " << packets << " packets, exact right " << exactRight
              << ", likely right " << likelyRight << ", likely wrong " << wrong.size()
              << ", slow remotes read as the timing they send " << otherTiming << "\n";
    EXPECT_TRUE(wrong.empty()) << Spread.Name << ": " << wrong.size() << " wrong, first "
                               << wrong.front();
    EXPECT_GE(exactRight + likelyRight, Spread.MinRightShare * packets) << Spread.Name;
    EXPECT_GT(likelyRight, exactRight) << "most of these need the second pass";
  }
}

// Noise bursts gain no likely decode; a frame cut at its end or its start gains one only where the
// same cut of a clean frame decodes exactly to the same protocol and fields (it left a whole one),
// where what is left is a valid frame of the protocol named (counted apart), or as the protocol
// whose timing a remote far off the common clock sends.
TEST_F(TolerantCorpus, NoiseAndCutFramesStayUnknown) {
  TTestRandom random(4711);
  const int packets = PacketsOfEachKind();
  std::vector<std::string> wrong;
  int likelyOfCutFrames = 0, shorterFrames = 0;
  for (int i = 0; i < packets; ++i) {
    std::vector<uint16_t> runs(static_cast<size_t>(2 * random.Int(6, 60) + 1));
    for (uint16_t& run : runs) run = static_cast<uint16_t>(random.Real(100, 3000) * Rate / 1e6);
    const TSample noise = Decode(runs, true);
    if (noise.Protocol->Match == TProtocol::TMatch::Likely) wrong.push_back("noise");

    const TReceiver receiver = RandomReceiver(random);
    const TCode code = RandomCode(random, receiver.Scale);
    const size_t at = static_cast<size_t>(
        random.Int(2, std::max(2, static_cast<int>(code.Frame.Runs.size()) - 2)));
    const bool atStart = random.Int(0, 1) == 1;
    const size_t keep = atStart ? SIZE_MAX : at, skip = atStart ? at : 0;
    const TSample cut = Decode(Receive(code.Frame, receiver, random, keep, skip), true);
    if (cut.Protocol->Match != TProtocol::TMatch::Likely) continue;
    ++likelyOfCutFrames;
    const TSample clean = Decode(Receive(code.Frame, TReceiver{}, random, keep, skip), false);
    const bool same = cut.Protocol->ProtocolName == clean.Protocol->ProtocolName &&
                      FieldsOf(cut) == FieldsOf(clean);
    TTestRandom quiet(i);
    const std::vector<uint16_t> unjittered =
        Receive(code.Frame, TReceiver{receiver.Scale, receiver.ShiftUs}, quiet, keep, skip);
    if (!same && IsAFrameOf(unjittered, cut)) {
      ++shorterFrames;
      continue;
    }
    if (!same && !ReadOnACommonerClock(cut, receiver.Scale)) {
      wrong.push_back(code.Entry + (atStart ? " without its first " : " cut after ") +
                      std::to_string(at) + " runs as " + cut.Protocol->ProtocolName + " " +
                      cut.Protocol->MatchNote);
    }
  }
  std::cout << "noise bursts and cut frames: " << packets << " each; likely decodes of cut "
            << "frames that left a whole frame: " << likelyOfCutFrames << ", of them read as "
            << "another protocol's valid shorter frame: " << shorterFrames << "\n";
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " wrong likely decodes, first: " << wrong.front();
}

}  // namespace
