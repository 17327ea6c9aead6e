#include <gtest/gtest.h>

#include "LibraryPath.h"
#include "Measure.h"

// A key held down: the first frame and its repeats at the protocol's own frame period give one
// packet per frame, each decoded as its entry with its fields.
TEST(HeldKey, OnePacketPerFrameEachDecodedAsItsEntry) {
  TDecodeRig rig(ShippedLibrary());
  TTestRandom random(23);
  for (const TProtocolFacts& facts : ProtocolCatalogue()) {
    if (facts.LongSilence) continue;  // cut into pieces by the 5 ms ending silence
    for (int source = 0; source < static_cast<int>(facts.Sources.size()); ++source) {
      SCOPED_TRACE(facts.Entry + " / " + facts.Sources[source]);
      const TValues values = RandomValues(facts, random);
      std::vector<TCode> frames;
      if (facts.Held) {
        frames = facts.Held(values, source);
      } else {
        frames.assign(3, facts.Encode(values, source));
      }
      // The stream holds only the held key: its frames follow each other at the period.
      const std::vector<TDecoded> decoded = rig.Run(RenderStream(frames, EdgeConditions(), random));
      ASSERT_EQ(decoded.size(), frames.size());
      for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(decoded[i].Name, frames[i].Entry) << "frame " << i;
        EXPECT_EQ(decoded[i].Fields, frames[i].Fields) << "frame " << i;
      }
    }
  }
}
