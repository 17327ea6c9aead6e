#pragma once
// How packets are cut from the signal and matched against the protocol library: the values
// both front ends start from, and what the user may change. Plain values; never fails.

#include <cstdint>
#include <string>

struct TDecodeSettings {
  static constexpr uint16_t SampleRate = 48000;  // Hz of capture, processing and decoding
  static constexpr const char* LibraryFileName = "protocols.xml";

  // The defaults: what the program does unless the user asks otherwise.
  static constexpr double DefaultToleranceMicros = 50;
  static constexpr int DefaultTriggerLevel = 143;  // starts a packet; one below keeps it open
  static constexpr double DefaultEndSilenceMillis = 5;
  static constexpr bool DefaultSecondPass = true;
  static constexpr bool DefaultGeneric = true;

  // What the user may choose.
  static constexpr double MinToleranceMicros = 1, MaxToleranceMicros = 1000;
  static constexpr int MinTriggerLevel = 130, MaxTriggerLevel = 255;  // the line rests at 128
  static constexpr double MinEndSilenceMillis = 1, MaxEndSilenceMillis = 100;

  // The settings the user sees, one entry each in the texts and checks below.
  enum class TItem { Tolerance, Level, EndSilence, SecondPass, Generic };
  static constexpr TItem Items[] = {TItem::Tolerance, TItem::Level, TItem::EndSilence,
                                    TItem::SecondPass, TItem::Generic};

  double ToleranceMicros = DefaultToleranceMicros;    // each duration is matched within +- this
  bool InvertInput = false;                           // the receiver idles high and dips
  bool AutomaticLevel = false;                        // derive the level from the signal itself
  int TriggerLevel = DefaultTriggerLevel;             // a fixed level (when not automatic)
  double EndSilenceMillis = DefaultEndSilenceMillis;  // quiet time that ends a packet
  bool SecondPass = DefaultSecondPass;  // try the tolerant pass on packets left unknown
  bool Generic = DefaultGeneric;        // read packets still unknown without a definition

  // The tolerance as the decoder takes it: the single nearest to ToleranceMicros x 1e-6.
  float ToleranceSeconds() const { return static_cast<float>(ToleranceMicros / 1e6); }
  // The ending silence as the signal processor takes it (the single nearest).
  float EndSilenceSeconds() const { return static_cast<float>(EndSilenceMillis / 1e3); }

  // True when Item is not at its default.
  bool Differs(TItem Item) const;
  // True when no item differs from its default (InvertInput, a switch of its own, aside).
  bool AtDefaults() const;
  // Item as a short text: "tolerance 80 us", "level auto", "ending silence 10 ms",
  // "second pass off", "generic decoding off". Never fails.
  std::string Text(TItem Item) const;
  // The texts of the items that differ from their defaults, joined by ", "; "" when none.
  std::string DifferencesText() const;
  // What is out of range, e.g. "trigger level 300 is not within 130..255"; "" when all is
  // well (a NaN is out of every range).
  std::string Problem() const;
  // The same for one item.
  std::string Problem(TItem Item) const;

  // The Text value of an item without its name ("80", "auto", "10", "off").
  std::string ValueText(TItem Item) const;
  // Sets Item from the text ValueText writes (numbers in the C locale, "auto", "on"/"off");
  // returns "" or why Text was refused ("level: \"x\" is neither a number nor auto"), and
  // then leaves the item as it was. A value out of range is refused too.
  std::string SetValue(TItem Item, const std::string& Text);
  // The item's name in texts, options and stored settings: "tolerance", "level", ...
  static const char* Name(TItem Item);

  bool operator==(const TDecodeSettings&) const = default;
};
