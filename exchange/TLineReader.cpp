#include "TLineReader.h"

#include <streambuf>

namespace {
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";  // UTF-8's, which some editors write
constexpr size_t LineBlock = 256;  // characters moved into the line at a time
}  // namespace

bool TLineReader::Next(std::string& Line) {
  Line.clear();
  LastOverlong = false;
  std::streambuf* buffer = In.rdbuf();
  if (!buffer) return false;
  using traits = std::streambuf::traits_type;
  int c = buffer->sbumpc();
  if (traits::eq_int_type(c, traits::eof())) return false;
  ++Number;
  // Characters go to Line a block at a time, not one by one.
  char block[LineBlock];
  size_t filled = 0;
  const auto flush = [&] {
    Line.append(block, filled);
    filled = 0;
  };
  for (; !traits::eq_int_type(c, traits::eof()); c = buffer->sbumpc()) {
    ++Bytes;
    const char ch = traits::to_char_type(c);
    if (ch == '\n') break;
    if (LastOverlong) continue;
    if (Line.size() + filled == MaxLineLength) {
      LastOverlong = true;
      filled = 0;
      Line.clear();
      Line.shrink_to_fit();
      continue;
    }
    block[filled++] = ch;
    if (filled == LineBlock) flush();
  }
  flush();
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();
  if (Number == 1 && Line.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0)
    Line.erase(0, ByteOrderMark.size());
  return true;
}

std::string TLineReader::Problem(const std::string& Reason, size_t At) const {
  return FileName + ":" + std::to_string(At ? At : Number) + ": " + Reason;
}
