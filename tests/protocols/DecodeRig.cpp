#include "DecodeRig.h"

#include <algorithm>
#include <cstdio>

TDecodeRig::TDecodeRig(const std::string& LibraryPath, double EndSilenceMillis) {
  Recognition.SampleRate = SampleRate;
  Recognition.SetTolerance(ToleranceSeconds);
  Recognition.GenericPass = false;  // the library's passes are measured here
  Recognition.OnReport = [this](const std::string& text) { Reports.push_back(text); };
  Recognition.LoadProtocols(LibraryPath);

  auto sound = std::make_unique<TScriptedSoundSystem>();
  Sound = sound.get();
  Processor.OnError = [this](const std::string& text) { Reports.push_back(text); };
  Joiner = std::make_unique<TSilenceJoiner>(Recognition, SampleRate);
  Joiner->OnSample = [this](std::unique_ptr<TSample> Sample) { Record(*Sample); };
  Processor.OnNewSample = [this] {
    if (JoinSilences) return Joiner->Add(std::move(Processor.Samples.back()));
    TSample& sample = *Processor.Samples.back();
    Recognition.Decode(sample);
    Record(sample);
  };
  TDecodeSettings settings;
  settings.EndSilenceMillis = EndSilenceMillis;
  Processor.Configure(settings);
  Processor.Init(&Queue, SampleRate, std::move(sound));
  Processor.StartRecording();
}

void TDecodeRig::Record(const TSample& Sample) {
  TDecoded d{Sample.Protocol->ProtocolName,
             {},
             Sample.Pulses,
             Sample.Protocol->Match == TProtocol::TMatch::Likely};
  for (const TProtocolField& f : Sample.Protocol->Fields) d.Fields.push_back({f.Name, f.Value});
  Decoded.push_back(std::move(d));
}

void TDecodeRig::Pump() {
  while (auto message = Queue.Take()) Processor.ProcessBuffer(*message);
}

std::vector<TDecoded> TDecodeRig::Run(const std::vector<uint8_t>& Pcm) {
  Decoded.clear();
  const size_t closing = 2 * TSignalProcessor::BufferSize;  // closes any open packet
  const size_t total =
      (Pcm.size() + closing) / TSignalProcessor::BufferSize * TSignalProcessor::BufferSize;
  std::vector<uint8_t> stream(total, TSignalProcessor::ZeroLine);
  std::copy(Pcm.begin(), Pcm.end(), stream.begin());
  size_t fed = 0;
  while (fed < stream.size()) {
    const size_t taken = Sound->Feed(stream.data() + fed, stream.size() - fed);
    fed += taken;
    Pump();
    if (taken == 0) break;  // no buffer queued: the processor stopped recording
  }
  Joiner->Finish();
  Processor.ClearSamples();
  return std::move(Decoded);
}

std::string FieldText(const TFields& Fields) {
  std::string text;
  for (const auto& [name, value] : Fields) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", value);
    text += name + "=" + hex + "; ";
  }
  return text;
}

std::vector<uint8_t> RenderStream(const std::vector<TCode>& Codes,
                                  const TRenderConditions& Conditions, TTestRandom& Random) {
  TPcmRenderer renderer(Conditions, Random);
  renderer.AppendSilence(FirstSilenceUs);
  for (const TCode& code : Codes) {
    renderer.Append(code.Frame);
    renderer.AppendSilence(code.LeadOutUs);
  }
  return std::move(renderer.Pcm);
}
