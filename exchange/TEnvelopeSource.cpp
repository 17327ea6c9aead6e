#include "TEnvelopeSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "TSignalProcessor.h"

namespace {
constexpr double MicrosPerSample = 1e6 / TRecordingDecoder::SampleRate;
}

void TEnvelopeSource::Append(bool Mark, double Duration) {
  Micros += std::clamp(Duration, 0.0, MaxRunMicros);
  const auto end = static_cast<int64_t>(std::llround(Micros / MicrosPerSample));
  int64_t samples = end - Total;
  if (samples <= 0) return;
  Total = end;
  const uint32_t level = Mark ? TRun::MarkBit : 0;
  if (!Runs.empty() && Runs.back().Mark() == Mark) {
    const int64_t added = std::min(samples, MaxRunSamples - Runs.back().Samples());
    Runs.back().Value += static_cast<uint32_t>(added);
    samples -= added;
  }
  for (; samples > 0; samples -= MaxRunSamples)
    Runs.push_back({level | static_cast<uint32_t>(std::min(samples, MaxRunSamples))});
}

int64_t TEnvelopeSource::Add(const std::vector<double>& Durations, bool AsSent,
                             double MinSilenceAfter) {
  if (Runs.empty()) Append(false, MinSilenceAfterMicros);  // the first signal has a gap too
  const int64_t start = Total;
  Starts.push_back(start);
  const double shift = AsSent ? ReceiverShiftMicros : 0;
  double trailing = 0;
  for (size_t i = 0; i < Durations.size(); ++i) {
    const bool mark = i % 2 == 0;
    const double d = std::max(Durations[i] + (mark ? shift : -shift), 1.0);
    if (i + 1 == Durations.size() && !mark) {
      trailing = d;
      break;
    }
    Append(mark, d);
  }
  Append(false, std::max(trailing, MinSilenceAfter));
  return start;
}

int TEnvelopeSource::Signal(int64_t Index) const {
  const auto after = std::upper_bound(Starts.begin(), Starts.end(), Index);
  return static_cast<int>(after - Starts.begin()) - 1;
}

size_t TEnvelopeSource::Read(uint8_t* Out, size_t Count) {
  size_t written = 0;
  while (written < Count && RunAt < Runs.size()) {
    const TRun& run = Runs[RunAt];
    const auto n = static_cast<size_t>(
        std::min<int64_t>(run.Samples() - RunDone, static_cast<int64_t>(Count - written)));
    std::memset(Out + written, run.Mark() ? MarkLevel : TSignalProcessor::ZeroLine, n);
    written += n;
    RunDone += static_cast<int64_t>(n);
    if (RunDone == run.Samples()) {
      ++RunAt;
      RunDone = 0;
    }
  }
  Delivered += static_cast<int64_t>(written);
  return written;
}

double TEnvelopeSource::Progress() const {
  return Total ? static_cast<double>(Delivered) / static_cast<double>(Total) : 1.0;
}
