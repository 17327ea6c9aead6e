#include "TProntoFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "TCodeLibrary.h"
#include "TCodeText.h"
#include "TLineReader.h"

namespace {
constexpr size_t WordDigits = 4;
constexpr size_t HeaderWords = 4;
constexpr uint32_t LearnedCode = 0x0000;
// Compact forms that name a protocol: FORM FREQ 0000 0002 SYSTEM COMMAND.
constexpr uint32_t Rc5Code = 0x5000, Rc6Code = 0x6000;
constexpr size_t CompactWords = 6;
constexpr uint32_t CompactRepeatPairs = 2;
constexpr uint32_t Rc5Systems = 32, Rc5Commands = 128, Rc5xFirstCommand = 64;
constexpr uint32_t Rc6Systems = 256, Rc6Commands = 256;
constexpr uint32_t MaxCount = 0xFFFF;
constexpr double MicrosPerSecond = 1e6;

// The line without its "name:" prefix; Name receives the name.
std::string_view SplitName(std::string_view Line, std::string& Name) {
  const size_t colon = Line.find(':');
  if (colon == std::string_view::npos) return Line;
  Name = std::string(TCodeText::Trim(Line.substr(0, colon)));
  return Line.substr(colon + 1);
}

bool IsComment(std::string_view Text) {
  return Text.empty() || Text.front() == '#' || Text.starts_with("//");
}

// Name as a line's prefix that reads back as it was where it can: a colon (the prefix's end)
// or a line break becomes a space, and a name that would start a comment gets a leading "_".
std::string SafeName(const std::string& Name) {
  std::string safe = Name;
  for (char& c : safe) {
    if (c == ':' || c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  safe = std::string(TCodeText::Trim(safe));
  if (IsComment(safe) && !safe.empty()) safe.insert(0, "_");
  return safe;
}
}  // namespace

bool TProntoFormat::Recognizes(const std::vector<std::string>& Lines) const {
  for (const std::string& line : Lines) {
    const std::string_view text = TCodeText::Trim(line);
    if (IsComment(text)) continue;
    std::string name;
    const std::vector<std::string_view> words = TCodeText::Words(SplitName(text, name));
    if (words.size() < HeaderWords) return false;
    return std::all_of(words.begin(), words.begin() + HeaderWords, [](std::string_view w) {
      return w.size() == WordDigits && TCodeText::Hex(w, WordDigits).has_value();
    });
  }
  return false;
}

bool TProntoFormat::ReadLine(std::string_view Line, TIrCode& Code, std::string& Reason) {
  const std::vector<std::string_view> words = TCodeText::Words(SplitName(Line, Code.Name));
  std::vector<uint32_t> values;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::optional<uint32_t> value = TCodeText::Hex(words[i], WordDigits);
    if (!value || words[i].size() != WordDigits) {
      Reason = "word " + std::to_string(i + 1) + " \"" + std::string(words[i].substr(0, 20)) +
               "\" is not four hexadecimal digits";
      return false;
    }
    values.push_back(*value);
  }
  if (values.size() < HeaderWords) {
    Reason = "a Pronto code needs at least four words";
    return false;
  }
  const bool compact = values[0] == Rc5Code || values[0] == Rc6Code;
  if (values[0] != LearnedCode && !compact) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", values[0]);
    Reason = std::string(
                 "only learned codes (0000) and the RC5 and RC6 forms (5000, 6000) are "
                 "read, not ") +
             text;
    return false;
  }
  if (values[1] == 0) {
    Reason = "the carrier word is 0000";
    return false;
  }
  const double period = values[1] * PeriodUnit;
  Code.CarrierHz = static_cast<uint32_t>(std::lround(MicrosPerSecond / period));
  if (compact) return ReadCompact(values, Code, Reason);
  const size_t pairs = size_t{values[2]} + values[3];
  if (HeaderWords + 2 * pairs != values.size()) {
    Reason = "the counts announce " + std::to_string(HeaderWords + 2 * pairs) +
             " words, the line has " + std::to_string(values.size());
    return false;
  }
  if (pairs == 0) {
    Reason = "the code holds no durations";
    return false;
  }
  if (2 * pairs > TIrCode::MaxDurations) {
    Reason = "more than " + std::to_string(TIrCode::MaxDurations) + " durations";
    return false;
  }
  for (size_t i = HeaderWords; i < values.size(); ++i) {
    if (values[i] == 0) {
      Reason = "word " + std::to_string(i + 1) + " is a duration of 0";
      return false;
    }
    Code.Durations.push_back(static_cast<uint32_t>(std::lround(values[i] * period)));
  }
  Code.GapMicros = Code.Durations.back();
  Code.Durations.pop_back();
  return true;
}

// 5000 (RC5: system 0-31, command 0-127, 64 and up being RC5X's) or 6000 (RC6 mode 0: system
// and command 0-255) as a parsed code.
bool TProntoFormat::ReadCompact(const std::vector<uint32_t>& Values, TIrCode& Code,
                                std::string& Reason) {
  const bool rc5 = Values[0] == Rc5Code;
  const std::string form = rc5 ? "5000 (RC5)" : "6000 (RC6)";
  if (Values.size() != CompactWords || Values[2] != 0 || Values[3] != CompactRepeatPairs) {
    Reason = "a " + form + " code is \"" + form.substr(0, WordDigits) +
             " FREQ 0000 0002 SYSTEM COMMAND\"";
    return false;
  }
  const uint32_t system = Values[4], command = Values[5];
  if (system >= (rc5 ? Rc5Systems : Rc6Systems) || command >= (rc5 ? Rc5Commands : Rc6Commands)) {
    Reason = "system " + std::to_string(system) + " or command " + std::to_string(command) +
             " is out of range for " + form;
    return false;
  }
  const bool extended = rc5 && command >= Rc5xFirstCommand;
  Code.Protocol = !rc5 ? "RC6" : extended ? "RC5X" : "RC5";
  Code.Address = system;
  Code.Command = extended ? command - Rc5xFirstCommand : command;
  return true;
}

TIrCodeFile TProntoFormat::Read(TLineReader& Lines, const TDecodeSettings&) const {
  TIrCodeFile file;
  std::string line;
  while (!file.Full && Lines.Next(line)) {
    if (Lines.Overlong()) {
      file.Problems.push_back(Lines.Problem(
          "line longer than " + std::to_string(TLineReader::MaxLineLength) + " characters"));
      continue;
    }
    const std::string_view text = TCodeText::Trim(line);
    if (IsComment(text)) continue;
    TIrCode code;
    code.Line = Lines.LineNumber();
    std::string reason;
    if (ReadLine(text, code, reason))
      file.Add(std::move(code), Lines);
    else
      file.Problems.push_back(Lines.Problem(reason));
  }
  return file;
}

void TProntoFormat::Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const {
  for (const TIrCode& code : Codes) {
    const double carrier = code.CarrierHz ? code.CarrierHz : TCodeLibrary::DefaultCarrierHz;
    const auto frequency = static_cast<uint32_t>(
        std::clamp(std::lround(MicrosPerSecond / carrier / PeriodUnit), 1L, long{MaxCount}));
    const double period = frequency * PeriodUnit;
    std::vector<uint32_t> durations = code.Durations;
    durations.push_back(code.GapMicros ? std::min(code.GapMicros, DefaultLeadOutMicros)
                                       : DefaultLeadOutMicros);
    if (durations.size() % 2) durations.push_back(DefaultLeadOutMicros);
    if (const std::string name = SafeName(code.Name); !name.empty()) Out << name << ": ";
    char word[16];
    const auto put = [&](uint32_t Value, bool First = false) {
      std::snprintf(word, sizeof word, "%04X", Value);
      Out << (First ? "" : " ") << word;
    };
    put(LearnedCode, true);
    put(frequency);
    put(static_cast<uint32_t>(durations.size() / 2));
    put(0);
    for (uint32_t d : durations)
      put(static_cast<uint32_t>(std::clamp(std::lround(d / period), 1L, long{MaxCount})));
    Out << '\n';
  }
}
