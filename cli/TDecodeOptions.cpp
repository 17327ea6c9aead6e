#include "TDecodeOptions.h"

#include <CLI/CLI.hpp>

#include "U_protocolRecognition.h"

void TDecodeOptions::AddTo(CLI::App& App) {
  App.add_option("--protocols", Protocols,
                 "Protocol definitions (default: protocols.xml in the current directory)");
  App.add_flag("--invert", Settings.InvertInput, "Invert the recorded signal before decoding");
}

std::string TDecodeOptions::LibraryFile() const {
  return LibraryNamed() ? Protocols : TDecodeSettings::LibraryFileName;
}

void TDecodeOptions::Apply(TProtocolRecognition& Engine) const {
  Engine.SampleRate = TDecodeSettings::SampleRate;
  Engine.SetTolerance(Settings.ToleranceSeconds());
}
