#pragma once
// Turns decoded packets into key presses: a remote sends a held key's frame (or a repeat
// frame such as "NEC repeat") over and over, and an action should run once per press.
// A press ends when no frame of the key has come for ReleaseSeconds of the stream.

#include <optional>
#include <string>
#include <vector>

#include "TAction.h"

class TKeyPresses {
 public:
  static constexpr double DefaultReleaseSeconds = 0.150;

  // Lines is kept by reference and must outlive this object; Release in seconds.
  TKeyPresses(const std::vector<TAction>& Lines, double Release)
      : Actions(Lines), ReleaseSeconds(Release) {}

  // The actions, in file order, that Packet sets off; it was captured from Start to End
  // (seconds of the stream, increasing from packet to packet). A new press runs every action
  // it matches; a frame of the held key, or a repeat frame while a key is held, runs only
  // the "+repeat" actions of that key. Unknown packets change nothing. Never fails.
  std::vector<const TAction*> Handle(const TProtocol& Packet, double Start, double End);
  // True for frames that only say "the key is still held": "NEC repeat", "NEC42 repeat",
  // "Kathrein repeat", "JVC (no lead-in)" and any definition named that way.
  static bool IsRepeatFrame(const std::string& ProtocolName);

 private:
  static bool SameKey(const TProtocol& A, const TProtocol& B);
  std::vector<const TAction*> Matching(const TProtocol& Packet, bool OnlyWhileHeld) const;

  const std::vector<TAction>& Actions;
  double ReleaseSeconds;
  std::optional<TProtocol> Held;  // the key pressed last, while it may still be held
  double HeldEnd = 0;             // s: the end of its last frame
};
