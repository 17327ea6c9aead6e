#include "TLircFormat.h"

#include <algorithm>

#include "TCodeError.h"
#include "TCodeText.h"
#include "TLineReader.h"
#include "TLircRemote.h"

namespace {
constexpr size_t DurationsPerLine = 8;

// The words of Line up to a comment, as LIRC reads them: a line that starts with '#' is one, and
// so is the rest of a line from a word that starts with '#', except an indented key named "#"
// followed by its code.
std::vector<std::string_view> Words(std::string_view Line) {
  if (!Line.empty() && Line.front() == '#') return {};
  std::vector<std::string_view> words = TCodeText::Words(Line);
  const bool hashKey =
      words.size() >= 2 && words[0] == "#" && TCodeText::Unsigned(words[1]).has_value();
  for (size_t i = hashKey ? 1 : 0; i < words.size(); ++i) {
    if (words[i].front() != '#') continue;
    words.resize(i);
    break;
  }
  return words;
}

// Reads one lircd.conf block by block: remotes, their parameters, their raw codes (durations)
// and their codes (numbers drawn by TLircRemote).
class TLircReader {
 public:
  explicit TLircReader(TLineReader& Lines) : In(Lines) {}
  TIrCodeFile Read();

 private:
  enum class TPlace { Outside, Remote, RawCodes, Codes, LeftOut };

  void Outside(const std::vector<std::string_view>& Words);
  void InRemote(const std::vector<std::string_view>& Words);
  void InRawCodes(const std::vector<std::string_view>& Words);
  void InCodes(const std::vector<std::string_view>& Words);
  void BeginCodes();
  void FinishRawCode();
  void Overlong();
  void Problem(const std::string& Reason, size_t At = 0) {
    File.Problems.push_back(In.Problem(Reason, At));
  }
  std::string OfRemote() const { return "remote \"" + RemoteName + "\""; }
  static bool Is(const std::vector<std::string_view>& Words, std::string_view First,
                 std::string_view Second) {
    return Words.size() >= 2 && Words[0] == First && Words[1] == Second;
  }

  TLineReader& In;
  TIrCodeFile File;
  TPlace Place = TPlace::Outside;
  TLircRemote Remote;
  std::string RemoteName;
  size_t RemoteLine = 0;
  bool RemoteHasCodes = false;
  std::string ParameterProblem;  // the first parameter that cannot be used
  size_t ParameterLine = 0;
  TIrCode Code;             // the raw code being read
  std::string CodeProblem;  // why it is left out
  size_t CodeProblemLine = 0;
};

TIrCodeFile TLircReader::Read() {
  std::string line;
  while (!File.Full && In.Next(line)) {
    if (In.Overlong()) {
      Overlong();
      continue;
    }
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) continue;
    switch (Place) {
      case TPlace::Outside:
        Outside(words);
        break;
      case TPlace::Remote:
        InRemote(words);
        break;
      case TPlace::RawCodes:
        InRawCodes(words);
        break;
      case TPlace::Codes:
        InCodes(words);
        break;
      case TPlace::LeftOut:
        if (Is(words, "end", "codes")) Place = TPlace::Remote;
        break;
    }
  }
  FinishRawCode();
  if (!File.Full && Place != TPlace::Outside)
    Problem("the file ends inside a block (no \"end remote\")");
  return std::move(File);
}

void TLircReader::Overlong() {
  const std::string reason =
      "line longer than " + std::to_string(TLineReader::MaxLineLength) + " characters";
  if (Code.Line == 0) {
    Problem(reason);
  } else if (CodeProblem.empty()) {
    CodeProblem = reason;
    CodeProblemLine = In.LineNumber();
  }
}

void TLircReader::Outside(const std::vector<std::string_view>& Words) {
  if (!Is(Words, "begin", "remote")) {
    Problem(TCodeText::Quoted(Words[0], 20) + " outside a \"begin remote\" block");
    return;
  }
  Place = TPlace::Remote;
  Remote = TLircRemote();
  RemoteName.clear();
  RemoteLine = In.LineNumber();
  RemoteHasCodes = false;
  ParameterProblem.clear();
}

void TLircReader::InRemote(const std::vector<std::string_view>& Words) {
  if (Is(Words, "end", "remote")) {
    if (!RemoteHasCodes) Problem(OfRemote() + " has neither codes nor raw codes", RemoteLine);
    Place = TPlace::Outside;
  } else if (Is(Words, "begin", "raw_codes")) {
    Place = TPlace::RawCodes;
    RemoteHasCodes = true;
    if (!Remote.Raw()) Problem(OfRemote() + " has raw codes without flags RAW_CODES");
  } else if (Is(Words, "begin", "codes")) {
    RemoteHasCodes = true;
    BeginCodes();
  } else if (Words[0] == "name" && Words.size() >= 2) {
    RemoteName = std::string(Words[1]);
  } else if (!TLircRemote::Knows(Words[0])) {
    File.Notes.push_back(
        In.Problem(OfRemote() + ": parameter " + TCodeText::Quoted(Words[0], 20) + " skipped"));
  } else if (std::string reason = Remote.Set(Words); !reason.empty() && ParameterProblem.empty()) {
    ParameterProblem = std::move(reason);
    ParameterLine = In.LineNumber();
  }
}

// A remote whose parameters cannot draw its codes has them all left out, with one reason.
void TLircReader::BeginCodes() {
  std::string reason = ParameterProblem;
  size_t line = ParameterLine;
  if (reason.empty()) {
    reason = Remote.Problem();
    line = In.LineNumber();
  }
  if (reason.empty()) {
    Place = TPlace::Codes;
    return;
  }
  Place = TPlace::LeftOut;
  Problem(OfRemote() + ": " + reason + "; its codes are left out", line);
}

void TLircReader::InCodes(const std::vector<std::string_view>& Words) {
  if (Is(Words, "end", "codes")) {
    Place = TPlace::Remote;
    return;
  }
  TIrCode code;
  code.Line = In.LineNumber();
  code.Name = std::string(Words[0]);
  const std::string of = "code " + TCodeText::Quoted(code.Name, 40) + ": ";
  if (Words.size() < 2) return Problem(of + "no value after the name");
  std::vector<uint64_t> values;
  for (size_t i = 1; i < Words.size(); ++i) {
    const std::optional<uint64_t> value = TCodeText::Unsigned(Words[i]);
    if (!value) return Problem(of + TCodeText::Quoted(Words[i], 20) + " is not a number");
    values.push_back(*value);
  }
  try {
    Remote.Render(values, code);
    File.Add(std::move(code), In);
  } catch (const TCodeError& e) {
    Problem(of + e.what());
  }
}

void TLircReader::InRawCodes(const std::vector<std::string_view>& Words) {
  if (Is(Words, "end", "raw_codes")) {
    FinishRawCode();
    Place = TPlace::Remote;
  } else if (Words[0] == "name") {
    FinishRawCode();
    Code.Line = In.LineNumber();
    Code.Name = Words.size() >= 2 ? std::string(Words[1]) : "";
  } else if (Code.Line == 0) {
    Problem("durations before the first \"name\" line");
  } else if (CodeProblem.empty()) {
    if (!TCodeText::Durations(Words, Code.Durations, CodeProblem))
      CodeProblemLine = In.LineNumber();
  }
}

void TLircReader::FinishRawCode() {
  if (Code.Line == 0) return;
  if (CodeProblem.empty() && Code.Durations.empty()) CodeProblem = "code without durations";
  if (CodeProblem.empty()) {
    const bool endsInSpace = Code.Durations.size() % 2 == 0;
    Code.GapMicros = endsInSpace ? Code.Durations.back() : Remote.GapMicros();
    if (endsInSpace) Code.Durations.pop_back();
    Code.CarrierHz = Remote.CarrierHz();
    if (!Code.Durations.empty()) File.Add(std::move(Code), In);
  } else {
    Problem("code \"" + Code.Name + "\": " + CodeProblem, CodeProblemLine);
  }
  Code = TIrCode();
  CodeProblem.clear();
}
}  // namespace

bool TLircFormat::Recognizes(const std::vector<std::string>& Lines) const {
  for (const std::string& line : Lines) {
    const std::vector<std::string_view> words = Words(line);
    if (words.size() >= 2 && words[0] == "begin" && words[1] == "remote") return true;
  }
  return false;
}

TIrCodeFile TLircFormat::Read(TLineReader& Lines, const TDecodeSettings&) const {
  return TLircReader(Lines).Read();
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
