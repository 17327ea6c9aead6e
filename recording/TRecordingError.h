#pragma once
// A recording that cannot be decoded: the file's name and the reason, in one text.

#include <stdexcept>
#include <string>

class TRecordingError : public std::runtime_error {
 public:
  // what() is "FileName: Reason".
  TRecordingError(const std::string& File, const std::string& Why)
      : std::runtime_error(File + ": " + Why), FileName(File), Reason(Why) {}

  std::string FileName;
  std::string Reason;
};
