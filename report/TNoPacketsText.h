#pragma once
// What the front ends say when an input yields no packets at all: the input's name and, since
// the usual cause is a receiver of the other polarity, the hint to flip the signal.

#include <string>

class TNoPacketsText {
 public:
  // "No infrared packets found in NAME. ..." with the hint to try InvertName (the front end's
  // name of "Invert input"), or to try without it when Inverted. Never fails.
  static std::string For(const std::string& InputName, bool Inverted,
                         const std::string& InvertName);
};
