// Scores the protocol library on real remotes' codes: JSON lines (remote, protocol, fields,
// timing_us mark first, end_silence_ms), as the database's decoder named them. Each code is
// drawn as a clean envelope (the import's receiver shift included), cut by the signal
// processor at its ending silence and decoded. A code is right when one of its packets has the
// expected entry and every expected field; a start frame when, short of that, one is the
// protocol's start or prefix frame (a code may hold that frame and a data frame, or only it);
// "other name" when, short of both, one is the same frame under another entry's name (below);
// wrong when a packet decodes as anything else; else unknown.
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
#include "TProtocolRecognition.h"
#include "TRecordingDecoder.h"
#include "TSilenceJoiner.h"

namespace {
struct TCode {
  std::string Protocol;
  std::map<std::string, uint64_t> Fields;
  std::vector<double> Timing;
};

struct TScore {
  int Codes = 0, Right = 0, Start = 0, OtherName = 0, Wrong = 0, Exact = 0;
  std::map<std::string, int> WrongNames;
};

// Fields that the database's decoder numbers otherwise than the library (and the reference's
// IRP): its Nokia12 command is the frame's first 4 bits, IRP's D (a remote's keys share it; the
// 8 bits after it tell them apart), which the library reads as the address.
const std::map<std::string, std::map<std::string, std::string>> DatabaseFields{
    {"Nokia12", {{"command", "address"}}}};

// The same frame under another entry's name: IRMP names the Blaupunkt frame on its own timing
// (528 / 2639 µs) Grundig, and so does the library, its 9 bits one command; the database's
// decoder knows the frame as Blaupunkt only. Such a reading names no protocol that was not sent
// and counts apart ("other name"), neither right nor wrong.
struct TOtherName {
  std::string Expected, Entry;
  std::map<std::string, uint64_t> (*Fields)(const std::map<std::string, uint64_t>& Expected);
};
const std::vector<TOtherName> OtherNames{
    {"Blaupunkt", "Grundig", [](const std::map<std::string, uint64_t>& Expected) {
       const auto field = [&](const char* Name) {
         const auto found = Expected.find(Name);
         return found == Expected.end() ? 0 : found->second;
       };
       return std::map<std::string, uint64_t>{
           {"command", field("command") + (field("address") << 7)}};
     }}};

// Start and prefix frames that a key press sends besides its data frames: the entry expected,
// the entry that reads that frame, and its fields.
struct TStartFrame {
  std::string Expected, Entry;
  std::map<std::string, uint64_t> Fields;
};
const std::vector<TStartFrame> StartFrames{
    {"Blaupunkt", "Blaupunkt", {{"command", 63}, {"address", 7}}},
    {"Blaupunkt", "Grundig", {{"command", 511}}},
    {"NRC16", "NRC16", {{"command", 254}, {"address", 127}}}};

// Every packet of every code, decoded, in order.
std::vector<std::vector<TProtocol>> DecodeAll(const std::vector<TCode>& Codes,
                                              double EndSilenceMillis, bool SecondPass,
                                              TProtocolRecognition& Recognition) {
  TEnvelopeSource source;
  for (const TCode& code : Codes) source.Add(code.Timing, true);
  TDecodeSettings settings;
  settings.EndSilenceMillis = EndSilenceMillis;
  TRecordingDecoder decoder(settings);
  Recognition.SecondPass = SecondPass;
  std::vector<std::vector<TProtocol>> found(Codes.size());
  TSilenceJoiner joiner(Recognition, TRecordingDecoder::SampleRate);
  joiner.OnSample = [&](std::unique_ptr<TSample> Sample) {
    const int signal = source.Signal(Sample->StreamIndex);
    if (signal >= 0) found[static_cast<size_t>(signal)].push_back(*Sample->Protocol);
  };
  decoder.OnSample = [&](std::unique_ptr<TSample> Sample) { joiner.Add(std::move(Sample)); };
  decoder.Decode(source);
  joiner.Finish();
  return found;
}

bool Fits(const std::string& Entry, const std::map<std::string, uint64_t>& Fields,
          const TProtocol& Found) {
  if (Found.ProtocolName != Entry) return false;
  for (const auto& [name, value] : Fields) {
    bool matched = false;
    for (const TProtocolField& field : Found.Fields)
      if (field.Name == name) matched = field.Value == value;
    if (!matched) return false;
  }
  return true;
}

bool IsStartFrame(const TCode& Code, const TProtocol& Found) {
  for (const TStartFrame& start : StartFrames)
    if (start.Expected == Code.Protocol && Fits(start.Entry, start.Fields, Found)) return true;
  return false;
}

bool IsOtherName(const TCode& Code, const TProtocol& Found) {
  for (const TOtherName& other : OtherNames)
    if (other.Expected == Code.Protocol && Fits(other.Entry, other.Fields(Code.Fields), Found))
      return true;
  return false;
}

// One code that is not right: what it was taken for, packet by packet, and its first runs.
void PrintCode(const TCode& Code, const std::vector<TProtocol>& Packets, const char* Outcome) {
  std::printf("%s (expected", Outcome);
  for (const auto& [name, value] : Code.Fields)
    std::printf(" %s=%llu", name.c_str(), static_cast<unsigned long long>(value));
  std::printf(")");
  for (const TProtocol& packet : Packets) {
    std::printf(" | %s%s", packet.ProtocolName.c_str(),
                packet.Match == TProtocol::TMatch::Likely ? " (likely)" : "");
    for (const TProtocolField& field : packet.Fields)
      std::printf(" %s=%llu", field.Name.c_str(), static_cast<unsigned long long>(field.Value));
  }
  std::printf(":");
  for (size_t r = 0; r < Code.Timing.size() && r < 40; ++r) std::printf(" %.0f", Code.Timing[r]);
  std::printf("\n");
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Scores the protocol library on real codes read from standard input"};
  std::string library = TDecodeSettings::LibraryFileName;
  bool exactOnly = false, showWrong = false;
  app.add_option("--protocols", library, "protocol library")->check(CLI::ExistingFile);
  app.add_flag("--exact-only", exactOnly, "no tolerant second pass");
  app.add_flag("--show-wrong", showWrong, "list the entries wrong codes were taken for");
  double endSilence = 0;
  app.add_option("--end-silence", endSilence,
                 "cut every code at this silence (ms) instead of the one its line asks for");
  std::string list;
  app.add_option("--list", list,
                 "print the first runs of this protocol's codes that are not right");
  CLI11_PARSE(app, argc, argv);

  std::map<double, std::vector<TCode>> bySilence;
  std::string line;
  while (std::getline(std::cin, line)) {
    const nlohmann::json v = nlohmann::json::parse(line);
    TCode code{v.at("protocol"), {}, {}};
    const auto renamed = DatabaseFields.find(code.Protocol);
    for (const auto& [name, value] : v.at("fields").items()) {
      if (!value.is_number_unsigned()) continue;
      const bool own = renamed != DatabaseFields.end() && renamed->second.count(name);
      code.Fields[own ? renamed->second.at(name) : name] = value;
    }
    for (const auto& us : v.at("timing_us")) code.Timing.push_back(std::abs(us.get<double>()));
    const double silence = v.value("end_silence_ms", TDecodeSettings::DefaultEndSilenceMillis);
    bySilence[endSilence > 0 ? endSilence : silence].push_back(std::move(code));
  }

  TProtocolRecognition recognition;
  recognition.SampleRate = TDecodeSettings::SampleRate;
  recognition.SetTolerance(TDecodeSettings().ToleranceSeconds());
  recognition.OnReport = [](const std::string& text) { std::cerr << text << "\n"; };
  recognition.LoadProtocols(library);

  std::map<std::string, TScore> scores;
  TScore total;
  for (const auto& [silence, codes] : bySilence) {
    const auto found = DecodeAll(codes, silence, !exactOnly, recognition);
    for (size_t i = 0; i < codes.size(); ++i) {
      const TProtocol *right = nullptr, *start = nullptr, *other = nullptr, *wrong = nullptr;
      for (const TProtocol& packet : found[i]) {
        if (!right && Fits(codes[i].Protocol, codes[i].Fields, packet)) right = &packet;
        if (!start && IsStartFrame(codes[i], packet)) start = &packet;
        if (!other && IsOtherName(codes[i], packet)) other = &packet;
        // A generic reading names no protocol of the library: it is no wrong name.
        if (!wrong && packet.Known() && packet.Match != TProtocol::TMatch::Generic) wrong = &packet;
      }
      if (!right && codes[i].Protocol == list)
        PrintCode(codes[i], found[i],
                  start   ? "start"
                  : other ? "other name"
                  : wrong ? "wrong"
                          : "unknown");
      for (TScore* s : {&scores[codes[i].Protocol], &total}) {
        ++s->Codes;
        if (right) {
          ++s->Right;
          s->Exact += right->Match == TProtocol::TMatch::Exact;
        } else if (start) {
          ++s->Start;
        } else if (other) {
          ++s->OtherName;
        } else if (wrong) {
          ++s->Wrong;
          ++s->WrongNames[wrong->ProtocolName];
        }
      }
    }
  }
  std::printf(
      "| protocol | codes | right | of which exact | start frame only | other name | wrong | "
      "unknown |\n"
      "|---|---|---|---|---|---|---|---|\n");
  auto row = [&](const std::string& name, const TScore& s) {
    const double n = s.Codes ? s.Codes : 1;
    std::printf("| %s | %d | %.1f %% | %d | %.1f %% | %.1f %% | %.1f %% | %.1f %% |\n",
                name.c_str(), s.Codes, 100 * s.Right / n, s.Exact, 100 * s.Start / n,
                100 * s.OtherName / n, 100 * s.Wrong / n,
                100 * (s.Codes - s.Right - s.Start - s.OtherName - s.Wrong) / n);
    if (!showWrong) return;
    for (const auto& [wrong, count] : s.WrongNames)
      std::printf("|   as %s | %d |\n", wrong.c_str(), count);
  };
  for (const auto& [name, score] : scores) row(name, score);
  row("all", total);
  return 0;
}
