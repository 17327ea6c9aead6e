// send_loopback: random codes of every definition the output carries, rendered, written to a
// WAV file and read back, through the model of the LEDs and a demodulating receiver (marks
// stretched by a drawn 50-150 us), recorded as 48 kHz 8-bit and decoded by the capture path.
// Prints the share decoded as sent per output, per stretch band and per definition, and the
// largest timing error of the light, and the codes that did not come back by definition and
// cause.
// With a definition's name, sends only that one and prints every code that does not come back,
// with the runs recorded (us).
//   send_loopback [FRAMES [MIN_STRETCH_US MAX_STRETCH_US [SEED [DEFINITION]]]]

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "LoopBack.h"

namespace {
using TMode = TCarrierRenderer::TMode;
struct TOutput {
  const char* Name;
  TMode Mode;
  unsigned Rate;
};
constexpr TOutput Outputs[] = {{"antiphase 48 kHz", TMode::Antiphase, 48000},
                               {"mono 96 kHz", TMode::Mono, 96000},
                               {"antiphase 96 kHz", TMode::Antiphase, 96000}};
constexpr int Bands = 4;

struct TTally {
  int Sent = 0, Back = 0;
  void Add(bool Ok) {
    ++Sent;
    Back += Ok;
  }
  double Share() const { return Sent ? 100.0 * Back / Sent : 0; }
};
constexpr double MicrosPerRecordedSample = 1e6 / TLedReceiver::RecordRate;

void PrintFailure(const TLoopResult& Result) {
  std::printf("%s\n", Result.Text().c_str());
  for (const TDecoded& decoded : Result.Decoded) {
    std::printf("  runs:");
    for (uint16_t run : decoded.Pulses) std::printf(" %.0f", run * MicrosPerRecordedSample);
    std::printf("\n");
  }
}
// The codes lost, most first, each as a share of its output's frames.
void PrintLosses(const std::map<std::tuple<std::string, std::string, std::string>, int>& Lost,
                 int Frames) {
  std::vector<std::pair<int, std::tuple<std::string, std::string, std::string>>> sorted;
  for (const auto& [key, count] : Lost) sorted.push_back({count, key});
  std::sort(sorted.begin(), sorted.end(), [](const auto& A, const auto& B) {
    return A.first != B.first ? A.first > B.first : A.second < B.second;
  });
  std::printf(
      "\n| output | definition | cause | codes lost | of the output's frames |\n"
      "|---|---|---|---|---|\n");
  for (const auto& [count, key] : sorted)
    std::printf("| %s | %s | %s | %d | %.2f %% |\n", std::get<0>(key).c_str(),
                std::get<1>(key).c_str(), std::get<2>(key).c_str(), count, 100.0 * count / Frames);
}
}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 10000;
  const double minStretch = argc > 3 ? std::atof(argv[2]) : TLedReceiver::MinStretchUs;
  const double maxStretch = argc > 3 ? std::atof(argv[3]) : TLedReceiver::MaxStretchUs;
  const uint64_t seed = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1;
  const std::string only = argc > 5 ? argv[5] : "";
  std::string pattern = (std::filesystem::temp_directory_path() / "vorlent-bench-XXXXXX").string();
  const std::string folder = mkdtemp(pattern.data());
  const std::string library = std::string(VORLENT_DATA_DIR) + "/protocols.xml";
  TLoopBack loop(library, library, folder);
  std::printf("%d frames per output, receiver mark stretch %.0f..%.0f us, seed %llu\n\n", frames,
              minStretch, maxStretch, static_cast<unsigned long long>(seed));
  std::map<std::string, std::map<std::string, TTally>> perProtocol;
  // (output, definition, cause) -> codes lost
  std::map<std::tuple<std::string, std::string, std::string>, int> lost;
  std::printf(
      "| output | decoded as sent | stretch band 1 | 2 | 3 | 4 | light edge error, max | "
      "mark seen less mark sent: mean (min..max) |\n"
      "|---|---|---|---|---|---|---|---|\n");
  for (const TOutput& output : Outputs) {
    TTestRandom random(seed);
    const TCarrierRenderer::TOptions options{.Mode = output.Mode, .Rate = output.Rate};
    std::vector<std::string> carried;
    for (const std::string& protocol : loop.Source().Protocols()) {
      TSignalSource::TFieldValues zeros;
      for (const TSignalSource::TField& field : loop.Source().FieldsOf(protocol))
        zeros.push_back({field.Name, 0});
      const uint32_t carrier =
          TCarrierRenderer::Carrier(loop.Source().FromFields(protocol, zeros), options);
      if (TCarrierRenderer::Refusal(carrier, options).empty() && (only.empty() || only == protocol))
        carried.push_back(protocol);
    }
    if (carried.empty()) continue;
    TTally all, bands[Bands];
    double worst = 0, lengthSum = 0, shortest = 1e9, longest = -1e9;
    size_t lengths = 0;
    for (int i = 0; i < frames; ++i) {
      const std::string& protocol = carried[random.Bits(31) % carried.size()];
      const double stretch = random.Real(minStretch, maxStretch);
      const TLoopResult result = loop.Send(protocol, options, random, stretch);
      const int band = std::min(
          Bands - 1,
          static_cast<int>((stretch - minStretch) / (maxStretch - minStretch + 1e-9) * Bands));
      all.Add(result.Ok());
      bands[band].Add(result.Ok());
      perProtocol[protocol][output.Name].Add(result.Ok());
      if (!result.Ok()) ++lost[{output.Name, protocol, result.Cause()}];
      worst = std::max(worst, result.TimingErrorPeriods);
      for (double error : result.SeenLengthErrorUs) {
        lengthSum += error;
        ++lengths;
        shortest = std::min(shortest, error);
        longest = std::max(longest, error);
      }
      if (!only.empty() && !result.Ok()) PrintFailure(result);
    }
    std::printf(
        "| %s | %.2f %% (%d of %d) | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.2f periods | "
        "%+.0f us (%+.0f..%+.0f) |\n",
        output.Name, all.Share(), all.Back, all.Sent, bands[0].Share(), bands[1].Share(),
        bands[2].Share(), bands[3].Share(), worst, lengths ? lengthSum / lengths : 0, shortest,
        longest);
  }
  std::printf("\n| definition |");
  for (const TOutput& output : Outputs) std::printf(" %s |", output.Name);
  std::printf("\n|---|---|---|---|\n");
  for (const std::string& protocol : loop.Source().Protocols()) {
    if (!only.empty() && protocol != only) continue;
    std::printf("| %s |", protocol.c_str());
    for (const TOutput& output : Outputs) {
      const auto found = perProtocol[protocol].find(output.Name);
      if (found == perProtocol[protocol].end())
        std::printf(" refused |");
      else
        std::printf(" %.0f %% |", found->second.Share());
    }
    std::printf("\n");
  }
  PrintLosses(lost, frames);
  std::filesystem::remove_all(folder);
  return 0;
}
