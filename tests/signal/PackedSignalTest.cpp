#include <gtest/gtest.h>

#include <random>

#include "TPackedSignal.h"
#include "TSignalProcessor.h"
#include "WeakReceiver.h"

namespace {
using Values = std::vector<uint8_t>;

Values Random(size_t Count, unsigned Seed) {
  std::mt19937 random(Seed);
  Values values(Count);
  for (auto& value : values) value = static_cast<uint8_t>(random());
  return values;
}

Values Repeated(size_t Count, std::initializer_list<uint8_t> Pattern) {
  Values values;
  while (values.size() < Count) values.insert(values.end(), Pattern);
  values.resize(Count);
  return values;
}

struct TCase {
  const char* Name;
  Values Signal;
  bool Smaller;            // the packed form takes fewer bytes than the values
  double MostShare = 1.0;  // of the values' bytes, the packed form takes no more
};
}  // namespace

// Whatever the values, they come back exactly: compressed where that makes them smaller, as
// they are where it does not (a value or two, noise), also at the longest signal and across
// the wrap of every difference (0 after 255, 255 after 0). A phototransistor's packet, noise
// and all, takes about half its bytes (compressed without taking differences: 60-70 %).
TEST(PackedSignal, GivesBackExactlyTheValuesPacked) {
  const std::vector<TCase> cases = {
      {"no values", {}, false},
      {"one value", {200}, false},
      {"two values", {0, 255}, false},
      {"random values", Random(1000, 1), false},
      {"random, longest", Random(TSignalProcessor::MaxSignalLength, 2), false},
      {"quiet line, longest", Values(TSignalProcessor::MaxSignalLength, 128), true, 0.01},
      {"full swings", Repeated(4000, {0, 255, 255, 0, 1}), true},
      {"ramp through the wrap", Repeated(3000, {250, 251, 252, 253, 254, 255, 0, 1, 2}), true},
      {"phototransistor", weak_receiver::Render(weak_receiver::NecRuns(4, 8), 60, 1.5), true, 0.55},
      {"phototransistor, more noise",
       weak_receiver::Render(weak_receiver::NecRuns(0x10, 0xE7), 100, 2.0, 100, 3), true, 0.6},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TPackedSignal packed(c.Signal);
    EXPECT_EQ(packed.size(), c.Signal.size());
    EXPECT_EQ(packed.empty(), c.Signal.empty());
    EXPECT_EQ(packed.PackedBytes() < c.Signal.size(), c.Smaller) << packed.PackedBytes();
    EXPECT_LE(static_cast<double>(packed.PackedBytes()), c.MostShare * c.Signal.size());
    Values out(70000, 7);  // whatever it held is replaced
    packed.Unpack(out);
    EXPECT_TRUE(out == c.Signal);
  }
}
