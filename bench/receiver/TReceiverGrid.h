#pragma once
// Measures how the shipped library decodes every protocol under a grid of receiver conditions:
// random codes are rendered through the receiver model into a recording on disk, read back the
// way vorlent-decode reads a file, cut into packets and decoded with a set of decoding settings,
// and each packet is compared with the code that was sent.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "PcmRenderer.h"
#include "ProtocolFacts.h"
#include "TDecodeSettings.h"
#include "TProtocolRecognition.h"
#include "TSample.h"

// What a user may set, plus the rate the grid may decode at.
struct TGridSettings {
  TDecodeSettings Decode;
  uint16_t DecodeRate = TDecodeSettings::SampleRate;  // Hz the processor and decoder run at
};

// How a condition's recording reaches the packet processor.
enum class TRecordingPath {
  Pcm8At48k,          // 8-bit mono at 48 kHz, the capture's own format
  Pcm16StereoAt44k1,  // 16-bit stereo at 44.1 kHz, resampled on reading
};

struct TGridCondition {
  std::string Name;
  TRenderConditions Render;
  TGridSettings Settings;
  TRecordingPath Path = TRecordingPath::Pcm8At48k;
  bool LongSpaceOnly = false;  // its right share counts the long-space protocols only
};

// The conditions of the table, in column order.
const std::vector<TGridCondition>& GridConditions();
// False where the ending silence cuts every frame of Facts: rendered only to count false
// decodes, its right share is not shown.
bool ShownIn(const TProtocolFacts& Facts, const TGridCondition& Condition);
// True where Facts counts towards Condition's right share.
bool CountsIn(const TProtocolFacts& Facts, const TGridCondition& Condition);

struct TCellCount {
  int Total = 0;        // codes sent
  int Right = 0;        // decoded as the entry sent with its fields
  int RightLikely = 0;  // of Right, by a likely (second-pass) match
  int FalseExact = 0;   // packets named as a protocol or field that was not sent
  int FalseLikely = 0;  // the same, by a likely match
  int Prefix = 0;   // a cut frame named as the shorter entry it equals (likely: on another clock)
  int Generic = 0;  // packets the generic pass read (noise: should be none)
  int GenericCut = 0;              // frames cut short that the generic pass read
  std::vector<std::string> Wrong;  // "<sent> as <decoded>" for every false decode
  void Add(const TCellCount& Other);
};

// One packet as cut from a recording: its run lengths and where it was triggered.
struct TPacket {
  std::vector<uint16_t> Pulses;
  int64_t StreamIndex = 0;  // at 48 kHz
  double GapSeconds = 0;    // quiet time since the previous packet's last active value
};

// A seeded rendering of codes: where each frame lies in the stream, at 48 kHz.
struct TRendered {
  std::vector<TCode> Codes;
  std::vector<std::pair<int64_t, int64_t>> Spans;
  std::vector<TPacket> Packets;
};

class TReceiverGrid {
 public:
  // Reads the library at LibraryPath; recordings are written under WorkDir. Throws
  // std::runtime_error when the library has load errors.
  TReceiverGrid(const std::string& LibraryPath, const std::string& WorkDir);

  // Renders Count random codes of Facts (any timing source) under Condition, records and cuts
  // them into packets.
  TRendered Render(const TProtocolFacts& Facts, const TGridCondition& Condition, int Count,
                   uint64_t Seed);
  // Renders Codes one after the other under Condition, records and cuts them into packets.
  TRendered Render(std::vector<TCode> Codes, const TGridCondition& Condition, uint64_t Seed);
  // Decodes Rendered's packets with Recognition and compares them with the codes sent.
  static TCellCount Score(const TRendered& Rendered, TProtocolRecognition& Recognition);
  // Render, then Score with the recognition for Condition's settings.
  TCellCount Measure(const TProtocolFacts& Facts, const TGridCondition& Condition, int Count,
                     uint64_t Seed);
  // Count noise bursts, random pulse trains and frames cut short, rendered by a typical
  // receiver: every name but "unknown" is false, except a cut frame that is exactly the frame
  // of a shorter entry (counted in Prefix). Generic reads are counted apart: of bursts and
  // trains in Generic (none should be read), of cut frames, which are regular, in GenericCut.
  TCellCount MeasureNoise(int Count, uint64_t Seed);

  // The one place where decoding settings reach the processor and the decoder: cuts the
  // recording into packets, and gives the recognition for Settings (loaded once per
  // tolerance). Throws TRecordingError for a recording that cannot be read.
  std::vector<TPacket> Cut(const std::string& Recording, const TGridSettings& Settings) const;
  TProtocolRecognition& RecognitionFor(const TGridSettings& Settings);

  // The 44.1 kHz path: "" is the program's own reader; a libsamplerate converter's name
  // ("zoh", "linear", "sinc-fastest", "sinc-medium", "sinc-best") resamples here instead;
  // "native" decodes at the recording's own rate (processor and decoder at 44.1 kHz).
  std::string Resampler;

 private:
  std::string WriteRecording(const TPcmRenderer& Renderer, const TGridCondition& Condition);
  std::vector<short> ResampleHere(const TPcmRenderer& Renderer) const;
  bool Native(const TGridCondition& Condition) const;

  std::string LibraryPath;
  std::string WorkDir;
  int FileNumber = 0;
  // By tolerance and rate.
  std::map<std::tuple<double, uint16_t, bool>, std::unique_ptr<TProtocolRecognition>> Recognitions;
};

// Cuts 8-bit Pcm at Rate into packets with a signal processor running at that rate; indices
// are given at 48 kHz.
std::vector<TPacket> CutAtRate(const std::vector<uint8_t>& Pcm, uint16_t Rate, bool Invert);
