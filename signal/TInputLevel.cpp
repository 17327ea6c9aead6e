#include "TInputLevel.h"

#include <algorithm>
#include <array>

void TInputLevel::Add(const uint8_t* Data, size_t Size, unsigned Rate, bool Invert) {
  if (!Data || Size == 0 || Rate == 0) return;
  std::array<size_t, 256> counts{};
  uint8_t high = 0, low = 255;
  for (size_t i = 0; i < Size; ++i) {
    const uint8_t value = Invert ? static_cast<uint8_t>(255 - Data[i]) : Data[i];
    ++counts[value];
    high = std::max(high, value);
    low = std::min(low, value);
  }
  size_t seen = 0;
  for (size_t value = 0; value < counts.size(); ++value) {
    seen += counts[value];
    if (seen * 2 >= Size) {
      Rest = static_cast<uint8_t>(value);
      break;
    }
  }
  Recent.push_back({static_cast<double>(Size) / Rate, high, low});
  double held = 0;
  for (const TBuffer& buffer : Recent) held += buffer.Seconds;
  while (Recent.size() > 1 && held - Recent.front().Seconds >= PeakHoldSeconds) {
    held -= Recent.front().Seconds;
    Recent.pop_front();
  }
}

void TInputLevel::Reset() {
  Recent.clear();
  Rest = ZeroLine;
}

uint8_t TInputLevel::PeakHigh() const {
  if (Recent.empty()) return ZeroLine;
  uint8_t high = 0;
  for (const TBuffer& buffer : Recent) high = std::max(high, buffer.High);
  return high;
}

uint8_t TInputLevel::PeakLow() const {
  if (Recent.empty()) return ZeroLine;
  uint8_t low = 255;
  for (const TBuffer& buffer : Recent) low = std::min(low, buffer.Low);
  return low;
}

TInputLevel::THint TInputLevel::Hint(int Trigger, bool Automatic) const {
  if (Recent.empty()) return THint::None;
  const int up = PeakHigh() - Rest, down = Rest - PeakLow();
  const bool reaches = PeakHigh() >= Trigger;
  if (down >= SignalMargin && down > DownShare * up && (Automatic || !reaches))
    return THint::Inverted;
  if (!Automatic && up >= SignalMargin && !reaches) return THint::BelowTrigger;
  return THint::None;
}
