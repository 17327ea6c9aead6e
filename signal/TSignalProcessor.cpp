#include "TSignalProcessor.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <ctime>

namespace {
constexpr size_t ScanBlock = 64;  // bytes tested at once by the trigger search

// Number of values at the end of Signal that are QuietLevel or lower.
size_t TrailingQuiet(const std::vector<uint8_t>& Signal, uint8_t QuietLevel) {
  size_t n = 0;
  while (n < Signal.size() && Signal[Signal.size() - 1 - n] <= QuietLevel) ++n;
  return n;
}

// Appends the run lengths of Signal (low, high, ...) to Pulses; High(value) tells a high
// value, in order.
template <typename THigh>
void RunLengths(const std::vector<uint8_t>& Signal, std::vector<uint16_t>& Pulses, THigh High) {
  bool high = false;
  uint16_t runStart = 0;
  for (size_t i = 0; i < Signal.size(); ++i) {
    const bool isHigh = High(Signal[i]);
    if (isHigh == high) continue;
    Pulses.push_back(static_cast<uint16_t>(i - runStart));
    runStart = static_cast<uint16_t>(i);
    high = isHigh;
  }
  Pulses.push_back(static_cast<uint16_t>(Signal.size() - 1 - runStart));
}

// High values of Signal under an automatic level that starts afresh from its quiet front,
// as the stream found it, so that live and loaded packets get the same runs: a packet starts
// at the start level, then the level (with its band) decides.
auto AutoLevelRuns(const std::vector<uint8_t>& Signal) {
  TAutoLevel level;
  level.Prime(Signal.data(), Signal.size());
  return [level, started = false](uint8_t Value) mutable {
    const bool starts = !started && Value >= level.StartLevel();
    const bool high = level.Take(Value) && (started || starts);
    started = started || starts;
    return high;
  };
}

// Follows a packet through Buf[Pos..End): a value for which Keeps is true restarts the
// countdown, which ends the packet at its Window-th quiet value in a row (true, Pos on it).
// Countdown is left where the scan stops.
template <typename TKeeps>
bool ScanPacket(const uint8_t* Buf, size_t& Pos, size_t End, int& Countdown, int Window,
                TKeeps Keeps) {
  for (size_t i = Pos; i < End; ++i) {
    if (Keeps(Buf[i])) {
      Countdown = Window;
    } else if (--Countdown <= 0) {
      Pos = i;
      return true;
    }
  }
  Pos = End;
  return false;
}

using TByteVector = uint8_t __attribute__((vector_size(32)));

// ScanPacket at a fixed level, Active or more keeping the packet open: a block of values all of
// which keep it, or none of which can end it yet, is passed over whole.
__attribute__((target_clones("avx2", "default"))) bool ScanFixedLevel(const uint8_t* Buf,
                                                                      size_t& Pos, size_t End,
                                                                      int Countdown, int Window,
                                                                      uint8_t Active) {
  constexpr int Block = sizeof(TByteVector);
  size_t i = Pos;
  while (i < End) {
    if (Active > 0 && i + Block <= End) {
      TByteVector block;
      __builtin_memcpy(&block, Buf + i, sizeof block);
      auto keeps = block > static_cast<uint8_t>(Active - 1);
      uint64_t lanes[sizeof keeps / sizeof(uint64_t)];
      __builtin_memcpy(lanes, &keeps, sizeof lanes);
      const uint64_t all = lanes[0] & lanes[1] & lanes[2] & lanes[3];
      const uint64_t any = lanes[0] | lanes[1] | lanes[2] | lanes[3];
      if (all == ~uint64_t{0} || (any == 0 && Countdown > Block)) {
        Countdown = any ? Window : Countdown - Block;
        i += Block;
        continue;
      }
    }
    size_t at = i;
    const size_t stop = std::min(End, i + Block);
    if (ScanPacket(Buf, at, stop, Countdown, Window,
                   [Active](uint8_t Value) { return Value >= Active; })) {
      Pos = at;
      return true;
    }
    i = stop;
  }
  Pos = End;
  return false;
}

// The start of the first 64-byte block from From on that may hold a value of Trigger or
// more, or the start of the last, partial block. Built for AVX2 where the processor has it,
// and for the x86-64 baseline.
__attribute__((target_clones("avx2", "default"))) size_t SkipQuietBlocks(const uint8_t* Buf,
                                                                         size_t From, size_t End,
                                                                         uint8_t Trigger) {
  const uint8_t BelowTrigger = Trigger - 1;
  size_t i = From;
  for (; i + ScanBlock <= End; i += ScanBlock) {
    TByteVector a, b;
    __builtin_memcpy(&a, Buf + i, sizeof a);
    __builtin_memcpy(&b, Buf + i + sizeof a, sizeof b);
    auto found = (a > BelowTrigger) | (b > BelowTrigger);
    uint64_t lanes[sizeof found / sizeof(uint64_t)];
    __builtin_memcpy(lanes, &found, sizeof lanes);
    if (lanes[0] | lanes[1] | lanes[2] | lanes[3]) break;
  }
  return i;
}
// The first index from From on whose value is on the other side of Trigger than High says (High:
// Trigger or more), or End; blocks all on one side are passed over whole.
__attribute__((target_clones("avx2", "default"))) size_t NextLevelChange(const uint8_t* Buf,
                                                                         size_t From, size_t End,
                                                                         uint8_t Trigger,
                                                                         bool High) {
  size_t i = From;
  if (Trigger > 0) {
    const uint8_t belowTrigger = Trigger - 1;
    const uint64_t same = High ? ~uint64_t{0} : 0;
    for (; i + sizeof(TByteVector) <= End; i += sizeof(TByteVector)) {
      TByteVector block;
      __builtin_memcpy(&block, Buf + i, sizeof block);
      auto high = block > belowTrigger;
      uint64_t lanes[sizeof high / sizeof(uint64_t)];
      __builtin_memcpy(lanes, &high, sizeof lanes);
      if (lanes[0] != same || lanes[1] != same || lanes[2] != same || lanes[3] != same) break;
    }
  }
  for (; i < End; ++i)
    if ((Buf[i] >= Trigger) != High) return i;
  return End;
}

// RunLengths at a fixed level: a value of Trigger or more is high.
void FixedRunLengths(const std::vector<uint8_t>& Signal, std::vector<uint16_t>& Pulses,
                     uint8_t Trigger) {
  bool high = false;
  uint16_t runStart = 0;
  for (size_t i = NextLevelChange(Signal.data(), 0, Signal.size(), Trigger, high);
       i < Signal.size(); i = NextLevelChange(Signal.data(), i + 1, Signal.size(), Trigger, high)) {
    Pulses.push_back(static_cast<uint16_t>(i - runStart));
    runStart = static_cast<uint16_t>(i);
    high = !high;
  }
  Pulses.push_back(static_cast<uint16_t>(Signal.size() - 1 - runStart));
}
}  // namespace

void TSignalProcessor::Init(TWaveNotifyTarget* WindowHandle, uint16_t Rate,
                            std::unique_ptr<TSoundSystem> SoundSystem) {
  if (!WaveIn) {
    assert(SoundSystem && "Init(Handle, Rate) records from the sound card");
    WaveIn = std::make_unique<TWaveIn>(WindowHandle, CaptureBufferCount, CaptureBufferSize,
                                       std::move(SoundSystem));
  }
  SampleRate = Rate;
  CurrentSample.reset();
  BuffersProcessed = 0;
  SilenceCount = 0;
  StreamRead = 0;
  Auto.Reset(ZeroLine);
  PreviousTail.clear();
}

void TSignalProcessor::Configure(const TDecodeSettings& Settings) {
  assert(Settings.Problem().empty() && "settings are validated before they are applied");
  AutomaticLevel = Settings.AutomaticLevel;
  if (!AutomaticLevel) FixedLevel = static_cast<uint8_t>(Settings.TriggerLevel);
  EndSilenceSeconds = Settings.EndSilenceSeconds();
  InvertInput = Settings.InvertInput;
}

void TSignalProcessor::StartRecording() {
  if (!WaveIn) return;
  if (TWaveFormatEx* format = WaveIn->Format.get()) {
    constexpr uint16_t BitsPerSample = 8;
    constexpr uint16_t Channels = 1;
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = Channels;
    format->nSamplesPerSec = SampleRate;
    format->wBitsPerSample = BitsPerSample;
    format->nAvgBytesPerSec = (BitsPerSample / 8) * SampleRate * Channels;
  }
  WaveIn->OnError = OnError;
  if (!WaveIn->Open() && OnError) OnError("Error - Try again");
  WaveIn->Start();
  LastBuffer = std::chrono::steady_clock::now();
}

bool TSignalProcessor::CheckDevice() {
  if (!WaveIn || !WaveIn->Recording || SampleRate == 0) return false;
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - LastBuffer;
  if (waited.count() < DeviceSilenceSeconds + static_cast<double>(CaptureBufferSize) / SampleRate)
    return false;
  WaveIn->Stop();
  if (OnError) OnError(DeviceSilentText);
  return true;
}

void TSignalProcessor::StopRecording() {
  if (WaveIn) WaveIn->Stop();
}

int64_t TSignalProcessor::SecondsToSamples(float Seconds) const {
  return static_cast<int64_t>(std::nearbyintl(static_cast<long double>(SampleRate) * Seconds));
}

float TSignalProcessor::SamplesToSeconds(uint16_t Count) const {
  return static_cast<float>(static_cast<long double>(Count) / SampleRate);
}

uint16_t TSignalProcessor::SilenceWindow() const {
  return static_cast<uint16_t>(SecondsToSamples(EndSilenceSeconds));
}

// Values this low end a packet when they last a silence window.
uint8_t TSignalProcessor::QuietLevel() const {
  return static_cast<uint8_t>(AutomaticLevel ? Auto.KeepLevel() - 1 : FixedLevel - 2);
}

void TSignalProcessor::ProcessBuffer(const TMessage& Message) {
  const TWaveHdr* header = Message.LParam;
  bool readable = WaveIn && WaveIn->Recording && header && header->lpData &&
                  header->dwBufferLength >= static_cast<uint32_t>(CaptureBufferSize);
  if (readable) {
    uint8_t* buf = header->lpData;
    if (InvertInput)
      for (size_t i = 0; i < static_cast<size_t>(CaptureBufferSize); ++i) buf[i] = 255 - buf[i];
    size_t pos = 0;
    do {
      if (!CurrentSample) {
        size_t trigger = FindTrigger(buf, pos);
        if (trigger == static_cast<size_t>(CaptureBufferSize)) {
          SilenceCount += CaptureBufferSize - pos;
          break;
        }
        OpenPacket(buf, trigger, pos);
        pos = trigger + 1;
      }
      pos = FollowPacket(buf, pos);
    } while (pos < static_cast<size_t>(CaptureBufferSize) - 1);
    StreamRead += CaptureBufferSize;
    if (MarginAcrossBuffers) KeepTail(buf);
  }
  LastBuffer = std::chrono::steady_clock::now();
  if (WaveIn) WaveIn->AddNextBuffer();
  ++BuffersProcessed;
}

// Index of the first trigger value at or after From, or CaptureBufferSize when there is none.
size_t TSignalProcessor::FindTrigger(const uint8_t* Buf, size_t From) {
  const size_t end = CaptureBufferSize;
  if (AutomaticLevel) {
    for (size_t i = From; i < end; ++i) {
      const bool starts = Buf[i] >= Auto.StartLevel();
      Auto.Take(Buf[i]);
      if (starts) return i;
    }
    return end;
  }
  for (size_t i = SkipQuietBlocks(Buf, From, end, FixedLevel); i < end; ++i)
    if (Buf[i] >= FixedLevel) return i;
  return end;
}

void TSignalProcessor::OpenPacket(const uint8_t* Buf, size_t Trigger, size_t Pos) {
  CurrentSample = std::make_unique<TSample>();
  CurrentSample->Gap =
      static_cast<float>((SilenceCount + static_cast<long double>(Trigger - Pos)) / SampleRate);
  SilenceCount = 0;
  CurrentSample->CaptureTime = TimeOfDayNow();
  CurrentSample->StreamIndex = StreamRead + static_cast<int64_t>(Trigger);
  // The margin stays that of the default silence, whatever the silence that ends a packet.
  const size_t margin = SecondsToSamples(SilenceSeconds) / 2;
  auto& signal = CurrentSample->Signal;
  if (MarginAcrossBuffers && Trigger < margin && !PreviousTail.empty()) {
    const size_t earlier = std::min(margin - Trigger, PreviousTail.size());
    signal.assign(PreviousTail.end() - static_cast<long>(earlier), PreviousTail.end());
    signal.insert(signal.end(), Buf, Buf + Trigger);
  } else if (Trigger > margin)
    signal.assign(Buf + Trigger - margin, Buf + Trigger);
  else if (Trigger > 0)
    signal.assign(Buf, Buf + Trigger);
  else
    signal.assign(1, ZeroLine);
  MarginLength = signal.size();
}

// Follows the open packet from Pos; returns where the next trigger search starts. Closes the
// packet after a full silence window. A packet that would outgrow 16-bit positions (a stuck
// active input) is cut at MaxSignalLength values and closed there; the search goes on right
// after the cut, so a line that stays active yields one full-length packet after another.
size_t TSignalProcessor::FollowPacket(const uint8_t* Buf, size_t Pos) {
  const int window = SilenceWindow();
  auto& signal = CurrentSample->Signal;
  size_t start = Pos - 1;
  int countdown = window;
  if (Pos == 0) {
    start = 0;
    countdown = window - static_cast<int>(TrailingQuiet(signal, QuietLevel()));
  }
  const size_t end = CaptureBufferSize;
  const uint8_t active = FixedLevel - 1;
  const bool closed = AutomaticLevel ? ScanPacket(Buf, Pos, end, countdown, window,
                                                  [this](uint8_t Value) {
                                                    const bool keeps = Value >= Auto.KeepLevel();
                                                    return Auto.Take(Value) || keeps;
                                                  })
                                     : ScanFixedLevel(Buf, Pos, end, countdown, window, active);
  if (!closed) Pos = CaptureBufferSize - 1;
  const size_t room = MaxSignalLength - signal.size();
  const size_t stretch = Pos - start + 1;
  if (closed ? stretch > room : stretch >= room) {  // it would not fit: cut it where it is full
    signal.insert(signal.end(), Buf + start, Buf + start + room);
    const size_t quiet = TrailingQuiet(signal, QuietLevel());
    SilenceCount = quiet + 1;  // the next search starts after the cut, not on a quiet value
    ClosePacket(static_cast<uint16_t>(signal.size() - MarginLength - quiet));
    return start + room;
  }
  signal.insert(signal.end(), Buf + start, Buf + Pos + 1);
  if (!closed) return Pos;
  SilenceCount = window;
  ClosePacket(static_cast<uint16_t>(signal.size() - MarginLength - window));
  return Pos;
}

void TSignalProcessor::KeepTail(const uint8_t* Buf) {
  const size_t size = static_cast<size_t>(CaptureBufferSize);
  const size_t kept = std::min(size, static_cast<size_t>(SilenceWindow() / 2));
  PreviousTail.assign(Buf + size - kept, Buf + size);
}

void TSignalProcessor::ClosePacket(uint16_t ActiveCount) {
  CurrentSample->Duration = SamplesToSeconds(ActiveCount);
  ExtractPulses(*CurrentSample);
  AddSample(std::move(CurrentSample));
  if (OnNewSample) OnNewSample();
}

void TSignalProcessor::ExtractPulses(TSample& Sample) const {
  std::vector<uint8_t> unpacked;
  const auto& signal = Sample.SignalValues(unpacked);
  auto& pulses = Sample.Pulses;
  pulses.clear();
  if (signal.empty()) return;
  if (AutomaticLevel) {
    RunLengths(signal, pulses, AutoLevelRuns(signal));
    return;
  }
  FixedRunLengths(signal, pulses, FixedLevel);
}

void TSignalProcessor::AddSample(std::unique_ptr<TSample> Sample) {
  Samples.push_back(std::move(Sample));
}

void TSignalProcessor::ClearSamples() {
  Samples.clear();
}

int64_t TSignalProcessor::QuietUntil() const {
  return CurrentSample ? CurrentSample->StreamIndex : StreamRead;
}

// The local time of day as a fraction of a day, to the millisecond.
double TSignalProcessor::TimeOfDayNow() {
  constexpr double MillisecondsPerDay = 86400000.0;
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  double dayMs = ((local.tm_hour * 60.0 + local.tm_min) * 60.0 + local.tm_sec) * 1000.0 +
                 static_cast<double>(ms.count());
  return dayMs / MillisecondsPerDay;
}
