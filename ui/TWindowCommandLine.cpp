#include "TWindowCommandLine.h"

#include <string_view>

#ifndef VORLENT_VERSION
#define VORLENT_VERSION "unknown"
#endif

namespace {
const char* const Usage =
    "Usage: vorlent [Qt options]\n"
    "Opens the Vorlent window: it decodes infrared remote controls recorded through the sound\n"
    "card's input, imports recordings and code files and exports codes.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "  -platform P    Qt's platform plugin (xcb, wayland, offscreen, ...)\n"
    "\n"
    "Without a window, see vorlent-decode --help and vorlent-listen --help.\n";
const char* const Version = "vorlent " VORLENT_VERSION "\n";

struct TOption {
  std::string_view Long, Short;
  const char* Text;
};
const TOption Options[] = {{"--help", "-h", Usage}, {"--version", "", Version}};
}  // namespace

std::optional<int> TWindowCommandLine::Answer(int Argc, const char* const* Argv,
                                              std::ostream& Out) {
  for (int i = 1; i < Argc && Argv[i]; ++i) {
    const std::string_view argument = Argv[i];
    if (argument == "--") break;
    for (const TOption& option : Options) {
      if (argument != option.Long && (option.Short.empty() || argument != option.Short)) continue;
      Out << option.Text;
      return Success;
    }
  }
  return std::nullopt;
}
