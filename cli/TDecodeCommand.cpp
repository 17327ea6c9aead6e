#include "TDecodeCommand.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "TCodeExport.h"
#include "TCodeLibrary.h"
#include "TFileError.h"
#include "TInputDecoder.h"
#include "TIrFormats.h"
#include "TNoPacketsText.h"
#include "TProgressBar.h"
#include "TProtocolLearner.h"
#include "TProtocolRecognition.h"
#include "TRecordingDecoder.h"
#include "TRecordingError.h"
#include "TSilenceJoiner.h"
#include "TSignalProcessor.h"
#include "TUserLibrary.h"

#ifndef VORLENT_VERSION
#define VORLENT_VERSION "unknown"
#endif

namespace {
const char* const ProgramName = "vorlent-decode";
const char* const SampleIndexExtension = ".map";
const char* const InvertOption = "--invert";
const char* const NoSampleFilePackets = "No packets in ";
constexpr uint32_t MaxCarrierHz = TCodeLibrary::MaxCarrierHz;

const char* const CodeFormatsHelp =
    "codes to use elsewhere: flipper (.ir), pronto, lirc (lircd.conf) or mode2";

bool IsSampleIndex(const std::string& Name) {
  std::string ext = std::filesystem::path(Name).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == SampleIndexExtension;
}

}  // namespace

int TDecodeCommand::Run(int Argc, const char* const* Argv) {
  CLI::App app{"Decodes infrared remote-control packets in recordings and saved samples.",
               ProgramName};
  std::string format = "table";
  std::vector<std::string> inputs;
  Options.AddTo(app);
  std::vector<std::string> formats = TReportFormats::Names(TReportFormats::Decode);
  for (const TIrFormat* code : TIrFormats::All()) formats.push_back(code->Name());
  app.add_option("--format", format,
                 "Output format: " + TReportFormats::HelpList(TReportFormats::Decode) + ", or " +
                     CodeFormatsHelp)
      ->check(CLI::IsMember(formats));
  app.add_option("--carrier", CarrierHz,
                 "Carrier in Hz of the exported codes (default: each protocol's, else 38000)")
      ->check(CLI::Range(uint32_t{1}, MaxCarrierHz));
  app.add_option("INPUT", inputs,
                 "Audio files (WAV, FLAC, AIFF, ...), saved .map files, or code files "
                 "(Flipper .ir, Pronto Hex, lircd.conf, mode2)")
      ->required();
  app.add_option("--learn", LearnName,
                 "Learn a protocol named NAME from the inputs' unknown and generic packets (one "
                 "remote) and print its definition instead of the packets");
  app.add_option("--learn-into", LearnInto,
                 "With --learn: also add the definition to FILE (atomically; made from the "
                 "library in use when missing), e.g. ~/.local/share/vorlent/protocols.xml")
      ->needs("--learn");
  app.set_version_flag("--version", std::string(ProgramName) + " " + VORLENT_VERSION);
  if (const std::optional<int> status = TDecodeOptions::Parse(app, Argc, Argv, Out, Err))
    return *status;

  try {
    TProtocolRecognition engine;
    Options.Apply(engine);
    const std::string problem = Options.Load(engine);
    if (!problem.empty()) Error(problem);
    bool ok = problem.empty() || !Options.LibraryNamed();
    Library = std::make_shared<const TCodeLibrary>(engine);

    const bool named = std::any_of(inputs.begin(), inputs.end(), [](const std::string& Input) {
      return TIrFormats::Detect(Input) != nullptr;
    });
    const TIrFormat* codes = TIrFormats::Find(format);
    std::ostringstream learning;  // --learn prints the definition, not the packets
    TPacketReport report(
        LearnName.empty() ? Out : learning,
        codes ? TPacketReport::TFormat::Codes
              : TReportFormats::Find(TReportFormats::Decode, format),
        inputs.size() > 1, named,
        codes ? std::make_unique<TCodeExport>(*codes, Library, CarrierHz) : nullptr);
    for (const std::string& input : inputs) ok = DecodeInput(engine, report, input) && ok;
    if (!LearnName.empty()) return ok ? Learn() : ExitInputFailed;
    report.Finish();
    return ok ? ExitOk : ExitInputFailed;
  } catch (const std::exception& e) {
    Error(e.what());
    return ExitInputFailed;
  }
}

// Decodes one input into the report; false (reported) when it could not be read whole.
bool TDecodeCommand::DecodeInput(TProtocolRecognition& Engine, TPacketReport& Report,
                                 const std::string& Input) {
  Report.BeginInput(Input);
  bool ok = true;
  try {
    if (IsSampleIndex(Input)) {
      // One line on stderr when nothing was found; the exit status stays as it is.
      if (DecodeSampleFiles(Engine, Report, Input) == 0) Error(NoSampleFilePackets + Input + ".");
    } else {
      ok = DecodeRecording(Engine, Report, Input);
    }
  } catch (const TRecordingError& e) {
    Error(e.what());
    ok = false;
  } catch (const TFileError& e) {  // names its file already
    Error(e.what());
    ok = false;
  } catch (const std::exception& e) {
    Error(Input + ": " + e.what());
    ok = false;
  }
  Report.EndInput();
  return ok;
}

// Decodes a recording or a code file; false when signals of a code file were left out (each
// is reported with its line and the reason).
bool TDecodeCommand::DecodeRecording(TProtocolRecognition& Engine, TPacketReport& Report,
                                     const std::string& Input) {
  TInputDecoder decoder(Options.Settings, Library);
  TProgressBar bar(Err, Terminal, std::string(ProgramName) + ": " + Input);
  TSilenceJoiner joiner(Engine, TRecordingDecoder::SampleRate);
  joiner.OnSample = [&](std::unique_ptr<TSample> Sample) { Deliver(Report, *Sample); };
  decoder.OnSample = [&](std::unique_ptr<TSample> Sample) { joiner.Add(std::move(Sample)); };
  decoder.OnProgress = [&bar](double Fraction) {
    bar.Update(Fraction);
    return true;
  };
  const TInputDecoder::TResult result = decoder.Decode(Input);
  joiner.Finish();
  for (const std::string& note : result.Notes) Error("note: " + note);
  for (const std::string& problem : result.Problems) Error(problem);
  // One line on stderr when nothing was found; the exit status stays as it is.
  if (result.SampleCount == 0 && !result.Cancelled)
    Error(TNoPacketsText::For(Input, Options.Settings.InvertInput, InvertOption));
  // The packets up to a cut are reported; the cut then fails the input.
  if (!result.EndsEarly.empty()) throw TRecordingError(Input, result.EndsEarly);
  return result.Problems.empty();
}

size_t TDecodeCommand::DecodeSampleFiles(TProtocolRecognition& Engine, TPacketReport& Report,
                                         const std::string& Input) {
  std::error_code error;
  std::string data = TSignalProcessor::DataFileName(Input);
  if (std::filesystem::exists(Input, error) && !std::filesystem::exists(data, error))
    throw std::runtime_error("data file " + data + " not found");
  TSignalProcessor processor;
  processor.SampleRate = TRecordingDecoder::SampleRate;
  Options.Apply(processor);
  std::string note;
  std::vector<std::unique_ptr<TSample>> samples = processor.ReadSamples(Input, &note);
  for (auto& sample : samples) {
    Engine.Decode(*sample);
    Deliver(Report, *sample);
  }
  if (!note.empty()) Error(note + ".");
  return samples.size();
}

void TDecodeCommand::Deliver(TPacketReport& Report, const TSample& Sample) {
  if (LearnName.empty()) return Report.Add(Sample);
  const TProtocol* protocol = Sample.Protocol.get();
  if (!protocol || !protocol->Known() || protocol->Match == TProtocol::TMatch::Generic)
    LearnPackets.push_back(Sample.Pulses);
}

int TDecodeCommand::Learn() {
  const TProtocolLearner::TResult learned = TProtocolLearner::Learn(
      LearnName, LearnPackets, TDecodeSettings::SampleRate, Options.Settings.ToleranceMicros);
  if (learned.Xml.empty()) {
    Error("nothing learned: " + learned.Problem + ".");
    return ExitInputFailed;
  }
  Out << learned.Xml << std::flush;
  Err << ProgramName << ": learned from " << learned.Learned << " packets";
  if (learned.Unread) Err << ", " << learned.Unread << " unreadable";
  if (learned.LeftOut)
    Err << ", " << learned.LeftOut << " not fitting the remote's widths left out";
  if (learned.OtherCoding) Err << ", " << learned.OtherCoding << " of another coding left out";
  Err << ".\n" << learned.Notes << std::flush;
  if (LearnInto.empty()) return ExitOk;
  const std::string problem =
      TUserLibrary::Add(LearnInto, Options.LibraryFile(), LearnName, learned.Xml);
  if (!problem.empty()) {
    Error(problem);
    return ExitInputFailed;
  }
  Err << ProgramName << ": added \"" << LearnName << "\" to " << LearnInto << ".\n" << std::flush;
  return ExitOk;
}

void TDecodeCommand::Error(const std::string& Text) const {
  Err << ProgramName << ": " << Text << '\n' << std::flush;
}
