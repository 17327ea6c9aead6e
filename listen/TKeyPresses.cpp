#include "TKeyPresses.h"

#include <array>

namespace {
const char* const UnknownProtocol = "unknown";
// Name endings of the definitions whose frames repeat a held key.
const std::array<std::string, 2> RepeatEndings = {" repeat", " (no lead-in)"};
}  // namespace

bool TKeyPresses::IsRepeatFrame(const std::string& ProtocolName) {
  for (const std::string& ending : RepeatEndings)
    if (ProtocolName.size() > ending.size() && ProtocolName.ends_with(ending)) return true;
  return false;
}

bool TKeyPresses::SameKey(const TProtocol& A, const TProtocol& B) {
  if (A.ProtocolName != B.ProtocolName || A.Fields.size() != B.Fields.size()) return false;
  for (size_t i = 0; i < A.Fields.size(); ++i)
    if (A.Fields[i].Name != B.Fields[i].Name || A.Fields[i].Value != B.Fields[i].Value ||
        A.Fields[i].Text != B.Fields[i].Text)
      return false;
  return true;
}

std::vector<const TAction*> TKeyPresses::Handle(const TProtocol& Packet, double Start, double End) {
  if (Packet.ProtocolName.empty() || Packet.ProtocolName == UnknownProtocol) return {};
  const bool holding = Held && Start - HeldEnd <= ReleaseSeconds;
  if (IsRepeatFrame(Packet.ProtocolName)) {
    std::vector<const TAction*> own = Matching(Packet, false);  // lines naming the repeat itself
    if (!holding) {
      Held.reset();
      return own;
    }
    HeldEnd = End;
    std::vector<const TAction*> held = Matching(*Held, true);
    held.insert(held.end(), own.begin(), own.end());
    return held;
  }
  const bool again = holding && SameKey(*Held, Packet);
  Held = Packet;
  HeldEnd = End;
  return Matching(Packet, again);
}

std::vector<const TAction*> TKeyPresses::Matching(const TProtocol& Packet,
                                                  bool OnlyWhileHeld) const {
  std::vector<const TAction*> found;
  for (const TAction& action : Actions)
    if ((!OnlyWhileHeld || action.WhileHeld) && action.Matches(Packet)) found.push_back(&action);
  return found;
}
