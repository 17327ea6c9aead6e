#include "TDecodeSettings.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {
using TItem = TDecodeSettings::TItem;

// How each item is named: as a key (options, stored settings) and in texts for the user.
struct TItemNames {
  const char* Key;
  const char* Label;
  const char* Unit;  // "" for none
};
TItemNames Names(TItem Item) {
  switch (Item) {
    case TItem::Tolerance:
      return {"tolerance", "tolerance", " µs"};
    case TItem::Level:
      return {"level", "level", ""};
    case TItem::EndSilence:
      return {"end-silence", "ending silence", " ms"};
    case TItem::SecondPass:
      return {"second-pass", "second pass", ""};
    case TItem::Generic:
      return {"generic", "generic decoding", ""};
  }
  return {"", "", ""};
}

const char* const AutoText = "auto";
const char* const OnText = "on";
const char* const OffText = "off";

std::string Number(double Value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", Value);
  return text;
}

// The whole of Text as a number; false for anything else (spaces, units, "nan", "").
template <typename T>
bool Parse(const std::string& Text, T& Value) {
  const char* end = Text.data() + Text.size();
  auto [stop, error] = std::from_chars(Text.data(), end, Value);
  return error == std::errc() && stop == end;
}

bool Within(double Value, double Min, double Max) {
  return Value >= Min && Value <= Max;  // false for a NaN
}

std::string RangeText(TItem Item, double Min, double Max) {
  const TItemNames names = Names(Item);
  return " is not within " + Number(Min) + ".." + Number(Max) + names.Unit;
}
}  // namespace

const char* TDecodeSettings::Name(TItem Item) {
  return Names(Item).Key;
}

bool TDecodeSettings::Differs(TItem Item) const {
  switch (Item) {
    case TItem::Tolerance:
      return ToleranceMicros != DefaultToleranceMicros;
    case TItem::Level:
      return AutomaticLevel || TriggerLevel != DefaultTriggerLevel;
    case TItem::EndSilence:
      return EndSilenceMillis != DefaultEndSilenceMillis;
    case TItem::SecondPass:
      return SecondPass != DefaultSecondPass;
    case TItem::Generic:
      return Generic != DefaultGeneric;
  }
  return false;
}

bool TDecodeSettings::AtDefaults() const {
  for (TItem item : Items)
    if (Differs(item)) return false;
  return true;
}

std::string TDecodeSettings::ValueText(TItem Item) const {
  switch (Item) {
    case TItem::Tolerance:
      return Number(ToleranceMicros);
    case TItem::Level:
      return AutomaticLevel ? AutoText : std::to_string(TriggerLevel);
    case TItem::EndSilence:
      return Number(EndSilenceMillis);
    case TItem::SecondPass:
      return SecondPass ? OnText : OffText;
    case TItem::Generic:
      return Generic ? OnText : OffText;
  }
  return "";
}

std::string TDecodeSettings::Text(TItem Item) const {
  const TItemNames names = Names(Item);
  const bool numeric = Item == TItem::Tolerance || Item == TItem::EndSilence;
  return std::string(names.Label) + " " + ValueText(Item) + (numeric ? names.Unit : "");
}

std::string TDecodeSettings::DifferencesText() const {
  std::string text;
  for (TItem item : Items) {
    if (!Differs(item)) continue;
    if (!text.empty()) text += ", ";
    text += Text(item);
  }
  return text;
}

std::string TDecodeSettings::Problem(TItem Item) const {
  const std::string label = Names(Item).Label;
  switch (Item) {
    case TItem::Tolerance:
      if (Within(ToleranceMicros, MinToleranceMicros, MaxToleranceMicros)) return "";
      return label + " " + Number(ToleranceMicros) + " µs" +
             RangeText(Item, MinToleranceMicros, MaxToleranceMicros);
    case TItem::Level:
      if (AutomaticLevel || Within(TriggerLevel, MinTriggerLevel, MaxTriggerLevel)) return "";
      return "trigger level " + std::to_string(TriggerLevel) +
             RangeText(Item, MinTriggerLevel, MaxTriggerLevel);
    case TItem::EndSilence:
      if (Within(EndSilenceMillis, MinEndSilenceMillis, MaxEndSilenceMillis)) return "";
      return label + " " + Number(EndSilenceMillis) + " ms" +
             RangeText(Item, MinEndSilenceMillis, MaxEndSilenceMillis);
    case TItem::SecondPass:
    case TItem::Generic:
      return "";
  }
  return "";
}

std::string TDecodeSettings::Problem() const {
  for (TItem item : Items)
    if (std::string problem = Problem(item); !problem.empty()) return problem;
  return "";
}

std::string TDecodeSettings::SetValue(TItem Item, const std::string& Text) {
  TDecodeSettings changed = *this;
  const std::string quoted = "\"" + Text + "\"";
  switch (Item) {
    case TItem::Tolerance:
      if (!Parse(Text, changed.ToleranceMicros)) return quoted + " is not a number of µs";
      break;
    case TItem::Level:
      changed.AutomaticLevel = Text == AutoText;
      if (!changed.AutomaticLevel && !Parse(Text, changed.TriggerLevel))
        return quoted + " is neither a whole number nor " + AutoText;
      break;
    case TItem::EndSilence:
      if (!Parse(Text, changed.EndSilenceMillis)) return quoted + " is not a number of ms";
      break;
    case TItem::SecondPass:
    case TItem::Generic:
      if (Text != OnText && Text != OffText)
        return quoted + " is neither " + OnText + " nor " + OffText;
      (Item == TItem::SecondPass ? changed.SecondPass : changed.Generic) = Text == OnText;
      break;
  }
  std::string problem = changed.Problem(Item);
  if (!problem.empty()) return problem;
  *this = changed;
  return "";
}
