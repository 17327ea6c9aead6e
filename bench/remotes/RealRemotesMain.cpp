// real_remotes: how the library names real remotes' own timings. Each line of the file (gzip'd
// JSON lines: remote, protocol, fields, optional also, timing_us) is one code as its owner
// measured it; it is drawn and cut exactly as a mode2 import draws a measured signal, decoded
// with the default settings, and scored: right (the protocol or one of "also", with every
// field given), missed (unknown), wrong (another protocol or field), exact against likely.
//
//   real_remotes [FILE] [--protocols FILE] [--second-pass on|off] [--limit N]
//                [--only PROTOCOL] [--show N]

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "TDecodeSettings.h"
#include "TEnvelopeSource.h"
#include "TMode2Format.h"
#include "TProtocolRecognition.h"
#include "TRecordingDecoder.h"

namespace {

constexpr const char* DataFile = "data/remote-timings-dev.jsonl.gz";
constexpr int MinRowCodes = 1;

struct TCode {
  std::string Remote, Protocol;
  std::vector<std::string> Also;
  std::map<std::string, uint32_t> Fields;
  std::vector<double> Micros;
};

struct TScore {
  int Codes = 0, Exact = 0, Likely = 0, Missed = 0, Wrong = 0;
  int Right() const { return Exact + Likely; }
};

// ../shared next to the repository, or next to the folder holding it (a worktree).
std::string DefaultFile() {
  namespace fs = std::filesystem;
  for (const fs::path& base :
       {fs::path(VORLENT_SOURCE_DIR) / "..", fs::path(VORLENT_SOURCE_DIR) / "../.."}) {
    const fs::path file = base / "shared" / DataFile;
    if (fs::exists(file)) return file.lexically_normal().string();
  }
  return (fs::path(VORLENT_SOURCE_DIR) / ".." / "shared" / DataFile).lexically_normal().string();
}

std::vector<TCode> ReadCodes(const std::string& File, size_t Limit) {
  if (!std::filesystem::exists(File)) throw std::runtime_error(File + ": no such file");
  const std::string command = "gzip -dc '" + File + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) throw std::runtime_error(File + ": cannot run gzip");
  std::vector<TCode> codes;
  std::string line;
  char buffer[1 << 16];
  size_t lineNumber = 0;
  while (std::fgets(buffer, sizeof buffer, pipe.get())) {
    line += buffer;
    if (line.empty() || line.back() != '\n') continue;
    ++lineNumber;
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    line.clear();
    if (object.is_discarded() || !object.is_object())
      throw std::runtime_error(File + ":" + std::to_string(lineNumber) + ": not a JSON object");
    TCode code;
    code.Remote = object.value("remote", "");
    code.Protocol = object.value("protocol", "");
    if (object.contains("also")) code.Also = object["also"].get<std::vector<std::string>>();
    for (const auto& [name, value] : object["fields"].items()) code.Fields[name] = value;
    code.Micros = object["timing_us"].get<std::vector<double>>();
    codes.push_back(std::move(code));
    if (Limit && codes.size() >= Limit) break;
  }
  return codes;
}

bool Names(const TCode& Code, const std::string& Protocol) {
  if (Protocol == Code.Protocol) return true;
  for (const std::string& also : Code.Also)
    if (Protocol == also) return true;
  return false;
}

bool FieldsMatch(const TCode& Code, const TProtocol& Found) {
  for (const auto& [name, value] : Code.Fields) {
    bool seen = false;
    for (const TProtocolField& field : Found.Fields) {
      if (field.Name != name) continue;
      seen = true;
      if (field.Value != value) return false;
      break;
    }
    if (!seen) return false;
  }
  return true;
}

std::string Percent(int Part, int Whole) {
  if (Whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 100.0 * Part / Whole);
  return text;
}

std::string Percent2(int Part, int Whole) {
  if (Whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.2f", 100.0 * Part / Whole);
  return text;
}

void PrintRow(const std::string& Name, const TScore& S) {
  std::cout << "| " << Name << " | " << S.Codes << " | " << Percent(S.Right(), S.Codes) << " | "
            << S.Exact << " | " << S.Likely << " | " << S.Missed << " | " << S.Wrong << " |\n";
}

std::string Summary(const TCode& Code) {
  std::string text;
  for (size_t i = 0; i < Code.Micros.size() && i < 12; ++i)
    text += (i ? " " : "") + std::to_string(static_cast<int>(Code.Micros[i]));
  return text +
         (Code.Micros.size() > 12 ? " ... (" + std::to_string(Code.Micros.size()) + ")" : "");
}

}  // namespace

int main(int Argc, char** Argv) {
  CLI::App app{"Scores the library on real remotes' own timings, imported as mode2 is."};
  std::string file = DefaultFile();
  std::string library = std::string(VORLENT_DATA_DIR) + "/protocols.xml";
  std::string secondPass = "on", only;
  size_t limit = 0;
  int show = 0;
  app.add_option("FILE", file, "gzip'd JSON lines of measured codes")->capture_default_str();
  app.add_option("--protocols", library, "protocol library")->capture_default_str();
  app.add_option("--second-pass", secondPass, "on or off")->check(CLI::IsMember({"on", "off"}));
  app.add_option("--limit", limit, "read at most N codes (0: all)");
  app.add_option("--only", only, "score only codes of this protocol");
  app.add_option("--show", show, "print up to N missed and N wrong codes per protocol");
  CLI11_PARSE(app, Argc, Argv);

  try {
    std::vector<TCode> codes = ReadCodes(file, limit);
    if (!only.empty())
      std::erase_if(codes, [&](const TCode& Code) { return Code.Protocol != only; });

    // Drawn as TInputDecoder draws a mode2 signal: durations as sent, then the gap.
    TEnvelopeSource source;
    for (const TCode& code : codes) {
      std::vector<double> durations = code.Micros;
      durations.push_back(TMode2Format::DefaultGapMicros);
      source.Add(durations, true);
    }
    std::vector<std::vector<std::unique_ptr<TSample>>> packets(codes.size());
    TRecordingDecoder cutter;
    cutter.OnSample = [&](std::unique_ptr<TSample> Sample) {
      const int signal = source.Signal(Sample->StreamIndex);
      if (signal >= 0) packets[static_cast<size_t>(signal)].push_back(std::move(Sample));
    };
    cutter.Decode(source);

    TProtocolRecognition engine;
    const TDecodeSettings settings;
    engine.SampleRate = TDecodeSettings::SampleRate;
    engine.SetTolerance(settings.ToleranceSeconds());
    engine.SecondPass = secondPass == "on";
    std::string report;
    engine.OnReport = [&](const std::string& Text) { report = Text; };
    engine.LoadProtocols(library);
    if (!report.empty()) throw std::runtime_error(library + ": " + report);

    std::map<std::string, TScore> scores;
    std::map<std::string, int> shown;
    TScore total;
    std::map<std::string, int> namedAs;  // wrong names, "sent -> named"
    const auto start = std::chrono::steady_clock::now();
    for (auto& row : packets)
      for (auto& sample : row) engine.Decode(*sample);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (size_t i = 0; i < codes.size(); ++i) {
      const TCode& code = codes[i];
      TScore& score = scores[code.Protocol];
      ++score.Codes;
      ++total.Codes;
      const TProtocol* right = nullptr;
      const TProtocol* wrong = nullptr;
      for (const auto& sample : packets[i]) {
        const TProtocol& found = *sample->Protocol;
        // A generic reading names no protocol of the library: the code counts as missed.
        if (!found.Known() || found.Match == TProtocol::TMatch::Generic) continue;
        if (Names(code, found.ProtocolName) && FieldsMatch(code, found)) {
          if (!right) right = &found;
        } else if (!wrong) {
          wrong = &found;
        }
      }
      std::string outcome;
      if (right) {
        const bool exact = right->Match == TProtocol::TMatch::Exact;
        ++(exact ? score.Exact : score.Likely);
        ++(exact ? total.Exact : total.Likely);
      } else if (wrong) {
        ++score.Wrong;
        ++total.Wrong;
        ++namedAs[code.Protocol + " -> " + wrong->ProtocolName +
                  (Names(code, wrong->ProtocolName) ? " (fields)" : "")];
        outcome =
            "wrong: " + wrong->ProtocolName + " " + wrong->GetDataText() + " " + wrong->MatchNote;
      } else {
        ++score.Missed;
        ++total.Missed;
        outcome = "missed";
      }
      if (!outcome.empty() && shown[code.Protocol + outcome.substr(0, 5)]++ < show)
        std::cout << code.Protocol << " " << code.Remote << " " << outcome << ": " << Summary(code)
                  << "\n";
    }

    std::cout << "| protocol | codes | right % | exact | likely | missed | wrong |\n"
                 "|---|---:|---:|---:|---:|---:|---:|\n";
    for (const auto& [name, score] : scores)
      if (score.Codes >= MinRowCodes) PrintRow(name, score);
    PrintRow("**all**", total);
    std::cout << "\nright " << Percent(total.Right(), total.Codes) << " %, missed "
              << Percent(total.Missed, total.Codes) << " %, wrong "
              << Percent2(total.Wrong, total.Codes) << " % of " << total.Codes << " codes; "
              << "decoding took " << seconds << " s\n";
    if (!namedAs.empty()) {
      std::cout << "wrong names:";
      for (const auto& [pair, count] : namedAs) std::cout << " " << pair << " " << count << ";";
      std::cout << "\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "real_remotes: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
