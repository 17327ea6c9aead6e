// Scores the protocol library on real remotes' codes: JSON lines (remote, protocol, fields,
// timing_us mark first, end_silence_ms), as the database's decoder named them. Each code is
// drawn as a clean envelope (the import's receiver shift included), cut by the signal
// processor at its ending silence and decoded; its first packet is right when it has the
// expected entry and every expected field, wrong when another entry or other fields.
//   zcat ../shared/data/remote-timings-new-dev.jsonl.gz | real_codes --protocols data/protocols.xml
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "TDecodeSettings.h"
#include "TEnvelopeSource.h"
#include "TRecordingDecoder.h"
#include "U_protocolRecognition.h"

namespace {
struct TCode {
  std::string Protocol;
  std::map<std::string, uint64_t> Fields;
  std::vector<double> Timing;
};

struct TScore {
  int Codes = 0, Right = 0, Wrong = 0, Exact = 0;
  std::map<std::string, int> WrongNames;
};

// The first packet of every code, decoded; "" for a code that gave no packet.
std::vector<TProtocol> DecodeAll(const std::vector<TCode>& Codes, double EndSilenceMillis,
                                 bool SecondPass, TProtocolRecognition& Recognition) {
  TEnvelopeSource source;
  for (const TCode& code : Codes) source.Add(code.Timing, true);
  TDecodeSettings settings;
  settings.EndSilenceMillis = EndSilenceMillis;
  TRecordingDecoder decoder(settings);
  Recognition.SecondPass = SecondPass;
  std::vector<TProtocol> first(Codes.size());
  std::vector<bool> seen(Codes.size(), false);
  decoder.OnSample = [&](std::unique_ptr<TSample> Sample) {
    const int signal = source.Signal(Sample->StreamIndex);
    if (signal < 0 || seen[static_cast<size_t>(signal)]) return;
    seen[static_cast<size_t>(signal)] = true;
    Recognition.Decode(*Sample);
    first[static_cast<size_t>(signal)] = *Sample->Protocol;
  };
  decoder.Decode(source);
  return first;
}

bool Right(const TCode& Code, const TProtocol& Found) {
  if (Found.ProtocolName != Code.Protocol) return false;
  for (const auto& [name, value] : Code.Fields) {
    bool matched = false;
    for (const TProtocolField& field : Found.Fields)
      if (field.Name == name) matched = field.Value == value;
    if (!matched) return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Scores the protocol library on real codes read from standard input"};
  std::string library = TDecodeSettings::LibraryFileName;
  bool exactOnly = false, showWrong = false;
  app.add_option("--protocols", library, "protocol library")->check(CLI::ExistingFile);
  app.add_flag("--exact-only", exactOnly, "no tolerant second pass");
  app.add_flag("--show-wrong", showWrong, "list the entries wrong codes were taken for");
  CLI11_PARSE(app, argc, argv);

  std::map<double, std::vector<TCode>> bySilence;
  std::string line;
  while (std::getline(std::cin, line)) {
    const nlohmann::json v = nlohmann::json::parse(line);
    TCode code{v.at("protocol"), {}, {}};
    for (const auto& [name, value] : v.at("fields").items())
      if (value.is_number_unsigned()) code.Fields[name] = value;
    for (const auto& us : v.at("timing_us")) code.Timing.push_back(std::abs(us.get<double>()));
    bySilence[v.value("end_silence_ms", TDecodeSettings::DefaultEndSilenceMillis)].push_back(
        std::move(code));
  }

  TProtocolRecognition recognition;
  recognition.SampleRate = TDecodeSettings::SampleRate;
  recognition.SetTolerance(TDecodeSettings().ToleranceSeconds());
  recognition.OnReport = [](const std::string& text) { std::cerr << text << "\n"; };
  recognition.LoadProtocols(library);

  std::map<std::string, TScore> scores;
  TScore total;
  for (const auto& [silence, codes] : bySilence) {
    const std::vector<TProtocol> found = DecodeAll(codes, silence, !exactOnly, recognition);
    for (size_t i = 0; i < codes.size(); ++i) {
      TScore& score = scores[codes[i].Protocol];
      for (TScore* s : {&score, &total}) {
        ++s->Codes;
        if (Right(codes[i], found[i])) {
          ++s->Right;
          s->Exact += found[i].Match == TProtocol::TMatch::Exact;
        } else if (found[i].Known()) {
          ++s->Wrong;
          ++s->WrongNames[found[i].ProtocolName];
        }
      }
    }
  }
  std::printf(
      "| protocol | codes | right | of which exact | wrong | unknown "
      "|\n|---|---|---|---|---|---|\n");
  auto row = [&](const std::string& name, const TScore& s) {
    const double n = s.Codes ? s.Codes : 1;
    std::printf("| %s | %d | %.1f %% | %d | %.1f %% | %.1f %% |\n", name.c_str(), s.Codes,
                100 * s.Right / n, s.Exact, 100 * s.Wrong / n,
                100 * (s.Codes - s.Right - s.Wrong) / n);
    if (!showWrong) return;
    for (const auto& [wrong, count] : s.WrongNames)
      std::printf("|   as %s | %d |\n", wrong.c_str(), count);
  };
  for (const auto& [name, score] : scores) row(name, score);
  row("all", total);
  return 0;
}
