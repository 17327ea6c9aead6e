// receiver_grid: how the library decodes every protocol under each receiver condition, and
// where each definition's windows decode best over all of them.
//
//   receiver_grid [--packets N] [--seed S] [--noise N] [--protocols FILE] [--only ENTRY]
//                 [--condition NAME]
//                 [--resampler zoh|linear|sinc-fastest|sinc-medium|sinc-best|native] [--centre]

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <pugixml.hpp>
#include <sstream>

#include "TReceiverGrid.h"

namespace {
constexpr int ShiftStepUs = 5;
constexpr int ShiftRangeUs = 60;
constexpr double PlateauShare = 0.99;  // shifts within this share of the best are listed
constexpr double LongEndSilenceMs = 10;
constexpr const char* SoftEdges = "soft edges";

std::string Percent(int Right, int Total) {
  if (Total == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 100.0 * Right / Total);
  return text;
}

std::string OnlyCondition;  // --condition

bool Measured(const TGridCondition& Condition) {
  return OnlyCondition.empty() || Condition.Name == OnlyCondition;
}

// Pattern with every mark longer and every space shorter by ShiftUs.
std::string Shifted(const std::string& Pattern, int ShiftUs) {
  std::string out;
  bool mark = !Pattern.empty() && Pattern[0] == '#';
  size_t at = 0;
  while (at < Pattern.size()) {
    if (Pattern[at] == '#' || Pattern[at] == '_') ++at;
    const size_t end = Pattern.find_first_of("#_", at);
    const int us = std::stoi(Pattern.substr(at, end - at));
    out += (mark ? "#" : "_") + std::to_string(mark ? us + ShiftUs : us - ShiftUs);
    mark = !mark;
    at = end == std::string::npos ? Pattern.size() : end;
  }
  return out;
}

// The library with Entry's timings shifted by ShiftUs (the closing silence left as it is).
void WriteShiftedLibrary(const std::string& From, const std::string& To, const std::string& Entry,
                         int ShiftUs) {
  pugi::xml_document doc;
  if (!doc.load_file(From.c_str())) throw std::runtime_error(From + ": cannot be read");
  for (pugi::xml_node p : doc.child("protocols").children("protocol")) {
    if (Entry != p.attribute("name").value()) continue;
    for (pugi::xml_node bit : p.child("bitset").children("bit"))
      bit.text().set(Shifted(bit.text().get(), ShiftUs).c_str());
    for (pugi::xml_node d : p.child("packet").children("delimiter"))
      if (std::string(d.attribute("name").value()) != "end")
        d.text().set(Shifted(d.text().get(), ShiftUs).c_str());
  }
  if (!doc.save_file(To.c_str())) throw std::runtime_error(To + ": cannot be written");
}

struct TOptions {
  int Packets = 1200;
  uint64_t Seed = 1;
  int Noise = 10000;
  std::string Library = std::string(VORLENT_DATA_DIR) + "/protocols.xml";
  std::string Only;
  std::string Resampler;
  bool Centre = false;
};

void PrintGrid(TReceiverGrid& Grid, const TOptions& Options) {
  const std::vector<TGridCondition>& conditions = GridConditions();
  std::ostringstream table;
  table << "| protocol |";
  for (const TGridCondition& c : conditions) table << " " << c.Name << " |";
  table << "\n|---|";
  for (size_t i = 0; i < conditions.size(); ++i) table << "---:|";
  table << "\n";
  std::vector<TCellCount> columns(conditions.size());
  uint64_t seed = Options.Seed * 1000003;
  for (const TProtocolFacts& facts : ProtocolCatalogue()) {
    if (!Options.Only.empty() && facts.Entry != Options.Only) continue;
    table << "| " << facts.Entry << " |";
    for (size_t c = 0; c < conditions.size(); ++c) {
      ++seed;
      if (!Measured(conditions[c])) {
        table << " |";
        continue;
      }
      TCellCount cell = Grid.Measure(facts, conditions[c], Options.Packets, seed);
      table << " " << (ShownIn(facts, conditions[c]) ? Percent(cell.Right, cell.Total) : "-")
            << " |";
      for (const std::string& wrong : cell.Wrong)
        std::cerr << conditions[c].Name << ": " << wrong << "\n";
      if (!CountsIn(facts, conditions[c])) cell.Total = cell.Right = cell.RightLikely = 0;
      columns[c].Add(cell);
    }
    table << "\n" << std::flush;
  }
  table << "| **right, all** |";
  for (const TCellCount& c : columns) table << " **" << Percent(c.Right, c.Total) << "** |";
  table << "\n| of it likely |";
  for (const TCellCount& c : columns) table << " " << Percent(c.RightLikely, c.Total) << " |";
  table << "\n| false exact / likely |";
  for (const TCellCount& c : columns)
    table << " " << c.FalseExact << " / " << c.FalseLikely << " |";
  std::cout << table.str() << "\n";
  if (Options.Noise > 0) {
    const TCellCount noise = Grid.MeasureNoise(Options.Noise, Options.Seed + 7);
    for (const std::string& wrong : noise.Wrong) std::cerr << "noise: " << wrong << "\n";
    std::cout << "\nNoise bursts, random pulse trains and cut frames: " << noise.Total
              << " packets, false exact / likely: " << noise.FalseExact << " / "
              << noise.FalseLikely
              << ", cut frames named as the shorter entry they equal: " << noise.Prefix
              << "; read by the generic pass: " << noise.Generic << " bursts and trains, "
              << noise.GenericCut << " cut frames\n";
  }
}

// For every definition: the common shift of its marks (and its spaces the other way) at which
// the most codes decode over all the conditions.
void PrintCentres(TReceiverGrid& Grid, const TOptions& Options, const std::string& WorkDir) {
  const std::string variant = WorkDir + "/variant.xml";
  uint64_t seed = Options.Seed * 7919;
  std::cout << "| protocol | right at 0 | best shift (us) | right there | best range (us) |\n"
               "|---|---:|---:|---:|---|\n";
  for (const TProtocolFacts& facts : ProtocolCatalogue()) {
    if (!Options.Only.empty() && facts.Entry != Options.Only) continue;
    std::vector<TRendered> renders;
    size_t softEdges = 0;
    for (TGridCondition c : GridConditions()) {
      if (!Measured(c) || c.LongSpaceOnly) continue;
      // The long-space protocols over the same receivers, with the silence they need.
      if (facts.LongSilence) c.Settings.Decode.EndSilenceMillis = LongEndSilenceMs;
      if (c.Name == SoftEdges) softEdges = renders.size();
      renders.push_back(Grid.Render(facts, c, Options.Packets, ++seed));
    }
    std::vector<int> rights, softRights;
    for (int shift = -ShiftRangeUs; shift <= ShiftRangeUs; shift += ShiftStepUs) {
      WriteShiftedLibrary(Options.Library, variant, facts.Entry, shift);
      TProtocolRecognition recognition;
      recognition.SampleRate = TDecodeSettings::SampleRate;
      recognition.SetTolerance(TDecodeSettings{}.ToleranceSeconds());
      recognition.LoadProtocols(variant);
      int right = 0;
      for (size_t i = 0; i < renders.size(); ++i) {
        const int r = TReceiverGrid::Score(renders[i], recognition).Right;
        right += r;
        if (i == softEdges) softRights.push_back(r);
      }
      rights.push_back(right);
    }
    // A shift must keep what a DC-coupled receiver with soft edges decodes.
    const int softBest =
        softRights.empty() ? 0 : *std::max_element(softRights.begin(), softRights.end());
    const auto eligible = [&](size_t i) {
      return softRights.empty() || softRights[i] >= PlateauShare * softBest;
    };
    int total = 0;
    for (const TRendered& r : renders) total += static_cast<int>(r.Codes.size());
    // The best of the shifts, each counted with its neighbours: a broad optimum beats a spike.
    const auto smoothed = [&](size_t i) {
      return rights[i] * 2 + (i > 0 ? rights[i - 1] : 0) +
             (i + 1 < rights.size() ? rights[i + 1] : 0);
    };
    size_t best = rights.size() / 2;
    for (size_t i = 0; i < rights.size(); ++i)
      if (eligible(i) && (!eligible(best) || smoothed(i) > smoothed(best))) best = i;
    int low = ShiftRangeUs, high = -ShiftRangeUs;
    for (size_t i = 0; i < rights.size(); ++i) {
      const int shift = -ShiftRangeUs + static_cast<int>(i) * ShiftStepUs;
      if (rights[i] >= PlateauShare * rights[best]) low = std::min(low, shift);
      if (rights[i] >= PlateauShare * rights[best]) high = std::max(high, shift);
    }
    std::cout << "| " << facts.Entry << " | " << Percent(rights[rights.size() / 2], total) << " | "
              << -ShiftRangeUs + static_cast<int>(best) * ShiftStepUs << " | "
              << Percent(rights[best], total) << " | " << low << " .. " << high << " |\n"
              << std::flush;
  }
}
}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  CLI::App app{"Decodes every protocol of the library under a grid of receiver conditions."};
  app.add_option("--packets", options.Packets, "codes per protocol and condition")
      ->check(CLI::Range(1, 1000000));
  app.add_option("--seed", options.Seed, "seed of the renderings");
  app.add_option("--noise", options.Noise, "noise bursts, random trains and cut frames")
      ->check(CLI::Range(0, 10000000));
  app.add_option("--protocols", options.Library, "protocol library")->check(CLI::ExistingFile);
  std::vector<std::string> entries;
  for (const TProtocolFacts& facts : ProtocolCatalogue()) entries.push_back(facts.Entry);
  app.add_option("--only", options.Only, "measure this entry only")->check(CLI::IsMember(entries));
  std::vector<std::string> names;
  for (const TGridCondition& c : GridConditions()) names.push_back(c.Name);
  app.add_option("--condition", OnlyCondition, "measure this condition only")
      ->check(CLI::IsMember(names));
  app.add_option("--resampler", options.Resampler,
                 "44.1 kHz: resample with this converter, or decode at 44.1 kHz")
      ->check(
          CLI::IsMember({"zoh", "linear", "sinc-fastest", "sinc-medium", "sinc-best", "native"}));
  app.add_flag("--centre", options.Centre, "find where each definition decodes best");
  CLI11_PARSE(app, argc, argv);

  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("receiver-grid-" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  int status = 0;
  try {
    const auto start = std::chrono::steady_clock::now();
    TReceiverGrid grid(options.Library, work.string());
    grid.Resampler = options.Resampler;
    if (options.Centre)
      PrintCentres(grid, options, work.string());
    else
      PrintGrid(grid, options);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << "\n(" << options.Packets << " codes per protocol and condition, seed "
              << options.Seed << ", " << std::lround(took.count()) << " s)\n";
  } catch (const std::exception& error) {
    std::cerr << "receiver_grid: " << error.what() << "\n";
    status = 1;
  }
  std::filesystem::remove_all(work);
  return status;
}
