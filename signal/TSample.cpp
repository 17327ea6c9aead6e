#include "TSample.h"

void TProtocol::AddField(const std::string& Name, uint64_t Value) {
  if (Fields.size() >= MaxFields) return;
  Fields.push_back({Name, Value});
}

std::string TProtocol::GetDataText() const {
  std::string text;
  for (const auto& field : Fields)
    text +=
        field.Name + "=" + (field.Text.empty() ? std::to_string(field.Value) : field.Text) + "; ";
  return text;
}

namespace {
const char* const LikelyMark = "?";   // after the name of a likely match
const char* const GenericMark = "~";  // after the name of a generic match
}  // namespace

std::string TProtocol::ListName() const {
  switch (Match) {
    case TMatch::Likely:
      return ProtocolName + LikelyMark;
    case TMatch::Generic:
      return ProtocolName + GenericMark;
    case TMatch::Exact:
      break;
  }
  return ProtocolName;
}

std::string TProtocol::MatchText() const {
  if (!Known()) return "";
  switch (Match) {
    case TMatch::Likely:
      return "likely";
    case TMatch::Generic:
      return "generic";
    case TMatch::Exact:
      break;
  }
  return "exact";
}

void TSample::AddMark(uint8_t Row, uint16_t Position, TMarkText Text) {
  if (Row >= Marks.size()) return;
  Marks[Row].push_back({Position, Text});
}

void TSample::PackSignal() {
  if (Signal.empty()) return;
  Packed = TPackedSignal(Signal);
  std::vector<uint8_t>().swap(Signal);  // its memory too, which clear() keeps
}

const std::vector<uint8_t>& TSample::SignalValues(std::vector<uint8_t>& Scratch) const {
  if (Packed.empty()) return Signal;
  Packed.Unpack(Scratch);
  return Scratch;
}
