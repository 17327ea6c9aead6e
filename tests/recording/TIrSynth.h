#pragma once
// Renders infrared packets as a phototransistor on a sound card would record them: frames of
// common protocols from their nominal timings, stretched marks, jittered edges, line noise
// and mains hum, written as an audio file of any rate, format and channel count.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

class TIrSynth {
 public:
  // One level of the line and how long it lasts, in microseconds.
  struct TRun {
    bool High = false;
    double Micros = 0;
  };
  // Timing impairments, applied as frames are added.
  struct TTiming {
    double MarkStretchMicros = 0;  // a demodulating receiver may lengthen marks
    double JitterMicros = 2;       // each edge moves by up to this much either way
  };
  // Level impairments, applied when rendering (fractions of full scale).
  struct TLevels {
    double High = 0.75;
    double Noise = 0.015;  // standard deviation of the line noise
    double Hum = 0.01;     // 50 Hz amplitude
    uint32_t Seed = 7;
  };

  // Frames, each from its first mark; a frame may end with a space (it joins the quiet).
  static std::vector<TRun> Nec(uint8_t Address, uint8_t Command);
  static std::vector<TRun> Samsung32(uint8_t Address, uint8_t Subdevice, uint8_t Command);
  static std::vector<TRun> Sony12(uint8_t Command, uint8_t Address);
  static std::vector<TRun> Rc5(bool Toggle, uint8_t Address, uint8_t Command);

  TIrSynth() : TIrSynth(TTiming{}) {}
  explicit TIrSynth(TTiming Impairments, uint32_t Seed = 11) : Timing(Impairments), Random(Seed) {}

  // Keeps the line quiet for Micros.
  void Quiet(double Micros) { Now += Micros * 1e-6; }
  // Adds a frame at the current time; the time moves on by the frame's nominal length.
  void Frame(const std::vector<TRun>& Runs);
  double LengthSeconds() const { return Now; }

  // Writes the recording to FileName as libsndfile Format (e.g. SF_FORMAT_WAV |
  // SF_FORMAT_PCM_U8) at Rate; the signal is on the first channel, the others carry its
  // inverse. Throws std::runtime_error when the file cannot be written.
  void Write(const std::string& FileName, int Format, int Rate, int Channels,
             const TLevels& Levels) const;
  void Write(const std::string& FileName, int Format, int Rate, int Channels) const;

  std::vector<double> FrameStarts;  // seconds, the first mark of each frame as sent

 private:
  struct TMark {
    double Start, End;  // seconds
  };
  double Jitter();
  // The share of [From, To) during which the line is high; Next is the first mark that
  // may still overlap, moved forward as time passes.
  double HighShare(double From, double To, size_t& Next) const;

  TTiming Timing;
  std::mt19937 Random;
  double Now = 0;
  std::vector<TMark> Marks;
};
