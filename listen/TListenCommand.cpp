#include "TListenCommand.h"

#include <CLI/CLI.hpp>

#include "TActionCheck.h"
#include "TActionFile.h"
#include "TCaptureDevice.h"
#include "TCodeLibrary.h"
#include "TListener.h"
#include "TPortAudioSoundSystem.h"
#include "TReportFormats.h"
#include "TProtocolRecognition.h"

#ifndef VORLENT_VERSION
#define VORLENT_VERSION "unknown"
#endif

namespace {
const char* const ProgramName = "vorlent-listen";
constexpr int DefaultReleaseMs = static_cast<int>(TKeyPresses::DefaultReleaseSeconds * 1000);
constexpr double MsPerSecond = 1000;

}  // namespace

TListenCommand::TListenCommand(std::ostream& Output, std::ostream& Errors,
                               TSoundFactory SoundFactory)
    : Out(Output), Err(Errors), NewSound(std::move(SoundFactory)) {
  if (!NewSound) NewSound = [] { return std::make_unique<TPortAudioSoundSystem>(); };
}

int TListenCommand::Run(int Argc, const char* const* Argv, const std::atomic<bool>& StopRequested) {
  CLI::App app{
      "Decodes infrared remote-control packets from a sound input as they arrive and "
      "runs commands for them.",
      ProgramName};
  std::string format = "table", device, actionsFile;
  bool listDevices = false;
  int releaseMs = DefaultReleaseMs;
  Options.AddTo(app);
  app.add_option("--format", format,
                 "Output format: " + TReportFormats::HelpList(TReportFormats::Listen))
      ->check(CLI::IsMember(TReportFormats::Names(TReportFormats::Listen)));
  app.add_flag("--list-devices", listDevices, "List the recording devices and exit");
  app.add_option("--device", device, "Recording device: its number or (part of) its name");
  app.add_option("--actions", actionsFile, "Actions file: PROTOCOL field=value ... = COMMAND");
  app.add_option("--release", releaseMs,
                 "Milliseconds without a frame of a held key that end its press")
      ->check(CLI::Range(MinReleaseMs, MaxReleaseMs));
  app.set_version_flag("--version", std::string(ProgramName) + " " + VORLENT_VERSION);
  if (const std::optional<int> status = TDecodeOptions::Parse(app, Argc, Argv, Out, Err))
    return *status;

  try {
    std::vector<TAction> actions;
    if (!actionsFile.empty()) actions = TActionFile::Read(actionsFile);
    std::unique_ptr<TSoundSystem> sound = NewSound();
    if (listDevices) return ListDevices(*sound);
    TListener::TOptions options;
    options.Format = TReportFormats::Find(TReportFormats::Listen, format);
    options.ReleaseSeconds = releaseMs / MsPerSecond;
    options.Decoding = Options.Settings;
    if (!device.empty()) {
      const std::vector<TCaptureDevice> inputs = sound->InputDevices();
      const TCaptureDevice& chosen = TCaptureDevice::Find(inputs, device);
      sound->SelectInput(chosen.Name);
      options.InputName = chosen.Name;
    }
    TProtocolRecognition engine;
    Options.Apply(engine);
    // Without its library no action could ever run: then it must load.
    const std::string problem = Options.Load(engine);
    if (!problem.empty()) Error(problem);
    if (!problem.empty() && (Options.LibraryNamed() || !actions.empty())) return ExitFailed;
    const TCodeLibrary library(engine);
    TActionCheck(library).Check(actions, actionsFile);

    TListener listener(Out, Err, engine, std::move(actions), options);
    if (!listener.Start(std::move(sound))) return ExitFailed;
    listener.Run(StopRequested);
    listener.Stop();
    return ExitOk;
  } catch (const std::invalid_argument& e) {
    Error("--device " + device + ": " + e.what());
    return ExitFailed;
  } catch (const std::exception& e) {
    Error(e.what());
    return ExitFailed;
  }
}

int TListenCommand::ListDevices(TSoundSystem& Sound) {
  const std::vector<TCaptureDevice> devices = Sound.InputDevices();
  if (devices.empty()) {
    Error("no recording device found");
    return ExitFailed;
  }
  for (const TCaptureDevice& device : devices) Out << device.ListText() << '\n';
  Out << std::flush;
  return ExitOk;
}

void TListenCommand::Error(const std::string& Text) const {
  Err << ProgramName << ": " << Text << '\n' << std::flush;
}
