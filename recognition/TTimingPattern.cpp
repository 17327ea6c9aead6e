#include "TTimingPattern.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr char HighMarker = '#';

bool IsSeparator(char C) {
  return C == '#' || C == '_' || C == '\n' || C == '\r';
}

// White space and control characters, which the ends of a pattern may carry.
bool IsBlankOrControl(char C) {
  const auto code = static_cast<unsigned char>(C);
  return code <= 0x20 || code == 0x7F;
}

bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}

// Up to 19 digits make a whole number below 2^64 and their power of ten is below 2^64 too; both
// are exact in a 64-bit mantissa, so one division gives the correctly rounded value.
constexpr size_t MaxExactDigits = 19;

bool FitsExactly(std::string_view Whole, std::string_view Fraction) {
  return std::numeric_limits<long double>::digits >= 64 &&
         Whole.size() + Fraction.size() <= MaxExactDigits;
}

long double ExactQuotient(std::string_view Whole, std::string_view Fraction) {
  uint64_t digits = 0, scale = 1;
  for (char c : Whole) digits = digits * 10 + static_cast<uint64_t>(c - '0');
  for (char c : Fraction) {
    digits = digits * 10 + static_cast<uint64_t>(c - '0');
    scale *= 10;
  }
  return static_cast<long double>(digits) / static_cast<long double>(scale);
}

}  // namespace

bool TTimingPattern::Parse(std::string_view Text, std::string_view DecimalSeparator,
                           size_t MaxDurations, bool& HighFirst,
                           std::vector<long double>& Durations) {
  Durations.clear();
  if (Text.size() > MaxTextLength) return false;
  const std::string_view text = Trim(Text);
  HighFirst = !text.empty() && text.front() == HighMarker;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    std::string_view item = text.substr(start, end - start);
    start = end + 1;
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    if (item.empty()) continue;
    if (Durations.size() >= MaxDurations) return false;
    long double microseconds = 0;
    if (!ParseNumber(item, DecimalSeparator, microseconds)) return false;
    Durations.push_back(microseconds);
  }
  return !Durations.empty();
}

std::string_view TTimingPattern::Trim(std::string_view Text) {
  while (!Text.empty() && IsBlankOrControl(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlankOrControl(Text.back())) Text.remove_suffix(1);
  return Text;
}

// Item: digits, optionally the separator and more digits, then nothing but spaces. Leading zeros
// of the whole part and trailing zeros of the fraction do not count towards MaxNumberLength.
bool TTimingPattern::ParseNumber(std::string_view Item, std::string_view DecimalSeparator,
                                 long double& Value) {
  size_t i = 0;
  const auto digits = [&] {
    const size_t start = i;
    while (i < Item.size() && IsDigit(Item[i])) ++i;
    return Item.substr(start, i - start);
  };
  std::string_view whole = digits(), fraction;
  const bool separated = !DecimalSeparator.empty() && Item.substr(i).starts_with(DecimalSeparator);
  if (separated) {
    i += DecimalSeparator.size();
    fraction = digits();
  }
  if (whole.empty() && fraction.empty()) return false;
  while (i < Item.size() && Item[i] == ' ') ++i;
  if (i != Item.size()) return false;
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (whole.size() + fraction.size() > MaxNumberLength) return false;
  if (FitsExactly(whole, fraction)) {
    Value = ExactQuotient(whole, fraction);
    return true;
  }
  std::string number(whole.empty() ? "0" : whole);
  number += '.';
  number += fraction.empty() ? "0" : fraction;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), Value,
                                            std::chars_format::fixed);
  return error == std::errc() && end == number.data() + number.size() && std::isfinite(Value);
}
