#include "TSendCommand.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numeric>

#include "TCodeLibrary.h"
#include "TDecodeOptions.h"
#include "TDecodeSettings.h"
#include "TIrFormats.h"
#include "TLibraryLoad.h"
#include "TLineReader.h"
#include "TNearestName.h"
#include "TProtocolRecognition.h"
#include "TRegularFileStream.h"
#include "TSendError.h"
#include "TSignalSource.h"
#include "TSoundOutput.h"
#include "TWavFile.h"

namespace {
constexpr double MaxVolumePercent = 100;
constexpr double PercentPerUnit = 100;
constexpr double MillisPerSecond = 1000;

using TMode = TCarrierRenderer::TMode;
const std::map<std::string, TMode> Modes = {{"antiphase", TMode::Antiphase}, {"mono", TMode::Mono}};

// "name=value" as a field value of up to 64 bits (decimal, 0x hexadecimal or 0b binary); throws
// TSendError.
std::pair<std::string, uint64_t> FieldValue(const std::string& Word) {
  const size_t equals = Word.find('=');
  if (equals == std::string::npos || equals == 0)
    throw TSendError("\"" + Word + "\" is no field value (write name=value, e.g. command=8)");
  const std::string name = Word.substr(0, equals), text = Word.substr(equals + 1);
  int base = 10;
  std::string digits = text;
  if (text.starts_with("0x") || text.starts_with("0X")) base = 16, digits = text.substr(2);
  if (text.starts_with("0b") || text.starts_with("0B")) base = 2, digits = text.substr(2);
  size_t used = 0;
  unsigned long long value = 0;
  try {
    if (digits.empty() || digits[0] == '-' || digits[0] == '+') throw std::invalid_argument("");
    value = std::stoull(digits, &used, base);
  } catch (const std::out_of_range&) {
    throw TSendError(name + "=" + text + " is wider than 64 bits, the widest field");
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != digits.size())
    throw TSendError(name + ": \"" + text + "\" is not a whole number");
  return {name, uint64_t{value}};
}
}  // namespace

struct TSendCommand::TRequest {
  std::vector<std::string> Words;  // PROTOCOL name=value ...
  std::string CodeFile, CodeName, Device, Protocols, OutputFile, Mode = "antiphase";
  unsigned Repeats = 0, Rate = 0;
  double HoldMillis = 0, VolumePercent = MaxVolumePercent;
  uint32_t CarrierHz = 0;
};

TSendCommand::TSendCommand(std::ostream& OutIn, std::ostream& ErrIn,
                           std::unique_ptr<TSoundOutput> OutputIn, TLibraryLocator LocatorIn)
    : Out(OutIn), Err(ErrIn), Output(std::move(OutputIn)), Locator(std::move(LocatorIn)) {}

int TSendCommand::Error(const std::string& Text) {
  Err << ProgramName << ": " << Text << "\n" << std::flush;
  return ExitFailed;
}

int TSendCommand::Run(int Argc, const char* const* Argv, const std::atomic<bool>& Stop) {
  CLI::App app("Sends an infrared code through the sound card's output to IR LEDs.", ProgramName);
  TRequest request;
  bool listDevices = false, listProtocols = false;
  app.add_option("CODE", request.Words,
                 "A protocol of the library and its field values: NEC address=4 command=8 "
                 "(a field NAME_inv left out is the complement of NAME)");
  app.add_option("--code", request.CodeFile,
                 "Send a code of this file (Flipper .ir, Pronto Hex, lircd.conf or mode2)");
  app.add_option("--name", request.CodeName, "The code of --code's file to send, by its name");
  auto* repeat = app.add_option("--repeat", request.Repeats,
                                "Frames sent after the first, as the protocol repeats them")
                     ->check(CLI::Range(0u, TCarrierRenderer::MaxRepeats));
  app.add_option("--hold", request.HoldMillis,
                 "Keep sending as a key held this many milliseconds would")
      ->check(CLI::Range(0.0, TCarrierRenderer::MaxHoldMillis))
      ->excludes(repeat);
  app.add_option("--device", request.Device,
                 "The output device: its number, name or a part of it (default: the system's)");
  app.add_flag("--list-devices", listDevices, "List the output devices and end");
  app.add_flag("--list-protocols", listProtocols, "List the protocols and their fields and end");
  app.add_option("--mode", request.Mode,
                 "antiphase: half the carrier on left and right in antiphase, for two LEDs "
                 "anti-parallel between them; mono: the carrier on the left, for one LED "
                 "(needs 96000 Hz)")
      ->check(CLI::IsMember(Modes))
      ->capture_default_str();
  app.add_option("--rate", request.Rate,
                 "Output rate in Hz (default: 48000 in antiphase, 96000 in mono mode)")
      ->check(CLI::Range(8000u, 768000u));
  app.add_option("--volume", request.VolumePercent, "Full scale of the marks in percent")
      ->check(CLI::Range(0.0, MaxVolumePercent))
      ->capture_default_str();
  app.add_option("--carrier", request.CarrierHz,
                 "Carrier in Hz (default: the protocol's or the code's, else 38000)")
      ->check(CLI::Range(uint32_t{1}, TCodeLibrary::MaxCarrierHz));
  app.add_option("--output", request.OutputFile,
                 "Render into this 16-bit PCM WAV file instead of playing");
  app.add_option("--protocols", request.Protocols,
                 "Protocol definitions (default: the first protocols.xml found, as vorlent-decode "
                 "looks for it)");
  if (const std::optional<int> status = TDecodeOptions::Parse(app, Argc, Argv, Out, Err))
    return *status;
  try {
    if (listDevices) return ListDevices();
    if (listProtocols) {
      ListProtocols(*LoadLibrary(request.Protocols));
      return ExitOk;
    }
    return Send(request, Stop);
  } catch (const std::exception& e) {
    return Error(e.what());
  }
}

int TSendCommand::ListDevices() {
  const std::vector<TCaptureDevice> devices = Output->OutputDevices();
  if (devices.empty()) return Error("no output device is present");
  for (const TCaptureDevice& device : devices) Out << device.ListText() << "\n";
  Out << std::flush;
  return ExitOk;
}

void TSendCommand::ListProtocols(const TCodeLibrary& Library) {
  const TSignalSource source(std::make_shared<const TCodeLibrary>(Library));
  for (const std::string& protocol : source.Protocols()) {
    Out << protocol << ":";
    for (const TSignalSource::TField& field : source.FieldsOf(protocol))
      Out << " " << field.Name << "(" << field.Bits << ")";
    Out << "\n";
  }
  Out << std::flush;
}

// The library the user named, else the first one found; an empty one when none is found and
// none was named (raw codes need none). Throws TSendError when a named one cannot be loaded.
std::shared_ptr<const TCodeLibrary> TSendCommand::LoadLibrary(const std::string& Named) {
  const std::string file = Named.empty() ? Locator.Find() : Named;
  if (file.empty()) return std::make_shared<const TCodeLibrary>();
  TProtocolRecognition engine;
  const std::string report = TLibraryLoad::Into(engine, file);
  if (!report.empty()) throw TSendError(file + ": " + TLibraryLoad::Joined(report, ' '));
  return std::make_shared<const TCodeLibrary>(engine);
}

TIrSignal TSendCommand::SignalOf(const TRequest& Request,
                                 std::shared_ptr<const TCodeLibrary> Library) {
  if (!Request.CodeFile.empty()) {
    if (!Request.Words.empty())
      throw TSendError("give either a protocol with its fields or --code, not both");
    return CodeOfFile(Request, std::move(Library));
  }
  if (Request.Words.empty())
    throw TSendError("name a protocol and its fields (NEC address=4 command=8) or --code FILE");
  if (Library->Definitions().empty()) throw TSendError(Locator.NotFoundText());
  TSignalSource::TFieldValues fields;
  for (size_t i = 1; i < Request.Words.size(); ++i) fields.push_back(FieldValue(Request.Words[i]));
  return TSignalSource(std::move(Library)).FromFields(Request.Words[0], fields);
}

// The code of the file named Request.CodeName, or its only code.
TIrSignal TSendCommand::CodeOfFile(const TRequest& Request,
                                   std::shared_ptr<const TCodeLibrary> Library) {
  const std::string& file = Request.CodeFile;
  const TIrFormat* format = TIrFormats::Detect(file);
  if (!format)
    throw TSendError(file + ": neither a Flipper .ir, Pronto Hex, lircd.conf nor mode2 file");
  TRegularFileStream in(file);
  if (!in.IsOpen()) throw TSendError(file + ": " + in.Reason());
  TLineReader lines(in, file);
  const TIrCodeFile codes = format->Read(lines, TDecodeSettings{});
  if (in.ReadFailed()) throw TSendError(file + ": read error");
  for (const std::string& problem : codes.Problems) Err << ProgramName << ": " << problem << "\n";
  std::vector<std::string> names;
  for (const TIrCode& code : codes.Codes) names.push_back(code.Name);
  if (codes.Codes.empty()) throw TSendError(file + ": it holds no code that can be read");
  const auto named = std::find(names.begin(), names.end(), Request.CodeName);
  if (Request.CodeName.empty() && codes.Codes.size() > 1) {
    throw TSendError(file + " holds " + std::to_string(codes.Codes.size()) +
                     " codes; choose one with --name: " +
                     std::accumulate(names.begin(), names.end(), std::string(),
                                     [](std::string a, const std::string& b) {
                                       return a.empty() ? b : a + ", " + b;
                                     }));
  }
  if (!Request.CodeName.empty() && named == names.end()) {
    throw TSendError(file + " holds no code named \"" + Request.CodeName + "\"" +
                     TNearestName::Hint(Request.CodeName, names));
  }
  const size_t index = Request.CodeName.empty() ? 0 : static_cast<size_t>(named - names.begin());
  return TSignalSource(std::move(Library)).FromCode(codes.Codes[index]);
}

int TSendCommand::Send(const TRequest& Request, const std::atomic<bool>& Stop) {
  TCarrierRenderer::TOptions options;
  options.Mode = Modes.at(Request.Mode);
  options.Rate = Request.Rate                  ? Request.Rate
                 : options.Mode == TMode::Mono ? TCarrierRenderer::DefaultMonoRate
                                               : TCarrierRenderer::DefaultRate;
  options.Volume = Request.VolumePercent / PercentPerUnit;
  options.CarrierHz = Request.CarrierHz;
  options.Repeats = Request.Repeats;
  options.HoldMillis = Request.HoldMillis;
  const bool needsLibrary = Request.CodeFile.empty() || !Request.Protocols.empty();
  const TIrSignal signal = SignalOf(Request, needsLibrary || !Locator.Find().empty()
                                                 ? LoadLibrary(Request.Protocols)
                                                 : std::make_shared<const TCodeLibrary>());
  const TCarrierRenderer::TPcm pcm = TCarrierRenderer::Render(signal, options);
  if (!Request.OutputFile.empty()) {
    TWavFile::Write(Request.OutputFile, pcm);
    return ExitOk;
  }
  const std::string problem = Output->Play(Request.Device, pcm.Rate, pcm.Samples, Stop);
  return problem.empty() ? ExitOk : Error(problem);
}
