#pragma once
// Reads an actions file: lines "PROTOCOL field=value ... [+repeat] = COMMAND", "#" comments.
//   NEC address=4 command=8 = playerctl play-pause
//   NEC address=4 command=2 +repeat = amixer -q set Master 5%+
// The protocol name is every word before the first field (it may hold spaces); values are
// decimal or 0x hexadecimal, 0..65535, or hex bytes of any length for the data of a frame read
// without a definition ("Pulse distance bits=32 data=20DF10EF = ..."); "+repeat" runs the
// command for every frame of a held key.

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TAction.h"

class TActionFile {
 public:
  // A malformed line or an unreadable file: "FILE:LINE: reason" or "FILE: reason".
  class TError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  static constexpr size_t MaxFileBytes = 1 << 20;

  // The actions of FileName in file order. Throws TError for the first bad line, or when the
  // file cannot be read (missing, not a regular file, no permission, over MaxFileBytes). A
  // pipe or device is refused before it is opened.
  static std::vector<TAction> Read(const std::string& FileName);
  // The actions of Text, named FileName in errors. Throws TError for the first bad line.
  static std::vector<TAction> Parse(std::istream& Text, const std::string& FileName);

 private:
  static TAction ParseLine(const std::string& Line);
  static void AddField(TAction& Action, const std::string& Word);
  static void AddOption(TAction& Action, const std::string& Word);
};
