#include "TTimingPattern.h"

#include <charconv>
#include <cmath>
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

// Item: digits, optionally the separator and more digits, then nothing but spaces.
bool TTimingPattern::ParseNumber(std::string_view Item, std::string_view DecimalSeparator,
                                 long double& Value) {
  std::string whole, fraction;
  size_t i = 0;
  while (i < Item.size() && IsDigit(Item[i]) && whole.size() <= MaxNumberLength) whole += Item[i++];
  if (!DecimalSeparator.empty() && Item.substr(i).starts_with(DecimalSeparator)) {
    i += DecimalSeparator.size();
    while (i < Item.size() && IsDigit(Item[i]) && fraction.size() <= MaxNumberLength) {
      fraction += Item[i++];
    }
  }
  if (whole.empty() && fraction.empty()) return false;
  if (whole.size() + fraction.size() > MaxNumberLength) return false;
  while (i < Item.size() && Item[i] == ' ') ++i;
  if (i != Item.size()) return false;
  const std::string number =
      (whole.empty() ? "0" : whole) + "." + (fraction.empty() ? "0" : fraction);
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), Value);
  return error == std::errc() && end == number.data() + number.size() && std::isfinite(Value);
}
