#pragma once
// A file opened for reading only when it is a regular file: a folder, pipe, socket or device is
// refused at once, before anything could wait on it. Closed by the destructor unless released.

#include <cstdint>
#include <string>

class TRegularFile {
 public:
  // Opens Name read-only. On failure IsOpen() is false, Errno() is the system's error number
  // (0 for a file that is not a regular one) and Reason() says why in words:
  // "not a regular file but a pipe (FIFO)", "No such file or directory", ...
  explicit TRegularFile(const std::string& Name);
  ~TRegularFile();
  TRegularFile(const TRegularFile&) = delete;
  TRegularFile& operator=(const TRegularFile&) = delete;

  bool IsOpen() const { return Fd_ >= 0; }
  int Fd() const { return Fd_; }
  int Errno() const { return Errno_; }
  const std::string& Reason() const { return Reason_; }
  // Bytes of the file when it was opened.
  int64_t Size() const { return Size_; }
  // Hands the descriptor to the caller, who closes it; -1 when the file is not open.
  int Release();

 private:
  void Open(const std::string& Name);
  void FailWith(int Error);
  void Refuse(unsigned Mode);

  int Fd_ = -1;
  int Errno_ = 0;
  std::string Reason_;
  int64_t Size_ = 0;
};
