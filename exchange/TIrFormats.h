#pragma once
// The table of exchange formats: the one place where a format is registered.

#include <string>
#include <vector>

#include "TIrFormat.h"

class TIrFormats {
 public:
  // Every format, in the order they are offered (flipper, pronto, lirc, mode2).
  static const std::vector<const TIrFormat*>& All();
  // The format whose Name is Name, or null.
  static const TIrFormat* Find(const std::string& Name);
  // The format of the file FileName by its content, or null when it is none of them (or
  // cannot be opened: reading it then reports why).
  static const TIrFormat* Detect(const std::string& FileName);

 private:
  static constexpr size_t DetectLines = 8;  // meaningful lines looked at
};
