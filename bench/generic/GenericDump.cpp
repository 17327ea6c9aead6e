// Prints the frames of Flipper .ir files as the generic pass reads them, for tuning:
//   generic_dump FILE [BUTTON]   (every frame of 16 runs or more: its runs in us and its value)
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "TCodeLibrary.h"
#include "TGenericPass.h"
#include "TInputDecoder.h"
#include "TProtocolRecognition.h"

int main(int Argc, char** Argv) {
  if (Argc < 2) {
    std::fprintf(stderr, "usage: generic_dump FILE [BUTTON]\n");
    return 2;
  }
  constexpr uint16_t Rate = TDecodeSettings::SampleRate;
  constexpr size_t MinPulses = 18;
  const std::string button = Argc > 2 ? Argv[2] : "";
  TProtocolRecognition engine;
  auto codes = std::make_shared<const TCodeLibrary>(engine);
  TInputDecoder decoder(TDecodeSettings(), codes);
  size_t index = 0;
  decoder.OnSample = [&](std::unique_ptr<TSample> Sample) {
    if (Sample->Pulses.size() < MinPulses) return;
    if (!button.empty() && Sample->Name != button) return;
    std::printf("%s #%zu:", Sample->Name.c_str(), index++);
    for (uint16_t run : Sample->Pulses) std::printf(" %ld", std::lround(run * 1e6 / Rate));
    const auto frame = TGenericPass::Read(Sample->Pulses, Rate);
    if (!frame) {
      std::printf("\n  -> none\n");
      return;
    }
    std::printf("\n  -> %s %zu bits %s (%s)\n", TGenericFrame::CodingName(frame->Coding),
                frame->Bits.size(), frame->DataText().c_str(), frame->Shape().c_str());
  };
  decoder.Decode(Argv[1]);
  return 0;
}
