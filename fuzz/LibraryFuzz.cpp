// Fuzzes the protocol library: any bytes as protocols.xml, read from disk by the loader, then
// every example packet decoded against it and described. Decoding must stay bounded and keep
// the packet invariants, whatever the definitions say.

#include <string>

#include "TDecodeSettings.h"
#include "TFuzzFile.h"
#include "TFuzzPackets.h"
#include "TProtocolRecognition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const auto& packets = TFuzzPackets::All();
  TFuzzFile library("protocols.xml", Data, Size);
  TProtocolRecognition engine;
  engine.SampleRate = TDecodeSettings::SampleRate;
  engine.SetTolerance(TDecodeSettings{}.ToleranceSeconds());
  engine.OnReport = [](const std::string&) {};
  engine.LoadProtocols(library.Path);
  for (const auto& packet : packets) {
    TSample sample;
    sample.Signal = packet->Signal;
    sample.Pulses = packet->Pulses;
    engine.Decode(sample);
    TSampleChecks::CheckDecoded(sample);
    std::string url, description;
    engine.GetDescription(sample.Protocol->ProtocolName, url, description);
  }
  return 0;
}
