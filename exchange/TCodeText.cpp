#include "TCodeText.h"

#include <charconv>

#include "TIrCode.h"

namespace {
constexpr size_t MaxDecimalDigits = 10;
constexpr int64_t MaxDuration = 0xFFFFFFFF;

bool IsBlank(char C) {
  return C == ' ' || C == '\t';
}
bool IsControl(char C) {
  return static_cast<unsigned char>(C) < 0x20 || C == 0x7F;
}
}  // namespace

std::string_view TCodeText::Trim(std::string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

std::vector<std::string_view> TCodeText::Words(std::string_view Text) {
  std::vector<std::string_view> words;
  Words(Text, words);
  return words;
}

void TCodeText::Words(std::string_view Text, std::vector<std::string_view>& Words) {
  Words.clear();
  size_t at = 0;
  while (at < Text.size()) {
    while (at < Text.size() && IsBlank(Text[at])) ++at;
    const size_t start = at;
    while (at < Text.size() && !IsBlank(Text[at])) ++at;
    if (at > start) Words.push_back(Text.substr(start, at - start));
  }
}

std::optional<int64_t> TCodeText::Integer(std::string_view Word) {
  const bool negative = !Word.empty() && Word.front() == '-';
  if (!Word.empty() && (Word.front() == '-' || Word.front() == '+')) Word.remove_prefix(1);
  if (Word.empty() || Word.size() > MaxDecimalDigits) return std::nullopt;
  if (Word.front() < '0' || Word.front() > '9') return std::nullopt;  // "+-560", "--560"
  int64_t value = 0;
  const auto [end, error] = std::from_chars(Word.data(), Word.data() + Word.size(), value);
  if (error != std::errc() || end != Word.data() + Word.size()) return std::nullopt;
  return negative ? -value : value;
}

std::optional<uint32_t> TCodeText::Hex(std::string_view Word, size_t MaxDigits) {
  if (Word.empty() || Word.size() > MaxDigits) return std::nullopt;
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(Word.data(), Word.data() + Word.size(), value, 16);
  if (error != std::errc() || end != Word.data() + Word.size()) return std::nullopt;
  return value;
}

std::optional<uint64_t> TCodeText::Unsigned(std::string_view Word) {
  int base = 10;
  if (Word.size() > 2 && Word[0] == '0' && (Word[1] == 'x' || Word[1] == 'X')) {
    base = 16;
    Word.remove_prefix(2);
  }
  if (Word.empty() || Word.front() == '-' || Word.front() == '+') return std::nullopt;
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(Word.data(), Word.data() + Word.size(), value, base);
  if (error != std::errc() || end != Word.data() + Word.size()) return std::nullopt;
  return value;
}

bool TCodeText::Durations(const std::vector<std::string_view>& Words,
                          std::vector<uint32_t>& Durations, std::string& Reason) {
  for (std::string_view word : Words) {
    const std::optional<int64_t> value = Integer(word);
    if (!value) {
      Reason = Quoted(word, 20) + " is not a duration in microseconds";
      return false;
    }
    if (*value <= 0 || *value > MaxDuration) {
      Reason = "duration " + std::string(word) + " is out of range (1 to 4294967295 us)";
      return false;
    }
    if (Durations.size() >= TIrCode::MaxDurations) {
      Reason = "more than " + std::to_string(TIrCode::MaxDurations) + " durations";
      return false;
    }
    Durations.push_back(static_cast<uint32_t>(*value));
  }
  return true;
}

std::string TCodeText::Quoted(std::string_view Text, size_t MaxLength) {
  std::string quoted(1, '"');
  quoted.append(Text.substr(0, MaxLength));
  quoted += '"';
  return quoted;
}

std::string TCodeText::OneLine(const std::string& Text) {
  std::string line = Text;
  for (char& c : line)
    if (IsControl(c)) c = ' ';
  return line;
}

std::string TCodeText::OneWord(const std::string& Text) {
  std::string word = Text;
  for (char& c : word)
    if (IsControl(c) || IsBlank(c)) c = '_';
  return word.empty() ? "_" : word;
}
