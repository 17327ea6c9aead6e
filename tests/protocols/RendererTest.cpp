#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "LibraryPath.h"
#include "Measure.h"

namespace {
// Mean difference, in microseconds, between the runs the processor derives and the runs sent,
// over the marks (or spaces) of NEC frames rendered under Conditions.
struct TShift {
  double MarkUs = 0, SpaceUs = 0, MaxOffSamples = 0;
};

TShift MeasureShift(const TRenderConditions& conditions) {
  TDecodeRig rig(ShippedLibrary());
  TTestRandom random(31);
  const TProtocolFacts& nec = FactsOf("NEC");
  std::vector<TCode> codes;
  for (int i = 0; i < 60; ++i) codes.push_back(nec.Encode(RandomValues(nec, random), 0));
  const std::vector<TDecoded> decoded = rig.Run(RenderStream(codes, conditions, random));
  EXPECT_EQ(decoded.size(), codes.size());
  TShift shift;
  double marks = 0, spaces = 0;
  int markCount = 0, spaceCount = 0;
  const double samplesPerUs = TPcmRenderer::SampleRate / 1e6;
  for (size_t i = 0; i < decoded.size() && i < codes.size(); ++i) {
    const std::vector<TRun>& runs = codes[i].Frame.Runs;
    const std::vector<uint16_t>& pulses = decoded[i].Pulses;
    // Pulses: leading silence, then the frame's runs, then the closing silence.
    EXPECT_EQ(pulses.size(), runs.size() + 2);
    for (size_t k = 0; k < runs.size() && k + 2 < pulses.size(); ++k) {
      const double off = pulses[k + 1] - runs[k].Us * samplesPerUs;
      shift.MaxOffSamples = std::max(shift.MaxOffSamples, std::abs(off));
      (runs[k].Mark ? marks : spaces) += off / samplesPerUs;
      ++(runs[k].Mark ? markCount : spaceCount);
    }
  }
  shift.MarkUs = marks / markCount;
  shift.SpaceUs = spaces / spaceCount;
  return shift;
}
}  // namespace

// Sharp edges give the sent runs, off only by the sampling grid.
TEST(Renderer, CleanRunsAreTheSentRunsWithinASample) {
  const TShift shift = MeasureShift(CleanConditions());
  EXPECT_LT(shift.MaxOffSamples, 1.0);
  EXPECT_NEAR(shift.MarkUs, 0, 3);
  EXPECT_NEAR(shift.SpaceUs, 0, 3);
}

// Soft edges crossing the fixed trigger level lengthen marks and shorten spaces by about 20 us
// (the shift the library's timings are centred on), never by more than about three samples.
TEST(Renderer, SoftEdgesLengthenMarksAndShortenSpacesByAboutTwentyMicroseconds) {
  const TShift shift = MeasureShift(EdgeConditions());
  EXPECT_NEAR(shift.MarkUs, 20, 4);
  EXPECT_NEAR(shift.SpaceUs, -20, 4);
  EXPECT_LT(shift.MaxOffSamples, 2.5);
  const TShift jittered = MeasureShift(JitterConditions());
  EXPECT_NEAR(jittered.MarkUs, 20, 4);
  EXPECT_LT(jittered.MaxOffSamples, 3.5);
}

namespace {
// One effect of the receiver model, and where it puts the NEC runs' mean offsets (us).
struct TEffect {
  std::string Name;
  TRenderConditions Conditions;
  double MarkMin, MarkMax, SpaceMin, SpaceMax;
};

TRenderConditions With(std::function<void(TRenderConditions&)> Change) {
  TRenderConditions c = CleanConditions();
  Change(c);
  return c;
}

const std::vector<TEffect> Effects{
    // A 5 % slow clock shortens every run by 5 %: the lead-in's 9 ms by 450 us.
    {"clock", With([](auto& c) { c.Clock = Between(0.95, 0.95); }), -44, -36, -65, -57},
    {"mark shift", With([](auto& c) { c.MarkShiftUs = Between(100, 100); }), 97, 103, -103, -97},
    // A strong signal crosses the level early on the way up and late on the way down ...
    {"low-pass, strong", With([](auto& c) {
       c.BandSamples = Between(1.5, 1.5);
       c.PeakMin = 240, c.PeakMax = 250;
     }),
     35, 70, -70, -35},
    // ... a weak one late and early: its marks shorten.
    {"low-pass, weak", With([](auto& c) {
       c.BandSamples = Between(1.5, 1.5);
       c.PeakMin = 150, c.PeakMax = 155;
     }),
     -35, -5, 5, 35},
    // The coupling capacitor lowers the baseline after each mark: later marks end earlier.
    {"coupling", With([](auto& c) {
       c.BandSamples = Between(0.5, 0.5);
       c.CouplingMs = Between(10, 10);
     }),
     -10, 5, -5, 10},
    {"typical", TypicalReceiverConditions(), -30, 30, -30, 30},
};
}  // namespace

// Each effect of the receiver model moves the edges the way a real receiver does.
TEST(Renderer, EachEffectOfTheReceiverModelMovesTheRunsAsAReceiverDoes) {
  for (const TEffect& e : Effects) {
    SCOPED_TRACE(e.Name);
    const TShift shift = MeasureShift(e.Conditions);
    std::cout << e.Name << ": marks " << shift.MarkUs << " us, spaces " << shift.SpaceUs << " us\n";
    EXPECT_GT(shift.MarkUs, e.MarkMin);
    EXPECT_LT(shift.MarkUs, e.MarkMax);
    EXPECT_GT(shift.SpaceUs, e.SpaceMin);
    EXPECT_LT(shift.SpaceUs, e.SpaceMax);
  }
}
