#pragma once
// A code that cannot be read, rendered or written: the reason, with the file and line when
// it comes from a file ("remote.ir:12: ...").

#include <stdexcept>
#include <string>

class TCodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
