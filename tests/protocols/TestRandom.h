#pragma once
// A seeded generator whose numbers are the same on every platform (the standard distributions
// are not), so that every rendering in the tests is reproducible.

#include <algorithm>
#include <cstdint>
#include <random>

class TTestRandom {
 public:
  explicit TTestRandom(uint64_t Seed) : Engine(Seed) {}
  // Uniform in [0, 2^Bits); Bits up to 32.
  uint32_t Bits(int Count) {
    if (Count <= 0) return 0;
    return static_cast<uint32_t>(Engine() >> (64 - std::min(Count, 32)));
  }
  // Uniform in [Low, High].
  int Int(int Low, int High) {
    return Low + static_cast<int>(Engine() % static_cast<uint64_t>(High - Low + 1));
  }
  // Uniform in [Low, High).
  double Real(double Low, double High) {
    return Low + (High - Low) * static_cast<double>(Engine() >> 11) * (1.0 / 9007199254740992.0);
  }

 private:
  std::mt19937_64 Engine;
};
