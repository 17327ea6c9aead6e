#include "TDecodeOptions.h"

#include <CLI/CLI.hpp>

#include "TLibraryLoad.h"
#include "TProtocolRecognition.h"
#include "TSignalProcessor.h"

namespace {
using TItem = TDecodeSettings::TItem;

// One command-line option per decoding setting; its name is the setting's own.
struct TSettingOption {
  TItem Item;
  const char* TypeName;
  const char* Help;
};
const TSettingOption SettingOptions[] = {
    {TItem::Tolerance, "US", "Match every duration within +- US microseconds"},
    {TItem::Level, "N|auto",
     "Trigger level: a value of N (130..255) starts a packet and N-1 keeps it open; auto "
     "follows the signal (for weak signals)"},
    {TItem::EndSilence, "MS", "Silence in milliseconds that ends a packet"},
    {TItem::SecondPass, "on|off",
     "A tolerant second try for packets that no definition fits exactly"},
    {TItem::Generic, "on|off",
     "Read packets that no definition fits without one (pulse distance, pulse width, "
     "bi-phase): the bit count and the data as hex bytes"},
};
}  // namespace

void TDecodeOptions::AddTo(CLI::App& App) {
  App.add_option("--protocols", Protocols,
                 "Protocol definitions (default: the first protocols.xml found in the current "
                 "folder, ~/.local/share/vorlent, the program's folder, the installed "
                 "share/vorlent)");
  App.add_flag("--invert", Settings.InvertInput, "Invert the recorded signal before decoding");
  const TDecodeSettings defaults;
  for (const TSettingOption& option : SettingOptions) {
    const std::string name = std::string("--") + TDecodeSettings::Name(option.Item);
    App.add_option_function<std::string>(
           name,
           [this, name, item = option.Item](const std::string& Value) {
             std::string problem = Settings.SetValue(item, Value);
             if (!problem.empty()) throw CLI::ValidationError(name, problem);
           },
           std::string(option.Help) + " (default: " + defaults.ValueText(option.Item) + ")")
        ->type_name(option.TypeName);
  }
}

std::string TDecodeOptions::LibraryFile() const {
  return LibraryNamed() ? Protocols : Locator.Find();
}

std::string TDecodeOptions::Load(TProtocolRecognition& Engine) const {
  const std::string file = LibraryFile();
  if (file.empty()) return Locator.NotFoundText();
  const std::string report = TLibraryLoad::Into(Engine, file);
  return report.empty() ? report : file + ": " + TLibraryLoad::Joined(report, '\n');
}

void TDecodeOptions::Apply(TProtocolRecognition& Engine) const {
  Engine.SampleRate = TDecodeSettings::SampleRate;
  Engine.SetTolerance(Settings.ToleranceSeconds());
  Engine.SecondPass = Settings.SecondPass;
  Engine.GenericPass = Settings.Generic;
}

void TDecodeOptions::Apply(TSignalProcessor& Processor) const {
  Processor.Configure(Settings);
}

std::optional<int> TDecodeOptions::Parse(CLI::App& App, int Argc, const char* const* Argv,
                                         std::ostream& Out, std::ostream& Err) {
  constexpr int HelpShown = 0, UsageError = 2;
  try {
    App.parse(Argc, Argv);
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      App.exit(e, Out, Err);  // --help, --version
      return HelpShown;
    }
    Err << App.get_name() << ": " << e.what() << "\nRun with --help for more information.\n"
        << std::flush;
    return UsageError;
  }
}
