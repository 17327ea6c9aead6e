#include "TCarrierRenderer.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>

#include "TCodeLibrary.h"
#include "TSendError.h"

namespace {
constexpr double MicrosPerSecond = 1e6;
constexpr double HoldSlackMicros = 1e-3;  // a frame due exactly when the hold ends is not sent
constexpr double FullScale = std::numeric_limits<int16_t>::max();
constexpr unsigned CommonRates[] = {44100, 48000, 88200, 96000, 176400, 192000, 384000};  // Hz

double Length(const std::vector<double>& Runs, size_t Count) {
  double sum = 0;
  for (size_t i = 0; i < Count; ++i) sum += Runs[i];
  return sum;
}

// Runs up to and with the last mark.
size_t MarkedRuns(const std::vector<double>& Runs) {
  return Runs.size() % 2 == 0 ? Runs.size() - 1 : Runs.size();
}

void Check(const std::vector<double>& Runs, const std::string& Name) {
  if (Runs.empty()) throw TSendError(Name + ": the signal holds no mark");
  for (double run : Runs)
    if (!std::isfinite(run) || run <= 0)
      throw TSendError(Name + ": the signal holds a run of " + std::to_string(run) + " us");
}
}  // namespace

const char* TCarrierRenderer::ModeName(TMode Mode) {
  return Mode == TMode::Antiphase ? "antiphase" : "mono";
}

std::string TCarrierRenderer::Refusal(uint32_t CarrierHz, const TOptions& Options) {
  if (CarrierHz == 0) return "a carrier of 0 Hz cannot be sent";
  if (Options.Rate == 0) return "an output rate of 0 Hz cannot play anything";
  const bool antiphase = Options.Mode == TMode::Antiphase;
  const double tone = antiphase ? CarrierHz / 2.0 : CarrierHz;
  const double band = UsableBand * Options.Rate;
  if (tone <= band) return "";
  const double needed = tone / UsableBand;
  const auto common = std::find_if(std::begin(CommonRates), std::end(CommonRates),
                                   [&](unsigned Rate) { return Rate >= needed; });
  return "a carrier of " + std::to_string(CarrierHz) + " Hz needs a tone of " +
         std::to_string(std::lround(tone)) + " Hz in " + ModeName(Options.Mode) +
         " mode, beyond what " + std::to_string(Options.Rate) + " Hz output carries (up to " +
         std::to_string(std::lround(band)) + " Hz); it needs a rate of " +
         (common != std::end(CommonRates) ? std::to_string(*common)
                                          : "at least " + std::to_string(std::lround(needed))) +
         " Hz" + (antiphase ? "" : " or antiphase mode");
}

uint32_t TCarrierRenderer::Carrier(const TIrSignal& Signal, const TOptions& Options) {
  if (Options.CarrierHz) return Options.CarrierHz;
  return Signal.CarrierHz ? Signal.CarrierHz : TCodeLibrary::DefaultCarrierHz;
}

std::vector<double> TCarrierRenderer::Sequence(const TIrSignal& Signal, const TOptions& Options) {
  Check(Signal.Frame, Signal.Name);
  if (!Signal.Repeat.empty()) Check(Signal.Repeat, Signal.Name);
  if (Options.Repeats > MaxRepeats)
    throw TSendError("at most " + std::to_string(MaxRepeats) + " repeats can be sent");
  if (!(Options.HoldMillis >= 0 && Options.HoldMillis <= MaxHoldMillis))
    throw TSendError("the hold time must lie within 0.." + std::to_string(lround(MaxHoldMillis)) +
                     " ms");
  const double period = Signal.PeriodMicros;
  const double holdMicros = Options.HoldMillis * 1000;
  std::vector<double> runs;
  double start = 0;  // us, of the frame being added
  for (unsigned i = 0;; ++i) {
    const bool again = i == 0 || Signal.Repeat.empty() || (Signal.Alternates && i % 2 == 0);
    const std::vector<double>& frame = again ? Signal.Frame : Signal.Repeat;
    const size_t marked = MarkedRuns(frame);
    runs.insert(runs.end(), frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(marked));
    const double own = marked < frame.size() ? frame.back() : 0;
    const double after = std::max(own, period - Length(frame, marked));
    start += Length(frame, marked) + after;
    const bool last = holdMicros > 0 ? start >= holdMicros - HoldSlackMicros : i == Options.Repeats;
    if (start - after + own > MaxSignalMicros) {
      throw TSendError(Signal.Name + ": the transmission would last longer than " +
                       std::to_string(std::lround(MaxSignalMicros / MicrosPerSecond)) + " s");
    }
    if (last) {
      if (own > 0) runs.push_back(own);
      return runs;
    }
    runs.push_back(after);
  }
}

TCarrierRenderer::TPcm TCarrierRenderer::Render(const TIrSignal& Signal, const TOptions& Options) {
  const uint32_t carrier = Carrier(Signal, Options);
  if (const std::string refusal = Refusal(carrier, Options); !refusal.empty())
    throw TSendError(refusal);
  if (!(Options.Volume >= 0 && Options.Volume <= 1))
    throw TSendError("the volume must lie within 0..1 (" + std::to_string(Options.Volume) + ")");
  const std::vector<double> runs = Sequence(Signal, Options);
  TPcm pcm;
  pcm.Rate = Options.Rate;
  const double total = Length(runs, runs.size()) / MicrosPerSecond;
  pcm.Samples.assign(2 * (static_cast<size_t>(std::ceil(total * Options.Rate)) + 1), 0);
  double at = 0;  // us
  for (size_t i = 0; i < runs.size(); ++i) {
    if (i % 2 == 0) {
      const long periods = std::max(1L, std::lround(runs[i] * carrier / MicrosPerSecond));
      Burst(at / MicrosPerSecond, static_cast<unsigned>(periods), carrier, Options, pcm);
    }
    at += runs[i];
  }
  return pcm;
}

// Periods of the carrier from StartSeconds on: a sine at half the carrier (antiphase) or at
// the carrier (mono), from zero to zero.
void TCarrierRenderer::Burst(double StartSeconds, unsigned Periods, double CarrierHz,
                             const TOptions& Options, TPcm& Pcm) {
  const bool antiphase = Options.Mode == TMode::Antiphase;
  const double tone = antiphase ? CarrierHz / 2 : CarrierHz;
  const double length = Periods / CarrierHz;
  const double amplitude = Options.Volume * FullScale;
  const size_t first = static_cast<size_t>(std::ceil(StartSeconds * Pcm.Rate));
  for (size_t i = first; i < Pcm.Frames(); ++i) {
    const double x = static_cast<double>(i) / Pcm.Rate - StartSeconds;
    if (x >= length) break;
    const double value =
        amplitude * Fade(x, length, CarrierHz) * std::sin(2 * std::numbers::pi * tone * x);
    const auto level = static_cast<int16_t>(std::lround(value));
    Pcm.Samples[2 * i] = level;
    Pcm.Samples[2 * i + 1] = antiphase ? static_cast<int16_t>(-level) : int16_t{0};
  }
}

// The envelope at Seconds into a burst of LengthSeconds: raised-cosine ramps of FadePeriods
// at both ends, 1 between.
double TCarrierRenderer::Fade(double Seconds, double LengthSeconds, double CarrierHz) {
  const double ramp = FadePeriods / CarrierHz;
  const double edge = std::min(Seconds, LengthSeconds - Seconds);
  if (edge >= ramp) return 1;
  return 0.5 - 0.5 * std::cos(std::numbers::pi * std::max(0.0, edge) / ramp);
}
