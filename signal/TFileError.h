#pragma once
// A failed file operation of the sample files: an error code and its text.

#include <stdexcept>
#include <string>

class TFileError : public std::runtime_error {
 public:
  static constexpr int FileNotFound = 2;
  static constexpr int InvalidFilename = 3;
  static constexpr int TooManyOpenFiles = 4;
  static constexpr int AccessDenied = 5;
  static constexpr int ReadBeyondEnd = 100;
  static constexpr int DiskFull = 101;
  static constexpr int InvalidNumericInput = 106;

  // The standard text of Code ("File not found", ..., "I/O error 17").
  explicit TFileError(int ErrorCode) : TFileError(ErrorCode, TextOf(ErrorCode)) {}
  TFileError(int ErrorCode, const std::string& Text) : std::runtime_error(Text), Code(ErrorCode) {}

  // The error of a failed system call's errno value: its entry of the table above, or
  // "I/O error <errno>" for any other.
  static TFileError FromErrno(int Errno);
  static std::string TextOf(int Code);

  int Code;
};
