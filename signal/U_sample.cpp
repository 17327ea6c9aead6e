#include "U_sample.h"

void TProtocol::AddField(const std::string& Name, uint64_t Value) {
  if (Fields.size() >= MaxFields) return;
  Fields.push_back({Name, Value});
}

std::string TProtocol::GetDataText() const {
  std::string text;
  for (const auto& field : Fields) text += field.Name + "=" + std::to_string(field.Value) + "; ";
  return text;
}

namespace {
const char* const LikelyMark = "?";  // after the name of a likely match
}

std::string TProtocol::ListName() const {
  return Match == TMatch::Likely ? ProtocolName + LikelyMark : ProtocolName;
}

std::string TProtocol::MatchText() const {
  if (!Known()) return "";
  return Match == TMatch::Likely ? "likely" : "exact";
}

void TSample::AddMark(uint8_t Row, uint16_t Position, const std::string& Text) {
  if (Row >= Marks.size()) return;
  Marks[Row].push_back({Position, Text});
}
