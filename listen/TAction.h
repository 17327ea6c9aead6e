#pragma once
// One line of an actions file: the packets it fits and the command they run.

#include <cstdint>
#include <string>
#include <vector>

#include "TSample.h"

struct TAction {
  static constexpr uint64_t NoNumber = UINT64_MAX;  // a field value written only as hex bytes

  std::string Protocol;  // the protocol's name as the library writes it
  // Each must be in the packet with this value: a number (Value), or for a field shown as text
  // (a generic frame's hex bytes) the hex digits written (Text, upper case, without "0x").
  std::vector<TProtocolField> Fields;
  std::string Command;     // run through /bin/sh -c
  bool WhileHeld = false;  // runs for every frame of a held key, not once a press
  int Line = 0;            // in the actions file, for messages

  // True when Packet has this protocol and every named field with the value named (a field
  // the packet shows as text by its hex digits, case and a "0x" aside). Never fails.
  bool Matches(const TProtocol& Packet) const;
};
