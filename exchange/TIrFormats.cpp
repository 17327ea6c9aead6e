#include "TIrFormats.h"

#include <sstream>

#include "TFlipperFormat.h"
#include "TLineReader.h"
#include "TLircFormat.h"
#include "TMode2Format.h"
#include "TProntoFormat.h"
#include "TRegularFileStream.h"

namespace {
constexpr size_t DetectLineLength = 4096;  // characters of a line looked at
constexpr size_t DetectBytes = 65536;      // the start of the file that is looked at
constexpr size_t Utf16ProbeBytes = 64;     // bytes looked at for UTF-16 without a mark
constexpr const char* Utf16Refused =
    "a UTF-16 text file; code files are read as UTF-8 (or ASCII): save it as UTF-8";

// A line that is no evidence of any format: blank, or a comment.
bool Meaningless(const std::string& Line) {
  const size_t first = Line.find_first_not_of(" \t");
  return first == std::string::npos || Line[first] == '#';
}
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

TIrFormats::TDetection TIrFormats::Examine(const std::string& FileName) {
  TRegularFileStream in(FileName);
  if (!in.IsOpen()) return {};
  std::string head(DetectBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return ExamineHead(head);
}

// Comments and blank lines are skipped: every format lets a file start with any number of
// them. The formats look at the meaningful lines of the head (lircd.conf for its "begin
// remote" anywhere among them, the others at the first).
TIrFormats::TDetection TIrFormats::ExamineHead(const std::string& Head) {
  if (IsUtf16(Head)) return {nullptr, Utf16Refused};
  if (Head.find('\0') != std::string::npos) return {};  // binary: a recording
  std::istringstream text(Head);
  TLineReader reader(text, "");
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line)) {
    if (Meaningless(line)) continue;
    if (line.size() > DetectLineLength) line.resize(DetectLineLength);
    lines.push_back(line);
  }
  for (const TIrFormat* format : All())
    if (format->Recognizes(lines)) return {format, ""};
  return {};
}

// A byte-order mark of either order, or ASCII text with a zero byte beside every character.
bool TIrFormats::IsUtf16(const std::string& Head) {
  if (Head.size() >= 2 &&
      ((Head[0] == '\xFF' && Head[1] == '\xFE') || (Head[0] == '\xFE' && Head[1] == '\xFF')))
    return true;
  const size_t probe = std::min(Head.size(), Utf16ProbeBytes) & ~size_t{1};
  if (probe < 4) return false;
  for (const size_t zeroAt : {size_t{0}, size_t{1}}) {
    bool all = true;
    for (size_t i = 0; i < probe && all; i += 2) {
      const auto c = static_cast<unsigned char>(Head[i + 1 - zeroAt]);
      all = Head[i + zeroAt] == '\0' &&
            (c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7F));
    }
    if (all) return true;
  }
  return false;
}
