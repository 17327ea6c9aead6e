// Scores generic decoding and learning on a collection of Flipper .ir files (raw captures):
//   flipper_score FOLDER [LIBRARY [-v]]   (-v lists the buttons that give several values)
// Frames of 16 runs or more are counted by how they end up (exact, likely, generic, unknown)
// with the generic pass off and on; generically decoded buttons by whether all their frames
// give one value; buttons of one file by whether different bits ever give equal values. Every
// file whose frames are all unknown without the generic pass is then learned, and decoded again
// with the learned definition added to the library: the share of its frames named by it, buttons
// with different bits but equal field values, and frames of the other files the name takes
// (decoded against the learned definition alone, frames the library names exactly left out).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TCodeLibrary.h"
#include "TGenericPass.h"
#include "TInputDecoder.h"
#include "TProtocolLearner.h"
#include "TProtocolRecognition.h"
#include "TUserLibrary.h"

namespace fs = std::filesystem;

namespace {
constexpr size_t MinRuns = 16;
constexpr uint16_t Rate = TDecodeSettings::SampleRate;

struct TFrame {
  std::unique_ptr<TSample> Sample;
  std::string Button;
  TProtocol::TMatch BaseMatch = TProtocol::TMatch::Exact;
  bool BaseKnown = false;
  std::string Generic;  // the generic value ("" when not generically read)
};
struct TFile {
  std::string Path;
  std::vector<TFrame> Frames;  // of MinRuns runs or more
};

size_t Runs(const TSample& Sample) {
  return Sample.Pulses.size() >= 2 ? Sample.Pulses.size() - 2 : 0;
}

void Configure(TProtocolRecognition& Engine, const std::string& Library, bool Generic) {
  Engine.SampleRate = Rate;
  Engine.SetTolerance(TDecodeSettings().ToleranceSeconds());
  Engine.GenericPass = Generic;
  Engine.LoadProtocols(Library);
}

double Percent(size_t Part, size_t Whole) {
  return Whole ? 100.0 * static_cast<double>(Part) / static_cast<double>(Whole) : 0;
}

// The same frame, told by its runs alone: as many runs, each within a fifth (plus two samples)
// of the other's.
bool SameRuns(const TSample& A, const TSample& B) {
  constexpr double Relative = 0.2, SlackSamples = 2;
  if (A.Pulses.size() != B.Pulses.size()) return false;
  for (size_t i = 1; i + 1 < A.Pulses.size(); ++i) {
    const double a = A.Pulses[i], b = B.Pulses[i];
    if (std::abs(a - b) > Relative * std::max(a, b) + SlackSamples) return false;
  }
  return true;
}

std::string Value(const TProtocol& Protocol) {
  return Protocol.ProtocolName + " " + Protocol.GetDataText();
}
}  // namespace

int main(int Argc, char** Argv) {
  if (Argc < 2) {
    std::fprintf(stderr, "usage: flipper_score FOLDER [LIBRARY [-v]]\n");
    return 2;
  }
  const std::string folder = Argv[1];
  const std::string library = Argc > 2 ? Argv[2] : "data/protocols.xml";
  const bool verbose = Argc > 3 && std::string(Argv[3]) == "-v";
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().extension() == ".ir")
      paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());

  TProtocolRecognition base, generic;
  Configure(base, library, false);
  Configure(generic, library, true);
  auto codes = std::make_shared<const TCodeLibrary>(base);
  std::vector<TFile> files;
  size_t counts[2][4] = {};  // generic off/on x exact, likely, generic, unknown
  const auto tally = [](size_t* Row, const TProtocol& P) {
    ++Row[!P.Known() ? 3 : static_cast<int>(P.Match)];
  };
  for (const std::string& path : paths) {
    TFile file{path, {}};
    TInputDecoder decoder(TDecodeSettings(), codes);
    decoder.OnSample = [&](std::unique_ptr<TSample> Sample) {
      if (Runs(*Sample) < MinRuns) return;
      TFrame frame;
      frame.Button = Sample->Name;
      base.Decode(*Sample);
      tally(counts[0], *Sample->Protocol);
      frame.BaseKnown = Sample->Protocol->Known();
      frame.BaseMatch = Sample->Protocol->Match;
      Sample->Protocol.reset();
      generic.Decode(*Sample);
      tally(counts[1], *Sample->Protocol);
      if (Sample->Protocol->Match == TProtocol::TMatch::Generic)
        frame.Generic = Value(*Sample->Protocol);
      frame.Sample = std::move(Sample);
      file.Frames.push_back(std::move(frame));
    };
    try {
      decoder.Decode(path);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
    files.push_back(std::move(file));
  }

  size_t total = 0;
  for (size_t k = 0; k < 4; ++k) total += counts[0][k];
  std::printf("%zu files, %zu frames of %zu runs or more\n\n", files.size(), total, MinRuns);
  std::printf("| generic pass | exact | likely | generic | unknown | named, likely or generic |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (int on = 0; on < 2; ++on) {
    const size_t* c = counts[on];
    std::printf("| %s | %.1f %% | %.1f %% | %.1f %% | %.1f %% | **%.1f %%** |\n", on ? "on" : "off",
                Percent(c[0], total), Percent(c[1], total), Percent(c[2], total),
                Percent(c[3], total), Percent(c[0] + c[1] + c[2], total));
  }

  // Consistency: a button's generic frames, and those of its frames that are the same frame
  // (SameRuns), give one value. Distinctness: buttons of one file whose frames differ share no
  // value.
  size_t buttons = 0, consistent = 0, sameFrameButtons = 0, sameFrameConsistent = 0;
  size_t sharedPairs = 0, clashes = 0;
  for (const TFile& file : files) {
    std::map<std::string, std::vector<const TFrame*>> framesOf;
    for (const TFrame& frame : file.Frames)
      if (!frame.Generic.empty()) framesOf[frame.Button].push_back(&frame);
    for (const auto& [button, list] : framesOf) {
      ++buttons;
      std::set<std::string> values;
      for (const TFrame* frame : list) values.insert(frame->Generic);
      consistent += values.size() == 1;
      bool repeats = false, agree = true;
      for (size_t a = 0; a < list.size(); ++a)
        for (size_t b = a + 1; b < list.size(); ++b) {
          if (!SameRuns(*list[a]->Sample, *list[b]->Sample)) continue;
          repeats = true;
          agree = agree && list[a]->Generic == list[b]->Generic;
          if (verbose && list[a]->Generic != list[b]->Generic)
            std::printf("  differ: %s: %s: %zu [%s] / %zu [%s]\n", file.Path.c_str(),
                        button.c_str(), a, list[a]->Generic.c_str(), b, list[b]->Generic.c_str());
        }
      sameFrameButtons += repeats;
      sameFrameConsistent += repeats && agree;
      if (verbose && repeats && !agree) {
        std::printf("  inconsistent: %s: %s:", file.Path.c_str(), button.c_str());
        for (const TFrame* frame : list) std::printf(" [%s]", frame->Generic.c_str());
        std::printf("\n");
      }
    }
    std::vector<const TFrame*> all;
    for (const auto& [button, list] : framesOf) all.insert(all.end(), list.begin(), list.end());
    for (size_t a = 0; a < all.size(); ++a)
      for (size_t b = a + 1; b < all.size(); ++b) {
        if (all[a]->Button == all[b]->Button || all[a]->Generic != all[b]->Generic) continue;
        ++sharedPairs;
        clashes += !SameRuns(*all[a]->Sample, *all[b]->Sample);
      }
  }
  std::printf(
      "\nconsistency: %zu of %zu generically decoded buttons give one value over all their "
      "frames (%.1f %%); of %zu buttons with a frame repeated, %zu give it one value "
      "(%.1f %%)\n",
      consistent, buttons, Percent(consistent, buttons), sameFrameButtons, sameFrameConsistent,
      Percent(sameFrameConsistent, sameFrameButtons));
  std::printf(
      "distinctness: %zu pairs of frames of different buttons of one file share a generic "
      "value; %zu of them are different frames\n",
      sharedPairs, clashes);

  // Learning.
  const fs::path scratch = fs::temp_directory_path() / "flipper_score";
  fs::create_directories(scratch);
  size_t learnable = 0, learned = 0, below = 0, ownNamed = 0, ownTotal = 0, collisions = 0;
  size_t learnedNamed = 0, learnedTotal = 0, learnedAbove = 0;
  size_t falseNames = 0, foreignTotal = 0, worstFalse = 0, sameCodes = 0;
  double worstOwn = 100;
  for (size_t f = 0; f < files.size(); ++f) {
    TFile& file = files[f];
    if (file.Frames.empty()) continue;
    if (std::any_of(file.Frames.begin(), file.Frames.end(),
                    [](const TFrame& F) { return F.BaseKnown; }))
      continue;
    ++learnable;
    const std::string name = "Learned " + std::to_string(f);
    std::vector<std::vector<uint16_t>> packets;
    for (const TFrame& frame : file.Frames) packets.push_back(frame.Sample->Pulses);
    const TProtocolLearner::TResult result =
        TProtocolLearner::Learn(name, packets, Rate, TDecodeSettings::DefaultToleranceMicros);
    if (result.Xml.empty()) {
      std::printf("  not learned: %s: %s\n", file.Path.c_str(), result.Problem.c_str());
      below++;
      worstOwn = 0;
      ownTotal += file.Frames.size();
      continue;
    }
    ++learned;
    const std::string withLibrary = (scratch / "with.xml").string();
    const std::string alone = (scratch / "alone.xml").string();
    fs::remove(withLibrary);
    fs::remove(alone);
    std::string problem = TUserLibrary::Add(withLibrary, library, name, result.Xml);
    if (problem.empty()) problem = TUserLibrary::Add(alone, "", name, result.Xml);
    if (!problem.empty()) {
      std::printf("  %s\n", problem.c_str());
      continue;
    }
    TProtocolRecognition own, only;
    Configure(own, withLibrary, true);
    Configure(only, alone, false);
    size_t named = 0;
    std::map<std::string, std::string> valueOf;  // learned field values -> generic bits
    for (TFrame& frame : file.Frames) {
      frame.Sample->Protocol.reset();
      own.Decode(*frame.Sample);
      if (frame.Sample->Protocol->ProtocolName != name) continue;
      ++named;
      const std::string fields =
          frame.Sample->Protocol->GetDataText() + "/" + std::to_string(frame.Sample->Pulses.size());
      auto [it, fresh] = valueOf.emplace(fields, frame.Generic);
      if (fresh || it->second == frame.Generic) continue;
      ++collisions;
      if (verbose)
        std::printf("  same fields %s: %s [%s] / [%s]\n", fields.c_str(), file.Path.c_str(),
                    it->second.c_str(), frame.Generic.c_str());
    }
    ownNamed += named;
    ownTotal += file.Frames.size();
    learnedNamed += named;
    learnedTotal += file.Frames.size();
    const double share = Percent(named, file.Frames.size());
    learnedAbove += share >= 95;
    worstOwn = std::min(worstOwn, share);
    if (share < 95) {
      ++below;
      std::printf("  %.1f %% of %zu frames named: %s\n", share, file.Frames.size(),
                  file.Path.c_str());
      for (const TFrame& frame : file.Frames)
        if (verbose && frame.Sample->Protocol->ProtocolName != name)
          std::printf("    %s: %s %s (%zu runs; generic %s)\n", frame.Button.c_str(),
                      frame.Sample->Protocol->ProtocolName.c_str(),
                      frame.Sample->Protocol->GetDataText().c_str(), Runs(*frame.Sample),
                      frame.Generic.c_str());
    }
    // A foreign frame whose bits are those of a frame of this file is the same code sent by
    // another remote (the collection holds one model under several names, and one chip in
    // many brands): no decoder tells it apart. Any other foreign frame taking the name is false.
    std::set<std::string> ownCodes;
    for (const TFrame& frame : file.Frames)
      if (!frame.Generic.empty()) ownCodes.insert(frame.Generic);
    size_t taken = 0, foreign = 0;
    for (size_t g = 0; g < files.size(); ++g) {
      if (g == f) continue;
      for (TFrame& frame : files[g].Frames) {
        ++foreign;
        if (frame.BaseKnown && frame.BaseMatch == TProtocol::TMatch::Exact) continue;
        frame.Sample->Protocol.reset();
        only.Decode(*frame.Sample);
        if (frame.Sample->Protocol->ProtocolName != name) continue;
        const bool same = !frame.Generic.empty() && ownCodes.count(frame.Generic);
        ++(same ? sameCodes : taken);
      }
    }
    if (taken) std::printf("  %zu foreign frames take the name of %s\n", taken, file.Path.c_str());
    falseNames += taken;
    foreignTotal += foreign;
    worstFalse = std::max(worstFalse, taken);
  }
  std::printf("\nlearning: %zu files all unknown without the generic pass, %zu learned\n",
              learnable, learned);
  std::printf(
      "  frames named by their file's learned name: %.1f %% (lowest file %.1f %%, %zu "
      "files below 95 %%)\n",
      Percent(ownNamed, ownTotal), worstOwn, below);
  std::printf(
      "  of the %zu files learned, %zu name 95 %% of their frames or more; %.1f %% of "
      "their frames are named\n",
      learned, learnedAbove, Percent(learnedNamed, learnedTotal));
  std::printf("  frames with equal learned fields but different bits: %zu\n", collisions);
  std::printf(
      "  foreign frames taking a learned name: %zu of %zu tries (%.3f %%; most for one "
      "name: %zu), besides %zu (%.3f %%) that are the same code as a frame of the "
      "learned file\n",
      falseNames, foreignTotal, Percent(falseNames, foreignTotal), worstFalse, sameCodes,
      Percent(sameCodes, foreignTotal));
  return 0;
}
