#include "TNoPacketsText.h"

namespace {
const char* const NoPackets = "No infrared packets found in ";
const char* const TryInvert =
    ". If the signal sits below the line's resting level (a receiver that idles high), try ";
const char* const TryUninvert = " (inverted). If the receiver idles low, try without ";
}  // namespace

std::string TNoPacketsText::For(const std::string& InputName, bool Inverted,
                                const std::string& InvertName) {
  return NoPackets + InputName + (Inverted ? TryUninvert : TryInvert) + InvertName + ".";
}
