#include "TRegularFileStream.h"

#include <unistd.h>

#include <cerrno>

TRegularFileStream::TRegularFileStream(const std::string& Name)
    : std::istream(nullptr), File(Name), Buffer(File.Fd()) {
  rdbuf(&Buffer);
  if (!File.IsOpen()) setstate(std::ios::badbit);
}

TRegularFileStream::TBuffer::int_type TRegularFileStream::TBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (Fd < 0) return traits_type::eof();
  ssize_t n;
  do {
    n = ::read(Fd, Block.data(), Block.size());
  } while (n < 0 && errno == EINTR);
  Failed = n < 0;
  if (n <= 0) return traits_type::eof();
  setg(Block.data(), Block.data(), Block.data() + n);
  return traits_type::to_int_type(*gptr());
}
