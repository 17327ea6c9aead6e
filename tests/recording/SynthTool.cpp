// vorlent-synth: renders a short recording of remote-control key presses (NEC, Sony12, RC5,
// Samsung32), as a phototransistor on a sound card would record them, to an audio file.
// With SECONDS, it renders that long a recording with one frame every 100 ms instead.
//   vorlent-synth OUTPUT RATE u8|s16|float [CHANNELS [SECONDS]]

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "TIrSynth.h"

namespace {
constexpr double PressGapMicros = 150000;   // between key presses
constexpr double SonyPeriodMicros = 45000;  // Sony frames repeat 45 ms start to start

void Press(TIrSynth& Synth, const std::vector<TIrSynth::TRun>& Frame) {
  Synth.Frame(Frame);
  Synth.Quiet(PressGapMicros);
}

TIrSynth KeyPresses() {
  TIrSynth synth;
  synth.Quiet(50000);
  Press(synth, TIrSynth::Nec(0x04, 0x08));
  for (int repeat = 0; repeat < 3; ++repeat) {  // Sony remotes send each frame three times
    double start = synth.LengthSeconds();
    synth.Frame(TIrSynth::Sony12(0x15, 0x01));
    synth.Quiet(SonyPeriodMicros - (synth.LengthSeconds() - start) * 1e6);
  }
  synth.Quiet(PressGapMicros);
  Press(synth, TIrSynth::Rc5(false, 5, 0x35));
  Press(synth, TIrSynth::Rc5(true, 5, 0x35));
  Press(synth, TIrSynth::Samsung32(0x07, 0x07, 0x02));
  Press(synth, TIrSynth::Nec(0x04, 0x10));
  return synth;
}

TIrSynth Busy(double Seconds) {
  constexpr double PeriodMicros = 100000;
  TIrSynth synth;
  const std::vector<std::vector<TIrSynth::TRun>> frames = {
      TIrSynth::Nec(0x04, 0x08), TIrSynth::Sony12(0x15, 0x01), TIrSynth::Rc5(false, 5, 0x35),
      TIrSynth::Samsung32(7, 7, 2)};
  synth.Quiet(PeriodMicros / 2);
  for (size_t i = 0; synth.LengthSeconds() + PeriodMicros * 1e-6 <= Seconds; ++i) {
    double start = synth.LengthSeconds();
    synth.Frame(frames[i % frames.size()]);
    synth.Quiet(PeriodMicros - (synth.LengthSeconds() - start) * 1e6);
  }
  return synth;
}
}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, int> encodings = {
      {"u8", SF_FORMAT_PCM_U8}, {"s16", SF_FORMAT_PCM_16}, {"float", SF_FORMAT_FLOAT}};
  if (argc < 4 || argc > 6 || !encodings.count(argv[3])) {
    std::fprintf(stderr, "usage: vorlent-synth OUTPUT RATE u8|s16|float [CHANNELS [SECONDS]]\n");
    return 2;
  }
  int rate = std::atoi(argv[2]);
  int channels = argc >= 5 ? std::atoi(argv[4]) : 1;
  double seconds = argc == 6 ? std::atof(argv[5]) : 0;
  try {
    (seconds > 0 ? Busy(seconds) : KeyPresses())
        .Write(argv[1], SF_FORMAT_WAV | encodings.at(argv[3]), rate, channels);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vorlent-synth: %s\n", e.what());
    return 1;
  }
  return 0;
}
