#include "TIrSynth.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

namespace {
using TRuns = std::vector<TIrSynth::TRun>;
constexpr double NecUnit = 560, NecOneSpace = 1690;
constexpr double NecLeadMark = 9000, NecLeadSpace = 4500, SamsungLead = 4500;
constexpr double SonyLead = 2400, SonyUnit = 600, SonyOne = 1200;
constexpr double Rc5Half = 889;
constexpr double HumHertz = 50;
constexpr size_t NoiseTableSize = 1 << 16;  // Gaussian values drawn once, then reused
constexpr size_t ChunkFrames = 1 << 16;

void Add(TRuns& Runs, bool High, double Micros) {
  if (!Runs.empty() && Runs.back().High == High)
    Runs.back().Micros += Micros;
  else
    Runs.push_back({High, Micros});
}

// Pulse-distance bits: a mark and a space whose length carries the bit; LSB first.
void PulseDistanceByte(TRuns& Runs, uint8_t Value) {
  for (int bit = 0; bit < 8; ++bit) {
    Add(Runs, true, NecUnit);
    Add(Runs, false, (Value >> bit) & 1 ? NecOneSpace : NecUnit);
  }
}

struct TSndFileCloser {
  void operator()(SNDFILE* File) const { sf_close(File); }
};
}  // namespace

std::vector<TIrSynth::TRun> TIrSynth::Nec(uint8_t Address, uint8_t Command) {
  TRuns runs{{true, NecLeadMark}, {false, NecLeadSpace}};
  for (uint8_t byte :
       {Address, static_cast<uint8_t>(~Address), Command, static_cast<uint8_t>(~Command)})
    PulseDistanceByte(runs, byte);
  Add(runs, true, NecUnit);
  return runs;
}

std::vector<TIrSynth::TRun> TIrSynth::Samsung32(uint8_t Address, uint8_t Subdevice,
                                                uint8_t Command) {
  TRuns runs{{true, SamsungLead}, {false, SamsungLead}};
  for (uint8_t byte : {Address, Subdevice, Command, static_cast<uint8_t>(~Command)})
    PulseDistanceByte(runs, byte);
  Add(runs, true, NecUnit);
  return runs;
}

std::vector<TIrSynth::TRun> TIrSynth::Sony12(uint8_t Command, uint8_t Address) {
  TRuns runs{{true, SonyLead}};
  uint32_t bits = (Command & 0x7F) | (Address & 0x1F) << 7;
  for (int bit = 0; bit < 12; ++bit) {
    Add(runs, false, SonyUnit);
    Add(runs, true, (bits >> bit) & 1 ? SonyOne : SonyUnit);
  }
  return runs;
}

std::vector<TIrSynth::TRun> TIrSynth::Rc5(bool Toggle, uint8_t Address, uint8_t Command) {
  // S1, field (inverted command bit 6), toggle, 5 address bits, 6 command bits; MSB first.
  uint32_t bits = 1u << 13 | (Command & 0x40 ? 0u : 1u) << 12 | (Toggle ? 1u : 0u) << 11 |
                  (Address & 0x1Fu) << 6 | (Command & 0x3Fu);
  TRuns runs;
  for (int bit = 13; bit >= 0; --bit) {
    bool one = (bits >> bit) & 1;  // 1: space then mark; 0: mark then space
    Add(runs, !one, Rc5Half);
    Add(runs, one, Rc5Half);
  }
  runs.erase(runs.begin());  // the first half of S1 is a space nobody sees
  return runs;
}

double TIrSynth::Jitter() {
  std::uniform_real_distribution<double> spread(-Timing.JitterMicros, Timing.JitterMicros);
  return spread(Random) * 1e-6;
}

void TIrSynth::Frame(const std::vector<TRun>& Runs) {
  FrameStarts.push_back(Now);
  for (const TRun& run : Runs) {
    double length = run.Micros * 1e-6;
    if (run.High) {
      double stretch = Timing.MarkStretchMicros * 1e-6;
      Marks.push_back({Now + Jitter(), Now + length + stretch + Jitter()});
    }
    Now += length;
  }
}

double TIrSynth::HighShare(double From, double To, size_t& Next) const {
  while (Next < Marks.size() && Marks[Next].End <= From) ++Next;
  double high = 0;
  for (size_t i = Next; i < Marks.size() && Marks[i].Start < To; ++i)
    high += std::max(0.0, std::min(To, Marks[i].End) - std::max(From, Marks[i].Start));
  return high / (To - From);
}

void TIrSynth::Write(const std::string& FileName, int Format, int Rate, int Channels) const {
  Write(FileName, Format, Rate, Channels, TLevels());
}

void TIrSynth::Write(const std::string& FileName, int Format, int Rate, int Channels,
                     const TLevels& Levels) const {
  SF_INFO info{};
  info.samplerate = Rate;
  info.channels = Channels;
  info.format = Format;
  std::unique_ptr<SNDFILE, TSndFileCloser> file(sf_open(FileName.c_str(), SFM_WRITE, &info));
  if (!file) throw std::runtime_error(FileName + ": " + sf_strerror(nullptr));

  std::mt19937 random(Levels.Seed);
  std::normal_distribution<float> gauss(0.0f, static_cast<float>(Levels.Noise));
  std::vector<float> noise(NoiseTableSize);
  for (float& n : noise) n = gauss(random);
  const int humPeriod = static_cast<int>(Rate / HumHertz);
  std::vector<float> hum(humPeriod);
  for (int i = 0; i < humPeriod; ++i)
    hum[i] = static_cast<float>(Levels.Hum * std::sin(2 * std::numbers::pi * i / humPeriod));

  const int64_t total = static_cast<int64_t>(std::ceil(Now * Rate));
  std::vector<float> frames(ChunkFrames * Channels);
  size_t next = 0;
  uint32_t noiseAt = 0;
  for (int64_t start = 0; start < total; start += ChunkFrames) {
    int64_t count = std::min<int64_t>(ChunkFrames, total - start);
    for (int64_t i = 0; i < count; ++i) {
      int64_t n = start + i;
      double share =
          HighShare(static_cast<double>(n) / Rate, static_cast<double>(n + 1) / Rate, next);
      noiseAt = noiseAt * 1664525u + 1013904223u;  // a cheap walk through the noise table
      float value =
          static_cast<float>(Levels.High * share) + noise[noiseAt >> 16] + hum[n % humPeriod];
      frames[i * Channels] = value;
      for (int c = 1; c < Channels; ++c) frames[i * Channels + c] = -value;
    }
    if (sf_writef_float(file.get(), frames.data(), count) != count)
      throw std::runtime_error(FileName + ": " + sf_strerror(file.get()));
  }
}
