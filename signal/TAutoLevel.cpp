#include "TAutoLevel.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float Highest = 255;
constexpr size_t MinPrimeValues = 16;  // fewer quiet values say nothing about the noise

uint8_t ToLevel(float Value) {
  return static_cast<uint8_t>(std::clamp(std::ceil(Value), 1.0f, Highest));
}
}  // namespace

void TAutoLevel::Reset(float RestLevel) {
  Rest = RestLevel;
  Mark = RestLevel;
  Noise = InitialNoise;
  High = false;
}

void TAutoLevel::Prime(const uint8_t* Values, size_t Count) {
  if (Count == 0) return;
  const size_t limit = std::min(Count, PrimeLength);
  float sum = 0;
  size_t n = 0;
  for (; n < limit; ++n) {
    if (n > 0 && Values[n] >= sum / static_cast<float>(n) + MinSwing) break;
    sum += Values[n];
  }
  Reset(sum / static_cast<float>(n));
  if (n < MinPrimeValues) return;
  float deviation = 0;
  for (size_t i = 0; i < n; ++i) deviation += std::fabs(Values[i] - Rest);
  Noise = deviation / static_cast<float>(n);
}

uint8_t TAutoLevel::Level() const {
  return ToLevel(Rest + std::clamp((Mark - Rest) / 2, MinSwing, MaxSwing));
}

uint8_t TAutoLevel::StartLevel() const {
  return std::max(Level(), ToLevel(Rest + std::max(MinSwing, NoiseFactor * Noise)));
}

float TAutoLevel::Band() const {
  const float half = (Level() - Rest) / 2;
  return std::clamp(BandFactor * Noise, std::min(1.0f, half), half);
}

uint8_t TAutoLevel::KeepLevel() const {
  return ToLevel(Level() - Band() - 1);
}

bool TAutoLevel::Take(uint8_t Value) {
  const float v = Value;
  High = v >= (High ? Level() - Band() : Level());
  if (High) {
    // In a mark: jump up to a higher one, follow a drooping one down.
    Mark = v > Mark ? v : Mark + (v - Mark) / MarkFollow;
    return true;
  }
  Rest += (v - Rest) / RestFollow;
  // An edge's intermediate values are not noise: a deviation counts up to MinSwing only.
  Noise += (std::min(std::fabs(v - Rest), MinSwing) - Noise) / NoiseFollow;
  Mark += (Rest - Mark) / MarkForget;
  Mark = std::max(Mark, Rest);
  return false;
}
