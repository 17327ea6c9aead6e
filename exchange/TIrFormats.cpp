#include "TIrFormats.h"

#include <fstream>
#include <sstream>

#include "TFlipperFormat.h"
#include "TLineReader.h"
#include "TLircFormat.h"
#include "TMode2Format.h"
#include "TProntoFormat.h"

namespace {
constexpr size_t DetectLineLength = 4096;  // characters of a line looked at
constexpr size_t DetectBytes = 65536;      // the start of the file that is looked at
}  // namespace

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
  std::string head(DetectBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (head.find('\0') != std::string::npos) return nullptr;  // binary: a recording
  std::istringstream text(head);
  TLineReader reader(text, FileName);
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < DetectLines && reader.Next(line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (line.size() > DetectLineLength) line.resize(DetectLineLength);
    lines.push_back(line);
  }
  for (const TIrFormat* format : All())
    if (format->Recognizes(lines)) return format;
  return nullptr;
}
