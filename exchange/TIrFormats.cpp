#include "TIrFormats.h"

#include <fstream>

#include "TFlipperFormat.h"
#include "TLineReader.h"
#include "TLircFormat.h"
#include "TMode2Format.h"
#include "TProntoFormat.h"

namespace {
constexpr size_t DetectLineLength = 4096;  // characters of a line looked at
}

const std::vector<const TIrFormat*>& TIrFormats::All() {
  static const TFlipperFormat flipper;
  static const TProntoFormat pronto;
  static const TLircFormat lirc;
  static const TMode2Format mode2;
  static const std::vector<const TIrFormat*> formats = {&flipper, &pronto, &lirc, &mode2};
  return formats;
}

const TIrFormat* TIrFormats::Find(const std::string& Name) {
  for (const TIrFormat* format : All())
    if (Name == format->Name()) return format;
  return nullptr;
}

const TIrFormat* TIrFormats::Detect(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return nullptr;
  TLineReader reader(in, FileName);
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < DetectLines && reader.Next(line)) {
    if (reader.Overlong()) return nullptr;
    if (line.find('\0') != std::string::npos) return nullptr;  // binary: a recording
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (line.size() > DetectLineLength) line.resize(DetectLineLength);
    lines.push_back(line);
  }
  for (const TIrFormat* format : All())
    if (format->Recognizes(lines)) return format;
  return nullptr;
}
