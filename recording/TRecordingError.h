#pragma once
// A recording that cannot be decoded: the file's name and the reason, in one text.

#include <stdexcept>
#include <string>

class TRecordingError : public std::runtime_error {
 public:
  // what() is "FileName: Reason".
  TRecordingError(const std::string& FileName, const std::string& Reason)
      : std::runtime_error(FileName + ": " + Reason), FileName(FileName), Reason(Reason) {}

  std::string FileName;
  std::string Reason;
};
