#pragma once
// The table of exchange formats: the one place where a format is registered.

#include <string>
#include <vector>

#include "TIrFormat.h"

class TIrFormats {
 public:
  // What the start of a file shows: a code format, a text the formats refuse (Refusal says
  // why, "UTF-16 ..."), or neither (an audio recording, or a file that cannot be opened).
  struct TDetection {
    const TIrFormat* Format = nullptr;
    std::string Refusal;
  };

  // Every format, in the order they are offered (flipper, pronto, lirc, mode2).
  static const std::vector<const TIrFormat*>& All();
  // The format whose Name is Name, or null.
  static const TIrFormat* Find(const std::string& Name);
  // The format of the file FileName by its content, or null when it is none of them (or
  // cannot be opened: reading it then reports why).
  static const TIrFormat* Detect(const std::string& FileName) { return Examine(FileName).Format; }
  // Detect with the reason a text file is refused. Only a regular file is opened; a pipe or
  // device is left unopened (nothing found). Never throws for bad content.
  static TDetection Examine(const std::string& FileName);
  // The same for the start of a file held in Head.
  static TDetection ExamineHead(const std::string& Head);

 private:
  static bool IsUtf16(const std::string& Head);
};
