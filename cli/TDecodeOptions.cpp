#include "TDecodeOptions.h"

#include <CLI/CLI.hpp>

#include "U_protocolRecognition.h"

void TDecodeOptions::AddTo(CLI::App& App) {
  App.add_option("--protocols", Protocols,
                 "Protocol definitions (default: the first protocols.xml found in the current "
                 "folder, ~/.local/share/vorlent, the program's folder, the installed "
                 "share/vorlent)");
  App.add_flag("--invert", Settings.InvertInput, "Invert the recorded signal before decoding");
}

std::string TDecodeOptions::LibraryFile() const {
  return LibraryNamed() ? Protocols : Locator.Find();
}

void TDecodeOptions::Apply(TProtocolRecognition& Engine) const {
  Engine.SampleRate = TDecodeSettings::SampleRate;
  Engine.SetTolerance(Settings.ToleranceSeconds());
}
