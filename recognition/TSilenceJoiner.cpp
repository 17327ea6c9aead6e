#include "TSilenceJoiner.h"

#include <algorithm>
#include <limits>

#include "TProtocolRecognition.h"

namespace {
constexpr double MillisPerSecond = 1000;
constexpr uint8_t ZeroLine = 128;  // the quiet PCM value between joined packets
constexpr size_t MaxSignal = std::numeric_limits<uint16_t>::max();  // a packet's 16-bit positions

// Stream index of the first value of Sample's signal: its trigger less the quiet run before it.
int64_t SignalStart(const TSample& Sample) {
  return Sample.StreamIndex - static_cast<int64_t>(Sample.Pulses.front());
}
}  // namespace

TSilenceJoiner::TSilenceJoiner(TProtocolRecognition& Recognition, uint16_t Rate)
    : Recognition_(Recognition), Rate_(Rate) {}

TSilenceJoiner::~TSilenceJoiner() = default;

void TSilenceJoiner::Add(std::unique_ptr<TSample> Sample) {
  const double longest = Recognition_.LongestEndSilenceMillis();
  if (longest <= 0 || Sample->StreamIndex < 0 || Rate_ == 0) {
    Release(0);
    Deliver(std::move(Sample));
    return;
  }
  if (!Held_.empty()) {
    const int64_t gap = GapSamples(*Held_.back(), *Sample);
    const bool close = gap >= 0 && static_cast<double>(gap) * MillisPerSecond < longest * Rate_;
    if (!close || Held_.size() >= MaxHeld) Release(std::max<int64_t>(gap, 0));
  }
  // Only a packet that an entry could join with the next waits for it.
  if (Held_.empty() && !Recognition_.MayBeginJoined(*Sample)) {
    Deliver(std::move(Sample));
    return;
  }
  Held_.push_back(std::move(Sample));
}

void TSilenceJoiner::Finish() {
  Release(std::numeric_limits<int64_t>::max());  // the stream ends: quiet after the last one
}

std::vector<std::unique_ptr<TSample>> TSilenceJoiner::JoinAll(
    TProtocolRecognition& Recognition, uint16_t Rate,
    std::vector<std::unique_ptr<TSample>> Samples) {
  std::vector<std::unique_ptr<TSample>> joined;
  TSilenceJoiner joiner(Recognition, Rate);
  joiner.OnSample = [&joined](std::unique_ptr<TSample> Sample) {
    joined.push_back(std::move(Sample));
  };
  for (auto& sample : Samples) joiner.Add(std::move(sample));
  joiner.Finish();
  return joined;
}

int TSilenceJoiner::JoinNewest(TProtocolRecognition& Recognition, uint16_t Rate,
                               std::vector<std::unique_ptr<TSample>>& Samples) {
  TSilenceJoiner joiner(Recognition, Rate);
  const double longest = Recognition.LongestEndSilenceMillis();
  if (longest <= 0 || Rate == 0 || Samples.size() < 2) return -1;
  size_t first = Samples.size() - 1;
  while (first > 0 && Samples.size() - first < MaxHeld) {
    const TSample& before = *Samples[first - 1];
    const int64_t gap = joiner.GapSamples(before, *Samples[first]);
    if (gap < 0 || before.Source != Samples.back()->Source ||
        static_cast<double>(gap) * MillisPerSecond >= longest * Rate)
      break;
    --first;
  }
  if (first + 1 == Samples.size()) return -1;
  for (size_t i = first; i < Samples.size(); ++i) joiner.Held_.push_back(std::move(Samples[i]));
  std::vector<std::unique_ptr<TSample>> released;
  joiner.OnSample = [&released](std::unique_ptr<TSample> Sample) {
    released.push_back(std::move(Sample));
  };
  joiner.Release(0);  // the newest has only just closed
  const bool joined = released.size() + first < Samples.size();
  Samples.resize(first);
  for (auto& sample : released) Samples.push_back(std::move(sample));
  return joined ? static_cast<int>(first) : -1;
}

void TSilenceJoiner::QuietUntil(int64_t StreamIndex) {
  if (Held_.empty()) return;
  const int64_t end = LastMarkEnd(*Held_.back());
  if (end < 0 || static_cast<double>(StreamIndex - end) * MillisPerSecond >=
                     Recognition_.LongestEndSilenceMillis() * Rate_)
    Release(std::max<int64_t>(StreamIndex - end, 0));
}

int64_t TSilenceJoiner::LastMarkEnd(const TSample& Sample) {
  const auto& runs = Sample.Pulses;
  // Low, high, ..., low: ended by its silence. An even count ends high (cut at its length).
  if (runs.size() < 3 || runs.size() % 2 == 0 || Sample.StreamIndex < 0) return -1;
  int64_t end = SignalStart(Sample);
  for (size_t i = 0; i + 1 < runs.size(); ++i) end += runs[i];
  return end;
}

int64_t TSilenceJoiner::GapSamples(const TSample& Sample, const TSample& Next) const {
  const int64_t lastMarkEnd = LastMarkEnd(Sample);
  if (lastMarkEnd < 0 || Next.Pulses.size() < 2) return -1;
  if (Next.StreamIndex <= Sample.StreamIndex) return -1;
  const int64_t gap = Next.StreamIndex - lastMarkEnd;
  return gap > 0 && gap <= std::numeric_limits<uint16_t>::max() ? gap : -1;
}

std::unique_ptr<TSample> TSilenceJoiner::Join(size_t First, size_t Last, int64_t QuietAfter) const {
  auto joined = std::make_unique<TSample>();
  const TSample& first = *Held_[First];
  joined->StreamIndex = first.StreamIndex;
  joined->Gap = first.Gap;
  joined->CaptureTime = first.CaptureTime;
  joined->Source = first.Source;
  joined->Name = first.Name;
  joined->SignalIndex = first.SignalIndex;
  std::vector<uint8_t> unpacked;
  joined->Signal = first.SignalValues(unpacked);
  joined->Pulses = first.Pulses;
  for (size_t i = First + 1; i <= Last; ++i) {
    const TSample& next = *Held_[i];
    const int64_t gap = GapSamples(*Held_[i - 1], next);
    if (gap < 0) return nullptr;
    const std::vector<uint8_t>& nextSignal = next.SignalValues(unpacked);
    const int64_t end = SignalStart(first) + static_cast<int64_t>(joined->Signal.size());
    const int64_t start = SignalStart(next);
    const size_t skip = static_cast<size_t>(std::max<int64_t>(end - start, 0));
    const size_t fill = static_cast<size_t>(std::max<int64_t>(start - end, 0));
    if (skip > nextSignal.size() ||
        joined->Signal.size() + fill + nextSignal.size() - skip > MaxSignal)
      return nullptr;
    joined->Signal.insert(joined->Signal.end(), fill, ZeroLine);
    joined->Signal.insert(joined->Signal.end(), nextSignal.begin() + static_cast<long>(skip),
                          nextSignal.end());
    joined->Pulses.back() = static_cast<uint16_t>(gap);
    joined->Pulses.insert(joined->Pulses.end(), next.Pulses.begin() + 1, next.Pulses.end());
    joined->Duration =
        static_cast<float>(next.StreamIndex - first.StreamIndex) / Rate_ + next.Duration;
  }
  // The cut left the last piece only the decoder's ending silence; the quiet after it is known
  // to be longer (up to the longest silence an entry asks for), and an entry's end may need it.
  const int64_t quiet = std::min(QuietAfter, LongestSamples());
  const int64_t more = quiet - static_cast<int64_t>(joined->Pulses.back());
  if (more > 0 && joined->Signal.size() + static_cast<size_t>(more) <= MaxSignal) {
    joined->Signal.insert(joined->Signal.end(), static_cast<size_t>(more), ZeroLine);
    joined->Pulses.back() = static_cast<uint16_t>(quiet);
  }
  return joined;
}

int64_t TSilenceJoiner::LongestSamples() const {
  return static_cast<int64_t>(Recognition_.LongestEndSilenceMillis() * Rate_ / MillisPerSecond);
}

void TSilenceJoiner::Release(int64_t QuietAfter) {
  for (size_t first = 0; first < Held_.size();) {
    size_t last = Held_.size() - 1;
    for (; last > first; --last) {
      const int64_t after =
          last + 1 < Held_.size() ? GapSamples(*Held_[last], *Held_[last + 1]) : QuietAfter;
      std::unique_ptr<TSample> joined = Join(first, last, after);
      if (joined && Recognition_.DecodeJoined(*joined, LongestGapMillis(first, last)) &&
          ReadsInto(*joined, Held_[last]->StreamIndex - SignalStart(*Held_[first]))) {
        Deliver(std::move(joined));
        break;
      }
    }
    if (last == first) Deliver(std::move(Held_[first]));
    first = last + 1;
  }
  Held_.clear();
}

// Whether the decode of Joined ends past Position (samples from its start): an entry that reads
// only the first pieces, its end delimiter taking the front of a gap, has not read it whole.
bool TSilenceJoiner::ReadsInto(const TSample& Joined, int64_t Position) {
  const auto& marks = Joined.FieldMarks();
  return std::any_of(marks.begin(), marks.end(),
                     [Position](const TSampleMark& Mark) { return Mark.Position > Position; });
}

double TSilenceJoiner::LongestGapMillis(size_t First, size_t Last) const {
  int64_t longest = 0;
  for (size_t i = First + 1; i <= Last; ++i)
    longest = std::max(longest, GapSamples(*Held_[i - 1], *Held_[i]));
  return static_cast<double>(longest) * MillisPerSecond / Rate_;
}

void TSilenceJoiner::Deliver(std::unique_ptr<TSample> Sample) {
  if (!Sample->Protocol) Recognition_.Decode(*Sample);
  if (OnSample) OnSample(std::move(Sample));
}
