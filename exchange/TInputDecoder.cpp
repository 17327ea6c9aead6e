#include "TInputDecoder.h"

#include <cmath>
#include <numeric>

#include "TCodeError.h"
#include "TCodeLibrary.h"
#include "TEnvelopeSource.h"
#include "TFlipperProtocols.h"
#include "TFrameRenderer.h"
#include "TIrFormats.h"
#include "TLineReader.h"
#include "TRecordingError.h"
#include "TRegularFileStream.h"

namespace {
constexpr const char* NotAnInput =
    "neither an audio recording nor a Flipper .ir, Pronto Hex, lircd.conf or mode2 file";
constexpr size_t TextProbeBytes = 4096;
constexpr size_t MaxProblemsInMessage = 3;
constexpr double MicrosPerMilli = 1000;

// Problems as the reason of a failed file: the first few, then how many more.
std::string Summary(const std::vector<std::string>& Problems) {
  std::string text;
  for (size_t i = 0; i < Problems.size() && i < MaxProblemsInMessage; ++i)
    text += (i ? "\n" : "") + Problems[i];
  if (Problems.size() > MaxProblemsInMessage)
    text += "\n(" + std::to_string(Problems.size() - MaxProblemsInMessage) + " more)";
  return text;
}
}  // namespace

TInputDecoder::TInputDecoder(TRecordingDecoder::TOptions OptionsIn,
                             std::shared_ptr<const TCodeLibrary> LibraryIn)
    : Options(OptionsIn),
      Library(LibraryIn ? std::move(LibraryIn) : std::make_shared<const TCodeLibrary>()) {}

TInputDecoder::TResult TInputDecoder::Decode(const std::string& FileName) {
  const TIrFormats::TDetection detection = TIrFormats::Examine(FileName);
  if (!detection.Refusal.empty()) throw TRecordingError(FileName, detection.Refusal);
  return detection.Format ? DecodeCodes(FileName, *detection.Format) : DecodeRecording(FileName);
}

TInputDecoder::TResult TInputDecoder::DecodeRecording(const std::string& FileName) {
  TRecordingDecoder decoder(Options);
  decoder.OnProgress = OnProgress;
  TResult result;
  decoder.OnSample = [&](std::unique_ptr<TSample> Sample) {
    Sample->Source = FileName;
    if (OnSample)
      OnSample(std::move(Sample));
    else
      result.Samples.push_back(std::move(Sample));
  };
  try {
    Count(decoder.Decode(FileName), result);
  } catch (const TRecordingError&) {
    if (LooksLikeText(FileName)) throw TRecordingError(FileName, NotAnInput);
    throw;
  }
  return result;
}

TInputDecoder::TResult TInputDecoder::DecodeCodes(const std::string& FileName,
                                                  const TIrFormat& Format) {
  TRegularFileStream in(FileName);
  if (!in.IsOpen()) throw TRecordingError(FileName, in.Reason());
  TLineReader lines(in, FileName);
  const TIrCodeFile file = Format.Read(lines, Options);
  if (in.ReadFailed()) throw TRecordingError(FileName, "read error");
  TResult result;
  result.Format = &Format;
  result.Problems = file.Problems;
  result.Notes = file.Notes;
  TEnvelopeSource source;
  std::vector<std::string> names;
  Draw(FileName, file, source, names, result.Problems);
  if (names.empty()) {
    throw TRecordingError(FileName, result.Problems.empty()
                                        ? "it holds no infrared code"
                                        : "no code can be read:\n" + Summary(result.Problems));
  }
  // Clean envelopes: nothing to invert, the default level; the ending silence is the user's.
  TRecordingDecoder::TOptions drawn;
  drawn.EndSilenceMillis = Options.EndSilenceMillis;
  TRecordingDecoder decoder(drawn);
  decoder.OnProgress = OnProgress;
  decoder.OnSample = [&](std::unique_ptr<TSample> Sample) {
    const int signal = source.Signal(Sample->StreamIndex);
    Sample->Source = FileName;
    if (signal >= 0) Sample->Name = names[static_cast<size_t>(signal)];
    Sample->SignalIndex = signal;
    if (OnSample)
      OnSample(std::move(Sample));
    else
      result.Samples.push_back(std::move(Sample));
  };
  Count(decoder.Decode(source), result);
  return result;
}

// Adds every code of File to Source (Names[i] is signal i's); a signal that cannot be drawn (an
// unknown parsed protocol, a value too wide, over a minute long) is named in Problems.
void TInputDecoder::Draw(const std::string& FileName, const TIrCodeFile& File,
                         TEnvelopeSource& Source, std::vector<std::string>& Names,
                         std::vector<std::string>& Problems) const {
  for (const TIrCode& code : File.Codes) {
    try {
      if (code.Parsed()) {
        const TFlipperProtocols::TFrame frame =
            TFlipperProtocols::ToFrame({code.Protocol, code.Address, code.Command}, *Library);
        Source.Add(TFrameRenderer::Render(*frame.Definition, frame.Values), false);
      } else {
        std::vector<double> durations(code.Durations.begin(), code.Durations.end());
        if (std::accumulate(durations.begin(), durations.end(), 0.0) > MaxSignalMicros)
          throw TCodeError("longer than " + std::to_string(std::lround(MaxSignalMicros / 1e6)) +
                           " seconds");
        if (code.GapMicros) durations.push_back(code.GapMicros);
        Source.Add(durations, true,
                   code.GapMeasured ? MeasuredGapMicros() : TEnvelopeSource::MinSilenceAfterMicros);
      }
      Names.push_back(code.Name);
    } catch (const TCodeError& e) {
      const std::string name = code.Name.empty() ? "" : "signal \"" + code.Name + "\": ";
      Problems.push_back(FileName + ":" + std::to_string(code.Line) + ": " + name + e.what());
    }
  }
}

// A captured stream's codes keep the silences measured between them, so that a packet an
// entry reads across a longer silence is joined as from a recording; the cut that split them
// stays a cut.
double TInputDecoder::MeasuredGapMicros() const {
  return Options.EndSilenceMillis * MicrosPerMilli + TEnvelopeSource::ReceiverShiftMicros +
         MeasuredGapMarginMicros;
}

void TInputDecoder::Count(const TRecordingDecoder::TResult& Decoded, TResult& Result) {
  Result.SampleCount = Decoded.SampleCount;
  Result.StreamLength = Decoded.StreamLength;
  Result.Cancelled = Decoded.Cancelled;
  Result.EndsEarly = Decoded.EndsEarly;
}

bool TInputDecoder::LooksLikeText(const std::string& FileName) {
  TRegularFileStream in(FileName);
  if (!in.IsOpen()) return false;  // keep the reader's text
  char buffer[TextProbeBytes];
  in.read(buffer, sizeof buffer);
  const std::streamsize n = in.gcount();
  if (n <= 0) return true;  // empty
  for (std::streamsize i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(buffer[i]);
    if (c == 0 || c == 0x7F || (c < 0x20 && c != '\n' && c != '\r' && c != '\t')) return false;
  }
  return true;
}
