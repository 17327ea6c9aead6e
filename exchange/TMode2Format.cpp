#include "TMode2Format.h"

#include <cmath>

#include "TCodeText.h"
#include "TDecodeSettings.h"
#include "TLineReader.h"

namespace {
// mode2's own lines about the device it reads, which carry no durations.
bool IsDeviceLine(std::string_view Text) {
  return Text.starts_with("Using ") || Text.starts_with("Trying ");
}

bool IsComment(std::string_view Text) {
  return Text.empty() || Text.front() == '#';
}
}  // namespace

bool TMode2Format::Recognizes(const std::vector<std::string>& Lines) const {
  for (const std::string& line : Lines) {
    const std::string_view text = TCodeText::Trim(line);
    if (IsComment(text) || IsDeviceLine(text)) continue;
    const std::vector<std::string_view> words = TCodeText::Words(text);
    if (words[0] == "pulse" || words[0] == "space" || words[0] == "timeout")
      return words.size() == 2 && TCodeText::Integer(words[1]).has_value();
    return (words[0].front() == '+' || words[0].front() == '-') &&
           TCodeText::Integer(words[0]).has_value();
  }
  return false;
}

TIrCodeFile TMode2Format::Read(TLineReader& Lines, const TDecodeSettings& Settings) const {
  const auto signalBreak = static_cast<int64_t>(std::lround(Settings.EndSilenceMillis * 1000));
  TIrCodeFile file;
  TIrCode code;
  std::string problem;
  size_t problemLine = 0;
  bool lastMark = false;
  // Gap: the silence after the code; Measured when the next code follows after exactly that
  // (a space line), not after a receiver's timeout or the end of the file.
  const auto finish = [&](uint32_t Gap, bool Measured = false) {
    if (file.Full) {
    } else if (!problem.empty()) {
      file.Problems.push_back(Lines.Problem(problem, problemLine));
    } else if (!code.Durations.empty()) {
      if (!lastMark) code.Durations.pop_back();
      code.GapMicros = Gap;
      code.GapMeasured = Measured;
      file.Add(std::move(code), Lines);
    }
    code = TIrCode();
    problem.clear();
    lastMark = false;
  };
  // One duration: a mark, or a space (Mark false); a long space ends the signal.
  const auto take = [&](bool Mark, int64_t Value, std::string_view Word) {
    if (Value <= 0 || Value > UINT32_MAX) {
      if (problem.empty()) {
        problem =
            "duration " + std::string(Word.substr(0, 20)) + " is out of range (1 to 4294967295 us)";
        problemLine = Lines.LineNumber();
      }
      return;
    }
    const auto micros = static_cast<uint32_t>(Value);
    if (!Mark && (code.Durations.empty() || micros >= signalBreak)) {
      if (!code.Durations.empty() || !problem.empty()) finish(micros, true);
      return;
    }
    if (code.Durations.empty()) code.Line = Lines.LineNumber();
    if (!code.Durations.empty() && Mark == lastMark) {
      code.Durations.back() += micros;  // two of a kind in a row make one run
      return;
    }
    if (code.Durations.size() >= TIrCode::MaxDurations) {
      if (problem.empty()) {
        problem = "more than " + std::to_string(TIrCode::MaxDurations) + " durations in one signal";
        problemLine = Lines.LineNumber();
      }
      return;
    }
    code.Durations.push_back(micros);
    lastMark = Mark;
  };
  std::string line;
  std::vector<std::string_view> words;
  while (!file.Full && Lines.Next(line)) {
    if (Lines.Overlong()) {
      if (problem.empty()) {
        problem = "line longer than " + std::to_string(TLineReader::MaxLineLength) + " characters";
        problemLine = Lines.LineNumber();
      }
      continue;
    }
    const std::string_view text = TCodeText::Trim(line);
    if (IsComment(text) || IsDeviceLine(text)) continue;
    TCodeText::Words(text, words);
    const bool named = words[0] == "pulse" || words[0] == "space" || words[0] == "timeout";
    if (named) {
      const std::optional<int64_t> value =
          words.size() == 2 ? TCodeText::Integer(words[1]) : std::nullopt;
      if (!value) {
        if (problem.empty()) {
          problem = TCodeText::Quoted(text, 40) + " is not \"" + std::string(words[0]) +
                    " MICROSECONDS\"";
          problemLine = Lines.LineNumber();
        }
        continue;
      }
      if (words[0] == "timeout") {
        if (!code.Durations.empty() || !problem.empty())
          finish(static_cast<uint32_t>(std::max<int64_t>(*value, 0)));
        continue;
      }
      take(words[0] == "pulse", *value, words[1]);
      continue;
    }
    for (std::string_view word : words) {
      const std::optional<int64_t> value = TCodeText::Integer(word);
      if (!value || (word.front() != '+' && word.front() != '-')) {
        if (problem.empty()) {
          problem = TCodeText::Quoted(word, 20) +
                    " is neither a pulse/space line nor a signed duration (+560 -560)";
          problemLine = Lines.LineNumber();
        }
        break;
      }
      take(word.front() == '+', *value < 0 ? -*value : *value, word);
    }
  }
  if (!code.Durations.empty() || !problem.empty()) finish(0);
  return file;
}

void TMode2Format::Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const {
  for (size_t i = 0; i < Codes.size(); ++i) {
    const TIrCode& code = Codes[i];
    if (i)
      Out << "space " << (Codes[i - 1].GapMicros ? Codes[i - 1].GapMicros : DefaultGapMicros)
          << '\n';
    for (size_t d = 0; d < code.Durations.size(); ++d)
      Out << (d % 2 ? "space " : "pulse ") << code.Durations[d] << '\n';
  }
}
