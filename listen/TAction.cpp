#include "TAction.h"

#include <algorithm>

bool TAction::Matches(const TProtocol& Packet) const {
  if (Packet.ProtocolName != Protocol) return false;
  return std::all_of(Fields.begin(), Fields.end(), [&Packet](const TProtocolField& wanted) {
    return std::any_of(Packet.Fields.begin(), Packet.Fields.end(), [&](const TProtocolField& f) {
      if (f.Name != wanted.Name) return false;
      return f.Text.empty() ? f.Value == wanted.Value : f.Text == wanted.Text;
    });
  });
}
