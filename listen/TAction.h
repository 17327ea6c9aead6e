#pragma once
// One line of an actions file: the packets it fits and the command they run.

#include <string>
#include <vector>

#include "TSample.h"

struct TAction {
  std::string Protocol;                // the protocol's name as the library writes it
  std::vector<TProtocolField> Fields;  // each must be in the packet with this value
  std::string Command;                 // run through /bin/sh -c
  bool WhileHeld = false;              // runs for every frame of a held key, not once a press
  int Line = 0;                        // in the actions file, for messages

  // True when Packet has this protocol and every named field with the value named. Never fails.
  bool Matches(const TProtocol& Packet) const;
};
