// Fuzzes the readers of infrared code files (Flipper .ir, Pronto Hex, lircd.conf with its
// drawing of codes, mode2): the first byte picks a format, the rest is the file. It is read as
// that format, where every code read must keep the code invariants; what is read is written in
// that format and read back under the same rules; and the file on disk goes through the one
// entry point of both front ends, found by its content, drawn, cut and decoded against the
// shipped library, every packet keeping the packet invariants.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "TCodeLibrary.h"
#include "TDecodeSettings.h"
#include "TFuzzFile.h"
#include "TInputDecoder.h"
#include "TIrFormats.h"
#include "TLineReader.h"
#include "TProtocolRecognition.h"
#include "TRecordingError.h"
#include "TSampleChecks.h"
#include "TShippedDecoder.h"

namespace {
const char* const Name = "codes";

void Require(bool Holds, const char* Rule) {
  if (Holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", Rule);
  std::abort();
}

// Raw codes hold 1 to MaxDurations runs, none empty; the file holds no more than its bound;
// every problem and note names the file.
void CheckCodes(const TIrCodeFile& File) {
  size_t total = 0;
  for (const TIrCode& code : File.Codes) {
    if (code.Parsed()) {
      total += TIrCodeFile::ParsedDurations;
      continue;
    }
    Require(!code.Durations.empty(), "a raw code has durations");
    Require(code.Durations.size() <= TIrCode::MaxDurations, "at most 65535 durations a code");
    for (const uint32_t d : code.Durations) Require(d > 0, "no empty run");
    total += code.Durations.size();
  }
  Require(total <= TIrCodeFile::MaxDurations, "a file holds at most its bound");
  for (const auto* list : {&File.Problems, &File.Notes})
    for (const std::string& text : *list)
      Require(text.rfind(std::string(Name) + ":", 0) == 0, "a problem names its file");
}

TIrCodeFile Read(const TIrFormat& Format, const std::string& Text) {
  std::istringstream in(Text);
  TLineReader lines(in, Name);
  return Format.Read(lines, TDecodeSettings());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  const std::vector<const TIrFormat*>& formats = TIrFormats::All();
  const TIrFormat& format = *formats[Data[0] % formats.size()];
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  const TIrCodeFile file = Read(format, text);
  CheckCodes(file);

  std::vector<TIrCode> written;
  for (const TIrCode& code : file.Codes)
    if (!code.Parsed() || format.WritesParsed()) written.push_back(code);
  std::ostringstream out;
  format.Write(out, written);
  CheckCodes(Read(format, out.str()));

  TFuzzFile disk(Name, Data + 1, Size - 1);
  TInputDecoder decoder({}, std::make_shared<const TCodeLibrary>(TShippedDecoder::Get()));
  try {
    for (auto& sample : decoder.Decode(disk.Path).Samples) {
      TSampleChecks::CheckCut(*sample);
      TShippedDecoder::Get().Decode(*sample);
      TSampleChecks::CheckDecoded(*sample);
    }
  } catch (const TRecordingError&) {
  }
  return 0;
}
