#include "TIrCode.h"

#include <algorithm>

#include "TLineReader.h"

void TIrCodeFile::Add(TIrCode Code, const TLineReader& Lines) {
  const size_t cost = Code.Parsed() ? ParsedDurations : std::max<size_t>(Code.Durations.size(), 1);
  const size_t bound = Bound(Lines.BytesRead());
  if (Full || Durations + cost > bound) {
    if (!Full)
      Problems.push_back(Lines.Problem("the file holds more than " + std::to_string(bound) +
                                           " durations; the codes from here on are left out",
                                       Code.Line));
    Full = true;
    return;
  }
  Durations += cost;
  Codes.push_back(std::move(Code));
}

size_t TIrCodeFile::Bound(size_t BytesRead) {
  return std::clamp(BytesRead / BytesPerDuration, MinDurations, MaxDurations);
}
