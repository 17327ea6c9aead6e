#include "TReceiverGrid.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "DecodeRig.h"
#include "Measure.h"
#include "TMessageQueue.h"
#include "TRecordingDecoder.h"
#include "TScriptedSoundSystem.h"
#include "TSignalProcessor.h"

namespace {
constexpr double OutputRate = TDecodeSettings::SampleRate;  // Hz of the packets
constexpr double RecordingRate44k1 = 44100;                 // Hz
constexpr double MsPerSecond = 1e3;
constexpr double FrameSlackMs = 2;          // a packet this close to a frame belongs to it
constexpr double ClosingSilenceUs = 30000;  // after the last frame
constexpr double ProcessorSilenceMs = TDecodeSettings::DefaultEndSilenceMillis;
static_assert(TSignalProcessor::SilenceSeconds > 0.00499f &&
              TSignalProcessor::SilenceSeconds < 0.00501f);
constexpr double Rc5xMergedPauseMs = 5.334;  // 889 + 3556 + 889 us: cut below this
constexpr int Short16Scale = 256;            // 16-bit steps per 8-bit step
constexpr int FullScale16 = 32767;
constexpr float FloatPer16 = 1.0f / 32768;
constexpr float FloatTo8 = 128;  // as the program's reader scales
constexpr int WeakPeakMin = 150, WeakPeakMax = 170;
constexpr const char* NativeRate = "native";

TGridCondition Condition(std::string Name, TRenderConditions Render) {
  TGridCondition c;
  c.Name = Name;
  c.Render = std::move(Render);
  c.Render.Name = std::move(Name);
  return c;
}

std::vector<TGridCondition> BuildConditions() {
  std::vector<TGridCondition> all;
  all.push_back(Condition("clean", CleanConditions()));
  // Soft edges on a DC-coupled input: marks about 20 us long (the tests' receiver).
  all.push_back(Condition("soft edges", EdgeConditions()));
  all.push_back(Condition("typical", TypicalReceiverConditions()));
  TGridCondition inverted = Condition("inverted", TypicalReceiverConditions());
  inverted.Render.Inverted = true;
  inverted.Settings.Decode.InvertInput = true;
  all.push_back(inverted);
  TGridCondition cd = Condition("44.1 kHz", TypicalReceiverConditions());
  cd.Render.Rate = RecordingRate44k1;
  cd.Path = TRecordingPath::Pcm16StereoAt44k1;
  all.push_back(cd);
  TGridCondition weak = Condition("weak", TypicalReceiverConditions());
  weak.Render.PeakMin = WeakPeakMin;
  weak.Render.PeakMax = WeakPeakMax;
  weak.Settings.Decode.AutomaticLevel = true;
  all.push_back(weak);
  TGridCondition longSpace = Condition("long-space 10 ms", CleanConditions());
  longSpace.Settings.Decode.EndSilenceMillis = 10;
  longSpace.LongSpaceOnly = true;
  all.push_back(longSpace);
  all.push_back(Condition("real clean", WithRealRemoteTiming(CleanConditions())));
  all.push_back(Condition("real typical", WithRealRemoteTiming(TypicalReceiverConditions())));
  return all;
}

TValues AnyValues(const TProtocolFacts& Facts, TTestRandom& Random, bool ReceivableOnly) {
  if (ReceivableOnly) return RandomValues(Facts, Random);
  TValues values;
  for (const TInput& input : Facts.Inputs) values[input.Name] = Random.Bits(input.Bits);
  return values;
}

struct TFileCloser {
  void operator()(SNDFILE* File) const { sf_close(File); }
};

void WriteWav(const std::string& Path, int Rate, int Channels, int Format,
              const std::vector<short>& Frames) {
  SF_INFO info{};
  info.samplerate = Rate;
  info.channels = Channels;
  info.format = SF_FORMAT_WAV | Format;
  std::unique_ptr<SNDFILE, TFileCloser> file(sf_open(Path.c_str(), SFM_WRITE, &info));
  if (!file) throw std::runtime_error(Path + ": " + sf_strerror(nullptr));
  const sf_count_t frames = static_cast<sf_count_t>(Frames.size()) / Channels;
  if (sf_writef_short(file.get(), Frames.data(), frames) != frames)
    throw std::runtime_error(Path + ": " + sf_strerror(file.get()));
}

std::vector<short> Shorts8(const std::vector<uint8_t>& Pcm) {
  std::vector<short> frames(Pcm.size());
  for (size_t i = 0; i < Pcm.size(); ++i) frames[i] = static_cast<short>((Pcm[i] - 128) * 256);
  return frames;
}

short To16(float Level) {
  const long v = std::lround((Level - TPcmRenderer::ZeroLine) * Short16Scale);
  return static_cast<short>(std::clamp(v, -FullScale16 - 1L, static_cast<long>(FullScale16)));
}

int ConverterType(const std::string& Name) {
  static const std::map<std::string, int> types{{"zoh", SRC_ZERO_ORDER_HOLD},
                                                {"linear", SRC_LINEAR},
                                                {"sinc-fastest", SRC_SINC_FASTEST},
                                                {"sinc-medium", SRC_SINC_MEDIUM_QUALITY},
                                                {"sinc-best", SRC_SINC_BEST_QUALITY}};
  const auto found = types.find(Name);
  if (found == types.end()) throw std::invalid_argument("unknown converter " + Name);
  return found->second;
}

std::string Decoded(const TSample& Sample) {
  std::string text = Sample.Protocol->ProtocolName + " {";
  for (const TProtocolField& f : Sample.Protocol->Fields)
    text += f.Name + "=" + std::to_string(f.Value) + "; ";
  return text + "}";
}

bool SameFields(const TFields& Sent, const TProtocol& Got) {
  if (Sent.size() != Got.Fields.size()) return false;
  for (size_t i = 0; i < Sent.size(); ++i)
    if (Sent[i].first != Got.Fields[i].Name || Sent[i].second != Got.Fields[i].Value) return false;
  return true;
}

// Index of the code whose frame holds Index, or -1.
int OwnerOf(const TRendered& Rendered, int64_t Index) {
  const int64_t slack = static_cast<int64_t>(FrameSlackMs * OutputRate / MsPerSecond);
  for (size_t i = 0; i < Rendered.Spans.size(); ++i)
    if (Index >= Rendered.Spans[i].first - slack && Index <= Rendered.Spans[i].second + slack)
      return static_cast<int>(i);
  return -1;
}

const char* const RandomTrain = "random train";

void CountFalse(TCellCount& Count, const TSample& Sample, const std::string& Sent) {
  const bool likely = Sample.Protocol->Match == TProtocol::TMatch::Likely;
  ++(likely ? Count.FalseLikely : Count.FalseExact);
  Count.Wrong.push_back(Sent + " as " + Decoded(Sample) + (likely ? " (likely)" : ""));
}
}  // namespace

const std::vector<TGridCondition>& GridConditions() {
  static const std::vector<TGridCondition> conditions = BuildConditions();
  return conditions;
}

bool ShownIn(const TProtocolFacts& Facts, const TGridCondition& Condition) {
  return Condition.Settings.Decode.EndSilenceMillis > ProcessorSilenceMs || !Facts.LongSilence;
}

bool CountsIn(const TProtocolFacts& Facts, const TGridCondition& Condition) {
  if (!Condition.LongSpaceOnly) return ShownIn(Facts, Condition);
  return Facts.LongSilence || Facts.Receivable != nullptr;
}

void TCellCount::Add(const TCellCount& Other) {
  Total += Other.Total;
  Right += Other.Right;
  RightLikely += Other.RightLikely;
  FalseExact += Other.FalseExact;
  FalseLikely += Other.FalseLikely;
  Prefix += Other.Prefix;
  Generic += Other.Generic;
  GenericCut += Other.GenericCut;
  Wrong.insert(Wrong.end(), Other.Wrong.begin(), Other.Wrong.end());
}

TReceiverGrid::TReceiverGrid(const std::string& Library, const std::string& Dir)
    : LibraryPath(Library), WorkDir(Dir) {
  RecognitionFor(TGridSettings{});
}

TProtocolRecognition& TReceiverGrid::RecognitionFor(const TGridSettings& Settings) {
  std::unique_ptr<TProtocolRecognition>& found = Recognitions[{
      Settings.Decode.ToleranceMicros, Settings.DecodeRate, Settings.Decode.SecondPass}];
  if (found) return *found;
  found = std::make_unique<TProtocolRecognition>();
  std::string report;
  found->OnReport = [&report](const std::string& Text) {
    report = Text;
    std::replace(report.begin(), report.end(), '\r', ' ');  // the window's line breaks
  };
  found->SampleRate = Settings.DecodeRate;
  found->SetTolerance(Settings.Decode.ToleranceSeconds());
  found->SecondPass = Settings.Decode.SecondPass;
  found->LoadProtocols(LibraryPath);
  if (!report.empty()) throw std::runtime_error(LibraryPath + ": " + report);
  return *found;
}

std::vector<TPacket> TReceiverGrid::Cut(const std::string& Recording,
                                        const TGridSettings& Settings) const {
  TRecordingDecoder decoder(Settings.Decode);  // level, ending silence and invert
  std::vector<TPacket> packets;
  decoder.OnSample = [&packets](std::unique_ptr<TSample> Sample) {
    packets.push_back({std::move(Sample->Pulses), Sample->StreamIndex, Sample->Gap});
  };
  decoder.Decode(Recording);
  return packets;
}

std::string TReceiverGrid::WriteRecording(const TPcmRenderer& Renderer,
                                          const TGridCondition& Condition) {
  const std::string path = WorkDir + "/grid-" + std::to_string(FileNumber++) + ".wav";
  if (Condition.Path == TRecordingPath::Pcm8At48k) {
    WriteWav(path, static_cast<int>(Condition.Render.Rate), 1, SF_FORMAT_PCM_U8,
             Shorts8(Renderer.Pcm));
    return path;
  }
  if (!Resampler.empty()) {
    WriteWav(path, static_cast<int>(OutputRate), 1, SF_FORMAT_PCM_U8, ResampleHere(Renderer));
    return path;
  }
  // Stereo as many cards record it: the signal on the first channel, its inverse on the second.
  std::vector<short> frames;
  frames.reserve(2 * Renderer.Levels.size());
  for (float level : Renderer.Levels) {
    const short v = To16(level);
    frames.push_back(v);
    frames.push_back(static_cast<short>(-v - 1));
  }
  WriteWav(path, static_cast<int>(Condition.Render.Rate), 2, SF_FORMAT_PCM_16, frames);
  return path;
}

// The 16-bit values converted to 48 kHz by the named converter and scaled to 8 bits as the
// program's reader scales them.
std::vector<short> TReceiverGrid::ResampleHere(const TPcmRenderer& Renderer) const {
  std::vector<float> in(Renderer.Levels.size());
  for (size_t i = 0; i < in.size(); ++i) in[i] = To16(Renderer.Levels[i]) * FloatPer16;
  const double ratio = OutputRate / RecordingRate44k1;
  std::vector<float> out(static_cast<size_t>(std::ceil(in.size() * ratio)) + 64);
  SRC_DATA data{};
  data.data_in = in.data();
  data.input_frames = static_cast<long>(in.size());
  data.data_out = out.data();
  data.output_frames = static_cast<long>(out.size());
  data.src_ratio = ratio;
  if (int error = src_simple(&data, ConverterType(Resampler), 1))
    throw std::runtime_error(src_strerror(error));
  std::vector<uint8_t> bytes(static_cast<size_t>(data.output_frames_gen));
  for (size_t i = 0; i < bytes.size(); ++i) {
    const long v = std::lrint(std::clamp(out[i], -1.0f, 1.0f) * FloatTo8) + 128;
    bytes[i] = static_cast<uint8_t>(std::clamp(v, 0L, 255L));
  }
  return Shorts8(bytes);
}

TRendered TReceiverGrid::Render(const TProtocolFacts& Facts, const TGridCondition& Condition,
                                int Count, uint64_t Seed) {
  TTestRandom random(Seed);
  const bool cutsRc5xPause = Condition.Settings.Decode.EndSilenceMillis < Rc5xMergedPauseMs;
  std::vector<TCode> codes;
  for (int i = 0; i < Count; ++i) {
    const int source = random.Int(0, static_cast<int>(Facts.Sources.size()) - 1);
    codes.push_back(Facts.Encode(AnyValues(Facts, random, cutsRc5xPause), source));
  }
  return Render(std::move(codes), Condition, Seed + 1);
}

TRendered TReceiverGrid::Render(std::vector<TCode> Codes, const TGridCondition& Condition,
                                uint64_t Seed) {
  TTestRandom random(Seed);
  TPcmRenderer renderer(Condition.Render, random);
  renderer.KeepLevels = Condition.Path == TRecordingPath::Pcm16StereoAt44k1;
  const double toOutput = OutputRate / Condition.Render.Rate;
  TRendered rendered;
  rendered.Codes = std::move(Codes);
  renderer.AppendSilence(FirstSilenceUs);
  for (const TCode& code : rendered.Codes) {
    const auto start = static_cast<int64_t>(static_cast<double>(renderer.Pcm.size()) * toOutput);
    renderer.Append(code.Frame);
    const auto end = static_cast<int64_t>(static_cast<double>(renderer.Pcm.size()) * toOutput);
    rendered.Spans.push_back({start, end});
    renderer.AppendSilence(code.LeadOutUs);
  }
  renderer.AppendSilence(ClosingSilenceUs);
  if (Native(Condition)) {
    rendered.Packets = CutAtRate(renderer.Pcm, static_cast<uint16_t>(Condition.Render.Rate),
                                 Condition.Settings.Decode.InvertInput);
    return rendered;
  }
  const std::string path = WriteRecording(renderer, Condition);
  rendered.Packets = Cut(path, Condition.Settings);
  std::filesystem::remove(path);
  return rendered;
}

bool TReceiverGrid::Native(const TGridCondition& Condition) const {
  return Resampler == NativeRate && Condition.Path == TRecordingPath::Pcm16StereoAt44k1;
}

std::vector<TPacket> CutAtRate(const std::vector<uint8_t>& Pcm, uint16_t Rate, bool Invert) {
  TMessageQueue queue;
  auto sound = std::make_unique<TScriptedSoundSystem>();
  TScriptedSoundSystem& feed = *sound;
  TSignalProcessor processor;
  std::vector<TPacket> packets;
  const double toOutput = OutputRate / Rate;
  processor.OnNewSample = [&] {
    const TSample& s = *processor.Samples.back();
    packets.push_back(
        {s.Pulses, std::lround(static_cast<double>(s.StreamIndex) * toOutput), s.Gap});
  };
  processor.Init(&queue, Rate, std::move(sound));
  TDecodeSettings settings;
  settings.InvertInput = Invert;
  processor.Configure(settings);
  processor.StartRecording();
  const size_t buffer = TSignalProcessor::BufferSize;
  std::vector<uint8_t> stream((Pcm.size() / buffer + 2) * buffer, TSignalProcessor::ZeroLine);
  std::copy(Pcm.begin(), Pcm.end(), stream.begin());
  for (size_t fed = 0; fed < stream.size();) {
    const size_t taken = feed.Feed(stream.data() + fed, stream.size() - fed);
    while (auto message = queue.Take()) processor.ProcessBuffer(*message);
    if (taken == 0) break;
    fed += taken;
  }
  return packets;
}

TCellCount TReceiverGrid::Score(const TRendered& Rendered, TProtocolRecognition& Recognition) {
  TCellCount count;
  count.Total = static_cast<int>(Rendered.Codes.size());
  std::vector<int> packetsOf(Rendered.Codes.size(), 0);
  std::vector<int> rightOf(Rendered.Codes.size(), 0), likelyOf(Rendered.Codes.size(), 0);
  for (const TPacket& packet : Rendered.Packets) {
    TSample sample;
    sample.Pulses = packet.Pulses;
    Recognition.Decode(sample);
    const int owner = OwnerOf(Rendered, packet.StreamIndex);
    if (owner >= 0) ++packetsOf[owner];
    if (sample.Protocol->ProtocolName == "unknown") continue;
    if (sample.Protocol->Match == TProtocol::TMatch::Generic) {  // the library named nothing
      ++count.Generic;
      continue;
    }
    const TCode* sent = owner >= 0 ? &Rendered.Codes[owner] : nullptr;
    if (sent && sample.Protocol->ProtocolName == sent->Entry &&
        SameFields(sent->Fields, *sample.Protocol)) {
      ++rightOf[owner];
      likelyOf[owner] += sample.Protocol->Match == TProtocol::TMatch::Likely;
      continue;
    }
    CountFalse(count, sample, sent ? sent->Entry + " {" + FieldText(sent->Fields) + "}" : "noise");
  }
  for (size_t i = 0; i < Rendered.Codes.size(); ++i) {
    if (packetsOf[i] != 1 || rightOf[i] != 1) continue;
    ++count.Right;
    count.RightLikely += likelyOf[i];
  }
  return count;
}

TCellCount TReceiverGrid::Measure(const TProtocolFacts& Facts, const TGridCondition& Condition,
                                  int Count, uint64_t Seed) {
  TGridSettings settings = Condition.Settings;
  if (Native(Condition)) settings.DecodeRate = static_cast<uint16_t>(Condition.Render.Rate);
  return Score(Render(Facts, Condition, Count, Seed), RecognitionFor(settings));
}

TCellCount TReceiverGrid::MeasureNoise(int Count, uint64_t Seed) {
  TTestRandom random(Seed);
  const TGridCondition typical = Condition("noise", TypicalReceiverConditions());
  TCellCount count;
  // Bursts of random values, a quarter of Count.
  std::vector<uint8_t> noise(static_cast<size_t>(FirstSilenceUs * OutputRate / 1e6), 128);
  for (int burst = 0; burst < Count / 4; ++burst) {
    const int length = random.Int(10, 2000);
    for (int i = 0; i < length; ++i) noise.push_back(static_cast<uint8_t>(random.Bits(8)));
    noise.insert(noise.end(), 600, 128);
  }
  noise.insert(noise.end(), 2000, 128);
  const std::string path = WorkDir + "/noise-" + std::to_string(FileNumber++) + ".wav";
  WriteWav(path, static_cast<int>(OutputRate), 1, SF_FORMAT_PCM_U8, Shorts8(noise));
  TRendered bursts;
  bursts.Packets = Cut(path, typical.Settings);
  std::filesystem::remove(path);
  count.Add(Score(bursts, RecognitionFor(typical.Settings)));
  count.Total += static_cast<int>(bursts.Packets.size());
  // Random pulse trains (a quarter) and frames of every protocol cut short (half).
  TPcmRenderer renderer(typical.Render, random);
  TRendered cut;
  renderer.AppendSilence(FirstSilenceUs);
  const std::vector<TProtocolFacts>& catalogue = ProtocolCatalogue();
  for (int i = 0; i < Count - Count / 4; ++i) {
    TCode code;
    if (i < Count / 4) {
      const int runs = random.Int(3, 100) | 1;
      for (int r = 0; r < runs; ++r)
        code.Frame.Add(r % 2 == 0 ? random.Real(150, 4000) : -random.Real(150, 4800));
      code.Entry = RandomTrain;
    } else {
      const TProtocolFacts& facts = catalogue[static_cast<size_t>(i) % catalogue.size()];
      const TCode whole = facts.Encode(RandomValues(facts, random), 0);
      int marks = 0;
      for (const TRun& r : whole.Frame.Runs) marks += r.Mark;
      if (marks < 3) continue;
      const int keep = random.Int(1, marks - 2);
      int kept = 0;
      for (const TRun& r : whole.Frame.Runs) {
        code.Frame.Add(r.Mark ? r.Us : -r.Us);
        if (r.Mark && ++kept == keep) break;
      }
      code.Entry = whole.Entry;
    }
    code.LeadOutUs = 20000;
    const int64_t start = static_cast<int64_t>(renderer.Pcm.size());
    renderer.Append(code.Frame);
    cut.Spans.push_back({start, static_cast<int64_t>(renderer.Pcm.size())});
    renderer.AppendSilence(code.LeadOutUs);
    cut.Codes.push_back(std::move(code));
  }
  renderer.AppendSilence(ClosingSilenceUs);
  const std::string trains = WriteRecording(renderer, typical);
  cut.Packets = Cut(trains, typical.Settings);
  std::filesystem::remove(trains);
  TProtocolRecognition& recognition = RecognitionFor(typical.Settings);
  for (const TPacket& packet : cut.Packets) {
    TSample sample;
    sample.Pulses = packet.Pulses;
    recognition.Decode(sample);
    ++count.Total;
    const std::string& name = sample.Protocol->ProtocolName;
    if (name == "unknown") continue;
    const int owner = OwnerOf(cut, packet.StreamIndex);
    const std::string sent = owner >= 0 ? cut.Codes[owner].Entry : "noise";
    if (sample.Protocol->Match == TProtocol::TMatch::Generic) {
      const bool train = owner < 0 || cut.Codes[owner].Entry == RandomTrain;
      ++(train ? count.Generic : count.GenericCut);
      if (train) count.Wrong.push_back(sent + " as generic " + Decoded(sample));
      continue;
    }
    const bool likely = sample.Protocol->Match == TProtocol::TMatch::Likely;
    if (PrefixEntriesOf(sent).count(name) || (likely && ClockPrefixEntriesOf(sent).count(name))) {
      ++count.Prefix;
      continue;
    }
    CountFalse(count, sample, sent + " (cut)");
  }
  return count;
}
