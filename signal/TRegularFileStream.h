#pragma once
// An input stream over a file that is opened only when it is a regular one (TRegularFile): a
// pipe, folder or device is refused before anything could wait on it.

#include <array>
#include <istream>
#include <streambuf>
#include <string>

#include "TRegularFile.h"

class TRegularFileStream : public std::istream {
 public:
  // Opens Name for reading. On failure the stream is bad from the start and Reason() says
  // why ("not a regular file but a pipe (FIFO)", "No such file or directory", ...).
  explicit TRegularFileStream(const std::string& Name);

  bool IsOpen() const { return File.IsOpen(); }
  const std::string& Reason() const { return File.Reason(); }
  // Bytes of the file when it was opened.
  int64_t Size() const { return File.Size(); }
  // True when reading failed (an I/O error): what was read so far ends early.
  bool ReadFailed() const { return Buffer.Failed; }

 private:
  // Reads the descriptor in blocks; a read error ends the input and sets Failed.
  class TBuffer : public std::streambuf {
   public:
    explicit TBuffer(int Descriptor) : Fd(Descriptor) {}
    bool Failed = false;

   protected:
    int_type underflow() override;

   private:
    static constexpr size_t BlockBytes = 65536;
    int Fd;
    std::array<char, BlockBytes> Block{};
  };

  TRegularFile File;
  TBuffer Buffer;
};
