#include "LoopBack.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "TCodeLibrary.h"
#include "TDefinition.h"
#include "TSendError.h"
#include "TWavFile.h"
#include "TXmlNode.h"
#include "TXmlNodeList.h"
#include "TXmlQuery.h"

namespace {
constexpr double FullScale = 32767;
constexpr double MicrosPerSecond = 1e6;
constexpr uint8_t ZeroLine = 128;
constexpr int ConverterFilter = SRC_SINC_MEDIUM_QUALITY;

// The voltage across the LEDs: two anti-parallel between left and right, one from left to
// ground.
double DriveOf(const TCarrierRenderer::TPcm& Pcm, size_t Frame, TCarrierRenderer::TMode Mode) {
  const double left = Pcm.Samples[2 * Frame] / FullScale;
  const double right = Pcm.Samples[2 * Frame + 1] / FullScale;
  return Mode == TCarrierRenderer::TMode::Antiphase ? left - right : left;
}
}  // namespace

std::vector<TInterval> TLedReceiver::Light(const TCarrierRenderer::TPcm& Pcm,
                                           TCarrierRenderer::TMode Mode, bool Whole) {
  std::vector<TInterval> bursts;
  if (Pcm.Rate == 0 || Pcm.Frames() == 0) return bursts;
  // The converter's output between the samples: the drive of the LEDs, band-limited as a sound
  // card's output filter does, flat up to 0.45 of the rate (the 90 % passband of this
  // interpolator; its fastest one passes only 80 %, which dims a 19-20 kHz tone at 48 kHz).
  std::vector<float> drive(Pcm.Frames());
  for (size_t i = 0; i < drive.size(); ++i) drive[i] = static_cast<float>(DriveOf(Pcm, i, Mode));
  std::vector<float> analog(drive.size() * Oversampling + Oversampling);
  SRC_DATA data{};
  data.data_in = drive.data();
  data.input_frames = static_cast<long>(drive.size());
  data.data_out = analog.data();
  data.output_frames = static_cast<long>(analog.size());
  data.src_ratio = Oversampling;
  if (src_simple(&data, ConverterFilter, 1) != 0) return bursts;
  analog.resize(static_cast<size_t>(data.output_frames_gen));
  double brightest = 0;
  for (float& value : analog) {
    value = Mode == TCarrierRenderer::TMode::Antiphase ? std::abs(value) : std::max(0.0f, value);
    brightest = std::max<double>(brightest, value);
  }
  if (brightest <= 0) return bursts;
  // Bursts of pulses above the threshold; Whole widens the end pulses to the dark around them.
  const double step = 1.0 / (Pcm.Rate * Oversampling);
  const auto gap = static_cast<size_t>(MaxPulseGapUs / MicrosPerSecond / step);
  const auto lit = [&](size_t i) { return analog[i] >= LightThreshold * brightest; };
  for (size_t i = 0; i < analog.size(); ++i) {
    if (!lit(i)) continue;
    size_t first = i, last = i;
    for (size_t dark = 0; i + 1 < analog.size() && dark <= gap; ++i) {
      dark = lit(i + 1) ? 0 : dark + 1;
      if (!dark) last = i + 1;
    }
    while (Whole && first > 0 && analog[first - 1] < analog[first]) --first;
    while (Whole && last + 1 < analog.size() && analog[last + 1] < analog[last]) ++last;
    bursts.push_back({static_cast<double>(first) * step, static_cast<double>(last + 1) * step});
    i = last;
  }
  return bursts;
}

std::vector<TInterval> TLedReceiver::Marks(const std::vector<TInterval>& Light, double StretchUs) {
  std::vector<TInterval> marks;
  for (const TInterval& burst : Light) {
    const double end = burst.End + StretchUs / MicrosPerSecond;
    if (!marks.empty() && burst.Start <= marks.back().End)
      marks.back().End = end;
    else
      marks.push_back({burst.Start, end});
  }
  return marks;
}

std::vector<uint8_t> TLedReceiver::Record(const std::vector<TInterval>& Marks, double Seconds) {
  std::vector<double> level(static_cast<size_t>(std::ceil(Seconds * RecordRate)) + 1, 0);
  for (const TInterval& mark : Marks) {
    const double from = mark.Start * RecordRate, to = mark.End * RecordRate;
    for (size_t i = static_cast<size_t>(from); i < level.size() && i < to; ++i)
      level[i] += std::min<double>(i + 1, to) - std::max<double>(i, from);
  }
  std::vector<uint8_t> pcm;
  for (double covered : level)
    pcm.push_back(static_cast<uint8_t>(
        std::lround(ZeroLine + std::min(1.0, covered) * (MarkLevel - ZeroLine))));
  return pcm;
}

bool TLoopResult::Ok() const {
  if (!Refused.empty() || Decoded.size() != 1 || Decoded[0].Name != Protocol) return false;
  const TFields& fields = Decoded[0].Fields;
  if (fields.size() != Sent.size()) return false;
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].first != Sent[i].first || fields[i].second != Sent[i].second) return false;
  return true;
}

std::string TLoopResult::Cause() const {
  if (Ok()) return "";
  if (!Refused.empty()) return "refused";
  if (Decoded.empty()) return "nothing decoded";
  if (Decoded.size() > 1) return "several packets";
  if (Decoded[0].Name != Protocol) return "read as " + Decoded[0].Name;
  return Decoded[0].Likely ? "other fields (second pass)" : "other fields";
}

std::string TLoopResult::Text() const {
  std::ostringstream text;
  text << Protocol << " sent " << FieldText(TFields(Sent.begin(), Sent.end()));
  if (!Refused.empty()) text << "refused: " << Refused;
  text << "(mark stretch " << StretchUs << " us)";
  for (const TDecoded& decoded : Decoded)
    text << "\n  decoded " << decoded.Name << " " << FieldText(decoded.Fields);
  if (Decoded.empty()) text << "\n  nothing decoded";
  return text.str();
}

namespace {
// Values changed so that the decoder's checks admit them (a field that complements another
// holds its complement, an excluded value is drawn again), as a remote of Protocol sends them.
void Admit(const TProtocolRecognition& Engine, const std::string& Protocol,
           TSignalSource::TFieldValues& Values, TTestRandom& Random) {
  const TXmlQuery items(TDefinition::ItemsExpression), one(TDefinition::OneBitExpression),
      zero(TDefinition::ZeroBitExpression);
  for (size_t i = 0; Engine.ProtocolNodes && i < Engine.ProtocolNodes->Count(); ++i) {
    const TXmlNode node = Engine.ProtocolNodes->Item(i);
    if (node.Attribute("name").value_or("") != Protocol) continue;
    const TDefinition checks = TDefinition::Compile(node, {items, one, zero}, ".");
    std::vector<uint64_t> earlier;
    for (const TDefinition::TItem& item : checks.Items) {
      if (item.IsDelimiter || earlier.size() >= Values.size()) continue;
      uint64_t& value = Values[earlier.size()].second;
      const auto bits = static_cast<int>(item.Length);
      if (item.ComplementOf && *item.ComplementOf < earlier.size())
        value = ~earlier[*item.ComplementOf] & ((uint64_t{1} << bits) - 1);
      while (!item.Admits(value, earlier)) value = Random.Bits(bits);
      earlier.push_back(value);
    }
    return;
  }
}
}  // namespace

TLoopBack::TLoopBack(const std::string& Library, const std::string& Decoding, std::string WavFolder)
    : Rig(std::make_unique<TDecodeRig>(Decoding, EndSilenceMillis)), Folder(std::move(WavFolder)) {
  TProtocolRecognition drawing;
  drawing.LoadProtocols(Library);
  const TXmlQuery items(TDefinition::ItemsExpression);
  for (size_t i = 0; drawing.ProtocolNodes && i < drawing.ProtocolNodes->Count(); ++i) {
    const TXmlNode protocol = drawing.ProtocolNodes->Item(i);
    const TXmlNodeList nodes = protocol.SelectNodes(items);
    for (size_t n = 0; n < nodes.Count(); ++n) {
      const auto range = TDefinition::ParseRange(
          nodes.Item(n).Attribute(TDefinition::PlausibleAttribute).value_or(""));
      if (range)
        Plausible[protocol.Attribute("name").value_or("")]
                 [nodes.Item(n).Attribute("name").value_or("")] = *range;
    }
  }
  Signals = std::make_unique<TSignalSource>(std::make_shared<const TCodeLibrary>(drawing));
}

std::vector<TDecoded> TLoopBack::Decode(const std::vector<uint8_t>& Pcm) {
  return Rig->Run(Pcm);
}

uint64_t TLoopBack::Draw(const std::string& Protocol, const TSignalSource::TField& Field,
                         TTestRandom& Random) const {
  if (const auto fields = Plausible.find(Protocol); fields != Plausible.end()) {
    if (const auto range = fields->second.find(Field.Name); range != fields->second.end()) {
      const TDefinition::TRange& r = range->second;
      return r.Low + uint64_t{Random.Bits(32)} % (r.High - r.Low + 1);
    }
  }
  const auto bits = static_cast<int>(Field.Bits);
  if (bits <= 32) return Random.Bits(bits);
  return uint64_t{Random.Bits(bits - 32)} << 32 | Random.Bits(32);
}

TLoopResult TLoopBack::Send(const std::string& Protocol, const TCarrierRenderer::TOptions& Options,
                            TTestRandom& Random, double StretchUs) {
  TLoopResult result;
  result.Protocol = Protocol;
  for (const TSignalSource::TField& field : Signals->FieldsOf(Protocol))
    result.Sent.push_back({field.Name, Draw(Protocol, field, Random)});
  Admit(Rig->Recognition, Protocol, result.Sent, Random);
  const TIrSignal signal = Signals->FromFields(Protocol, result.Sent);
  TCarrierRenderer::TPcm pcm;
  try {
    pcm = TCarrierRenderer::Render(signal, Options);
  } catch (const TSendError& e) {
    result.Refused = e.what();
    return result;
  }
  const std::string wav = Folder + "/loop.wav";
  TWavFile::Write(wav, pcm);
  pcm = TWavFile::Read(wav);

  const std::vector<TInterval> light = TLedReceiver::Light(pcm, Options.Mode, true);
  const std::vector<TInterval> seen = TLedReceiver::Light(pcm, Options.Mode, false);
  const std::vector<double> runs = TCarrierRenderer::Sequence(signal, Options);
  const double period = 1.0 / TCarrierRenderer::Carrier(signal, Options);
  result.RunsMatch = light.size() == (runs.size() + 1) / 2 && seen.size() == light.size();
  double at = 0;
  for (size_t i = 0; i < runs.size(); at += runs[i] / MicrosPerSecond, ++i) {
    if (i % 2 || i / 2 >= light.size()) continue;
    const TInterval& burst = light[i / 2];
    const double end = at + runs[i] / MicrosPerSecond;
    result.TimingErrorPeriods =
        std::max({result.TimingErrorPeriods, std::abs(burst.Start - at) / period,
                  std::abs(burst.End - end) / period});
    if (i / 2 >= seen.size()) continue;
    result.SeenLengthErrorUs.push_back(
        (seen[i / 2].End - seen[i / 2].Start - runs[i] / MicrosPerSecond) * MicrosPerSecond);
  }
  const double drawn = Random.Real(TLedReceiver::MinStretchUs, TLedReceiver::MaxStretchUs);
  const double stretch = StretchUs >= 0 ? StretchUs : drawn;
  result.StretchUs = stretch;
  // The recorder's clock runs on its own: its samples fall anywhere against the marks.
  std::vector<TInterval> marks = TLedReceiver::Marks(seen, stretch);
  const double phase = Random.Real(0, 1 / TLedReceiver::RecordRate);
  for (TInterval& mark : marks) mark = {mark.Start + phase, mark.End + phase};
  const std::vector<uint8_t> recorded =
      TLedReceiver::Record(marks, static_cast<double>(pcm.Frames()) / pcm.Rate + phase);
  result.Decoded = Decode(recorded);
  return result;
}
