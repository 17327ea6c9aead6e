#pragma once
// Reads a text file line by line with bounded memory: a line longer than MaxLineLength is
// skipped to its end and reported, never held whole. A UTF-8 byte-order mark is skipped.

#include <cstddef>
#include <istream>
#include <string>
#include <utility>

class TLineReader {
 public:
  static constexpr size_t MaxLineLength = 1 << 20;  // characters; no real code line comes close

  // Reads In, whose file is FileName (for the messages). Never fails.
  TLineReader(std::istream& Input, std::string Name) : In(Input), FileName(std::move(Name)) {}

  // The next line without its line break ("\r\n" too) in Line; false at the end. An overlong
  // line comes back empty with Overlong() true.
  bool Next(std::string& Line);
  // True when the last line read was longer than MaxLineLength.
  bool Overlong() const { return LastOverlong; }
  // The number of the last line read, from 1.
  size_t LineNumber() const { return Number; }
  // "file:line: Reason" for the last line read, or for line At when given.
  std::string Problem(const std::string& Reason, size_t At = 0) const;
  const std::string& Name() const { return FileName; }
  // Bytes read so far, line breaks and skipped characters included.
  size_t BytesRead() const { return Bytes; }

 private:
  std::istream& In;
  std::string FileName;
  size_t Number = 0;
  size_t Bytes = 0;
  bool LastOverlong = false;
};
