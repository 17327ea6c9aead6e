#include "TCodeExport.h"

#include <algorithm>
#include <cmath>

#include "TCodeLibrary.h"
#include "TEnvelopeSource.h"
#include "TFlipperProtocols.h"
#include "TIrFormat.h"
#include "TRecordingDecoder.h"

namespace {
constexpr double MicrosPerSample = 1e6 / TRecordingDecoder::SampleRate;
constexpr double MicrosPerSecond = 1e6;
constexpr const char* UnknownName = "unknown";
}  // namespace

TCodeExport::TCodeExport(const TIrFormat& FormatIn, std::shared_ptr<const TCodeLibrary> LibraryIn,
                         uint32_t CarrierHzIn)
    : Format(FormatIn),
      Library(LibraryIn ? std::move(LibraryIn) : std::make_shared<const TCodeLibrary>()),
      CarrierHz(CarrierHzIn) {}

std::string TCodeExport::DefaultName(const TSample& Sample) {
  if (!Sample.Protocol) return UnknownName;
  std::string name = Sample.Protocol->ProtocolName;
  for (const TProtocolField& field : Sample.Protocol->Fields)
    name +=
        "_" + field.Name + "=" + (field.Text.empty() ? std::to_string(field.Value) : field.Text);
  std::replace_if(
      name.begin(), name.end(),
      [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; }, '_');
  return name.empty() ? UnknownName : name;
}

// The runs after the leading quiet, without the closing silence, as the remote sent them.
std::vector<uint32_t> TCodeExport::SentDurations(const TSample& Sample) {
  std::vector<uint32_t> durations;
  const std::vector<uint16_t>& pulses = Sample.Pulses;
  for (size_t i = 1; i < pulses.size(); ++i) {
    const bool mark = i % 2 == 1;
    if (!mark && i + 1 == pulses.size()) break;  // the silence that closed the packet
    const double shift =
        mark ? -TEnvelopeSource::ReceiverShiftMicros : TEnvelopeSource::ReceiverShiftMicros;
    const double micros = pulses[i] * MicrosPerSample + shift;
    durations.push_back(static_cast<uint32_t>(std::max(1L, std::lround(micros))));
  }
  if (durations.size() % 2 == 0 && !durations.empty()) durations.pop_back();
  return durations;
}

std::string TCodeExport::DataKey(const TSample& Sample) {
  return Sample.Protocol ? Sample.Protocol->ProtocolName + ": " + Sample.Protocol->GetDataText()
                         : UnknownName;
}

bool TCodeExport::Repeats(const TSample& Sample) const {
  if (Sample.SignalIndex < 0 || Sample.SignalIndex != LastSignal || Sample.Source != LastSource)
    return false;
  const bool noData = Sample.Protocol && Sample.Protocol->ProtocolName != UnknownName &&
                      Sample.Protocol->Fields.empty();
  return noData || DataKey(Sample) == LastFirstFrame;
}

bool TCodeExport::Add(const TSample& Sample, const std::string& Name) {
  if (Repeats(Sample)) return false;
  if (Sample.SignalIndex != LastSignal || Sample.Source != LastSource) {
    LastSignal = Sample.SignalIndex;
    LastSource = Sample.Source;
    LastFirstFrame = DataKey(Sample);
  }
  TIrCode code;
  code.Name = Name.empty() ? DefaultName(Sample) : Name;
  const std::string protocol = Sample.Protocol ? Sample.Protocol->ProtocolName : "";
  code.CarrierHz = CarrierHz ? CarrierHz : Library->CarrierHz(protocol);
  if (Format.WritesParsed() && Sample.Protocol) {
    if (auto parsed = TFlipperProtocols::FromPacket(*Sample.Protocol, *Library)) {
      code.Protocol = parsed->Protocol;
      code.Address = parsed->Address;
      code.Command = parsed->Command;
    }
  }
  if (!code.Parsed()) {
    code.Durations = SentDurations(Sample);
    if (code.Durations.empty()) return false;
  }
  Items.push_back(std::move(code));
  GapsBefore.push_back(Sample.Gap);
  return true;
}

void TCodeExport::Write(std::ostream& Out) const {
  std::vector<TIrCode> codes = Items;
  for (size_t i = 0; i + 1 < codes.size(); ++i) {
    const double gap = std::clamp(GapsBefore[i + 1], 0.0, MaxGapSeconds);
    codes[i].GapMicros = static_cast<uint32_t>(std::lround(gap * MicrosPerSecond));
  }
  Format.Write(Out, codes);
}
