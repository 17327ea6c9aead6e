#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "LibraryPath.h"
#include "Measure.h"

namespace {
constexpr int CodesPerCell = 40;
// With every run off by up to a sample, sources whose nominal values lie 30-50 us apart (Bose,
// Thomson) leave too little of the +-50 us window for every packet.
constexpr double MinCellShareWithJitter = 0.75;
// The library is centred over many receivers; this one (marks 20 us long, every run off by up
// to a sample) lies at one end of their range.
constexpr double MinShareWithJitter = 0.97;

std::string Share(const TTally& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%d/%d", t.Right, t.Total);
  return text;
}

}  // namespace

// The recognition table: every entry, rendered from each source's nominal timing, clean, with
// soft edges and noise, and with every run off by up to a sample. Nothing decodes as another
// protocol; clean and soft-edged renderings all decode right.
TEST(Recognition, EveryProtocolUnderEveryCondition) {
  TDecodeRig rig(ShippedLibrary());
  const std::vector<TRenderConditions> conditions{CleanConditions(), EdgeConditions(),
                                                  JitterConditions()};
  std::ostringstream table;
  table << "| protocol | source A | clean | edges+noise | +jitter +-1 | source B | clean | "
           "edges+noise | +jitter +-1 |\n|---|---|---|---|---|---|---|---|---|\n";
  TTally all, jittered;
  uint64_t seed = 100;
  for (const TProtocolFacts& facts : ProtocolCatalogue()) {
    if (facts.LongSilence) continue;  // cut into pieces by the 5 ms ending silence
    table << "| " << facts.Entry;
    for (int source = 0; source < 2; ++source) {
      if (source >= static_cast<int>(facts.Sources.size())) {
        table << " | - | | | ";
        continue;
      }
      table << " | " << facts.Sources[source];
      for (const TRenderConditions& c : conditions) {
        SCOPED_TRACE(facts.Entry + " / " + facts.Sources[source] + " / " + c.Name);
        const TTally t = Measure(rig, facts, source, c, CodesPerCell, ++seed);
        table << " | " << Share(t);
        all.Add(t);
        EXPECT_TRUE(t.Wrong.empty()) << t.Wrong.front();
        if (c.EdgeJitterSamples == 0) {
          EXPECT_EQ(t.Right, t.Total);
        } else {
          EXPECT_GE(t.Right, MinCellShareWithJitter * t.Total);
          jittered.Add(t);
        }
      }
    }
    table << " |\n";
  }
  std::cout << table.str() << "packets: " << all.Total << ", right: " << all.Right
            << ", unknown: " << all.Unknown << ", as another protocol: " << all.Wrong.size()
            << "\n";
  EXPECT_GE(jittered.Right, MinShareWithJitter * jittered.Total);
  EXPECT_EQ(all.Wrong.size(), 0u);
}

// Random noise bursts and random pulse trains are not taken for any protocol.
TEST(Recognition, NoiseAndRandomPulseTrainsAreUnknown) {
  TDecodeRig rig(ShippedLibrary());
  TTestRandom random(7);
  // Bursts of random values.
  std::vector<uint8_t> noise;
  for (int burst = 0; burst < 200; ++burst) {
    const int length = random.Int(10, 2000);
    for (int i = 0; i < length; ++i) noise.push_back(static_cast<uint8_t>(random.Bits(8)));
    noise.insert(noise.end(), 600, 128);
  }
  // Random trains of marks and spaces shorter than the packet-closing silence.
  std::vector<TCode> trains;
  for (int i = 0; i < 1500; ++i) {
    TCode code;
    const int runs = random.Int(3, 100) | 1;
    for (int r = 0; r < runs; ++r)
      code.Frame.Add(r % 2 == 0 ? random.Real(150, 4000) : -random.Real(150, 4800));
    code.LeadOutUs = 10000;
    trains.push_back(code);
  }
  int packets = 0, falseMatches = 0;
  for (const std::vector<uint8_t>& pcm : {noise, RenderStream(trains, EdgeConditions(), random)}) {
    for (const TDecoded& d : rig.Run(pcm)) {
      ++packets;
      if (d.Name != "unknown") {
        ++falseMatches;
        ADD_FAILURE() << "taken for " << d.Name << " {" << FieldText(d.Fields) << "}";
      }
    }
  }
  EXPECT_GT(packets, 1500);
  std::cout << "noise and random trains: " << packets << " packets, false matches: " << falseMatches
            << "\n";
}

// Frames cut short (the last bit and more lost) never decode as their own protocol or a wrong
// one; only where the cut frame is exactly a frame of a shorter entry (likely: on another clock)
// is that entry named.
TEST(Recognition, FramesCutShortAreUnknown) {
  TDecodeRig rig(ShippedLibrary());
  TTestRandom random(11);
  int packets = 0, unknown = 0, prefix = 0, falseMatches = 0;
  for (const TProtocolFacts& facts : ProtocolCatalogue()) {
    std::vector<TCode> cut;
    for (int i = 0; i < 40; ++i) {
      TCode code = facts.Encode(RandomValues(facts, random), 0);
      int marks = 0;
      for (const TRun& r : code.Frame.Runs) marks += r.Mark;
      if (marks < 3) continue;
      const int keep = random.Int(1, marks - 2);
      TIrFrame shortened;
      for (const TRun& r : code.Frame.Runs) {
        if (keep == 0) break;
        shortened.Add(r.Mark ? r.Us : -r.Us);
        int kept = 0;
        for (const TRun& s : shortened.Runs) kept += s.Mark;
        if (kept == keep && r.Mark) break;
      }
      code.Frame = shortened;
      code.LeadOutUs = 20000;
      cut.push_back(code);
    }
    for (const TRenderConditions& c : {CleanConditions(), EdgeConditions()}) {
      const std::vector<TDecoded> decoded = rig.Run(RenderStream(cut, c, random));
      for (const TDecoded& d : decoded) {
        ++packets;
        if (d.Name == "unknown") {
          ++unknown;
        } else if (PrefixEntriesOf(facts.Entry).count(d.Name) ||
                   (d.Likely && ClockPrefixEntriesOf(facts.Entry).count(d.Name))) {
          ++prefix;
        } else {
          ++falseMatches;
          ADD_FAILURE() << facts.Entry << " cut short taken for " << d.Name;
        }
      }
    }
  }
  std::cout << "frames cut short: " << packets << " packets, unknown: " << unknown
            << ", a shorter entry's exact frame: " << prefix << ", false matches: " << falseMatches
            << "\n";
}
