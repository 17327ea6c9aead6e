#include "TLircFormat.h"

#include <algorithm>

#include "TCodeText.h"
#include "TLineReader.h"

namespace {
constexpr size_t DurationsPerLine = 8;

// The line without a '#' comment, trimmed.
std::string_view Content(std::string_view Line) {
  return TCodeText::Trim(Line.substr(0, Line.find('#')));
}
}  // namespace

bool TLircFormat::Recognizes(const std::vector<std::string>& Lines) const {
  for (const std::string& line : Lines) {
    const std::vector<std::string_view> words = TCodeText::Words(Content(line));
    if (words.empty()) continue;
    return words.size() >= 2 && words[0] == "begin" && words[1] == "remote";
  }
  return false;
}

TIrCodeFile TLircFormat::Read(TLineReader& Lines) const {
  enum class TPlace { Outside, Remote, RawCodes, OtherCodes };
  TIrCodeFile file;
  TPlace place = TPlace::Outside;
  std::string remote;
  bool raw = false;
  uint32_t gap = 0, carrier = 0;
  TIrCode code;
  std::string problem;  // why the current code is left out
  size_t problemLine = 0;
  const auto finishCode = [&] {
    if (code.Line == 0) return;
    if (problem.empty() && code.Durations.empty()) problem = "code without durations";
    if (problem.empty()) {
      code.GapMicros = code.Durations.size() % 2 ? gap : code.Durations.back();
      if (code.Durations.size() % 2 == 0) code.Durations.pop_back();
      code.CarrierHz = carrier;
      if (!code.Durations.empty()) file.Codes.push_back(std::move(code));
    } else {
      file.Problems.push_back(Lines.Problem("code \"" + code.Name + "\": " + problem, problemLine));
    }
    code = TIrCode();
    problem.clear();
  };
  std::string line;
  while (Lines.Next(line)) {
    if (Lines.Overlong()) {
      const std::string reason =
          "line longer than " + std::to_string(TLineReader::MaxLineLength) + " characters";
      if (code.Line != 0 && problem.empty()) {
        problem = reason;
        problemLine = Lines.LineNumber();
      } else if (code.Line == 0) {
        file.Problems.push_back(Lines.Problem(reason));
      }
      continue;
    }
    const std::vector<std::string_view> words = TCodeText::Words(Content(line));
    if (words.empty()) continue;
    const bool begin = words[0] == "begin" && words.size() >= 2;
    const bool end = words[0] == "end" && words.size() >= 2;
    switch (place) {
      case TPlace::Outside:
        if (begin && words[1] == "remote") {
          place = TPlace::Remote;
          remote.clear();
          raw = false;
          gap = carrier = 0;
        } else {
          file.Problems.push_back(
              Lines.Problem(TCodeText::Quoted(words[0], 20) + " outside a \"begin remote\" block"));
        }
        break;
      case TPlace::Remote:
        if (end && words[1] == "remote") {
          place = TPlace::Outside;
        } else if (begin && words[1] == "raw_codes") {
          place = TPlace::RawCodes;
          if (!raw)
            file.Problems.push_back(
                Lines.Problem("remote \"" + remote + "\" has raw codes without flags RAW_CODES"));
        } else if (begin && words[1] == "codes") {
          place = TPlace::OtherCodes;
          file.Problems.push_back(Lines.Problem(
              "remote \"" + remote +
              "\": only raw codes are read (flags RAW_CODES), its codes are left out"));
        } else if (words[0] == "name" && words.size() >= 2) {
          remote = std::string(words[1]);
        } else if (words[0] == "flags" && words.size() >= 2) {
          raw = std::string_view(line).find("RAW_CODES") != std::string_view::npos;
        } else if ((words[0] == "gap" || words[0] == "frequency") && words.size() >= 2) {
          const std::optional<int64_t> value = TCodeText::Integer(words[1]);
          if (value && *value > 0 && *value <= UINT32_MAX)
            (words[0] == "gap" ? gap : carrier) = static_cast<uint32_t>(*value);
        }
        break;
      case TPlace::RawCodes:
        if (end && words[1] == "raw_codes") {
          finishCode();
          place = TPlace::Remote;
        } else if (words[0] == "name") {
          finishCode();
          code.Line = Lines.LineNumber();
          code.Name = words.size() >= 2 ? std::string(words[1]) : "";
        } else if (code.Line == 0) {
          file.Problems.push_back(Lines.Problem("durations before the first \"name\" line"));
        } else if (problem.empty()) {
          if (!TCodeText::Durations(words, code.Durations, problem))
            problemLine = Lines.LineNumber();
        }
        break;
      case TPlace::OtherCodes:
        if (end && words[1] == "codes") place = TPlace::Remote;
        break;
    }
  }
  finishCode();
  if (place != TPlace::Outside)
    file.Problems.push_back(Lines.Problem("the file ends inside a block (no \"end remote\")"));
  return file;
}

void TLircFormat::Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const {
  uint32_t gap = 0;
  for (const TIrCode& code : Codes) gap = std::max(gap, code.GapMicros);
  const uint32_t carrier = Codes.empty() ? 0 : Codes.front().CarrierHz;
  Out << "# Raw codes of decoded infrared packets, written by Vorlent.\n"
      << "begin remote\n"
      << "  name  " << RemoteName << "\n"
      << "  flags RAW_CODES\n"
      << "  eps            30\n"
      << "  aeps          100\n";
  if (carrier) Out << "  frequency    " << carrier << "\n";
  Out << "  gap          " << (gap ? std::min(gap, DefaultGapMicros) : DefaultGapMicros) << "\n"
      << "  begin raw_codes\n";
  for (const TIrCode& code : Codes) {
    Out << "    name " << TCodeText::OneWord(code.Name) << "\n";
    for (size_t i = 0; i < code.Durations.size(); ++i) {
      Out << (i % DurationsPerLine ? " " : "      ") << code.Durations[i];
      if (i % DurationsPerLine == DurationsPerLine - 1 || i + 1 == code.Durations.size())
        Out << "\n";
    }
  }
  Out << "  end raw_codes\n"
      << "end remote\n";
}
