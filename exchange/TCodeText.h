#pragma once
// Small text helpers the format readers share: trimming, splitting and strict numbers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TCodeText {
 public:
  // Text without blanks (spaces, tabs) at either end.
  static std::string_view Trim(std::string_view Text);
  // The blank-separated words of Text.
  static std::vector<std::string_view> Words(std::string_view Text);
  // The same into Words (cleared first), whose room a reader keeps from line to line.
  static void Words(std::string_view Text, std::vector<std::string_view>& Words);
  // A whole decimal number of 1..10 digits with an optional sign; nothing otherwise.
  static std::optional<int64_t> Integer(std::string_view Word);
  // A whole unsigned number of 64 bits at most, decimal or "0x" hex; nothing otherwise.
  static std::optional<uint64_t> Unsigned(std::string_view Word);
  // Word, which must consist of 1..MaxDigits hexadecimal digits; nothing otherwise.
  static std::optional<uint32_t> Hex(std::string_view Word, size_t MaxDigits);
  // Reads Words as durations (us) onto Durations: each must be a whole number of 1 or more.
  // False with Reason set otherwise, or when there would be more than TIrCode::MaxDurations.
  static bool Durations(const std::vector<std::string_view>& Words,
                        std::vector<uint32_t>& Durations, std::string& Reason);
  // Text in double quotes, cut to its first MaxLength characters, for a message.
  static std::string Quoted(std::string_view Text, size_t MaxLength);
  // Text with line breaks and other control characters replaced by blanks.
  static std::string OneLine(const std::string& Text);
  // Text as one word: blanks and control characters replaced by '_'; "_" when empty.
  static std::string OneWord(const std::string& Text);
};
