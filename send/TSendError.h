#pragma once
// A code that cannot be sent as asked: the reason, ready for the user ("NEC: no field named
// comand (did you mean command?)").

#include <stdexcept>
#include <string>

class TSendError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
