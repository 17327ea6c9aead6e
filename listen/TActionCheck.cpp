#include "TActionCheck.h"

#include <algorithm>
#include <cctype>

#include "TActionFile.h"
#include "TCodeLibrary.h"

namespace {
std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}
}  // namespace

std::string TActionCheck::Problem(const TAction& Action) const {
  std::vector<std::string> protocols;
  for (const TFrameDefinition& definition : Library.Definitions())
    protocols.push_back(definition.Name);
  if (std::find(protocols.begin(), protocols.end(), Action.Protocol) == protocols.end())
    return "unknown protocol " + Quoted(Action.Protocol) +
           " (nearest: " + Quoted(Nearest(Action.Protocol, protocols)) + ")";
  const std::vector<std::string> fields = FieldsOf(Action.Protocol);
  for (const TProtocolField& field : Action.Fields) {
    if (std::find(fields.begin(), fields.end(), field.Name) != fields.end()) continue;
    if (fields.empty())
      return Action.Protocol + " has no fields, but the action names " + Quoted(field.Name);
    return Action.Protocol + " has no field " + Quoted(field.Name) +
           " (nearest: " + Quoted(Nearest(field.Name, fields)) + ")";
  }
  return "";
}

void TActionCheck::Check(const std::vector<TAction>& Actions, const std::string& FileName) const {
  if (Library.Definitions().empty()) return;
  for (const TAction& action : Actions)
    if (const std::string problem = Problem(action); !problem.empty())
      throw TActionFile::TError(FileName + ":" + std::to_string(action.Line) + ": " + problem);
}

// The data fields of every definition named Protocol.
std::vector<std::string> TActionCheck::FieldsOf(const std::string& Protocol) const {
  std::vector<std::string> fields;
  for (const TFrameDefinition& definition : Library.Definitions()) {
    if (definition.Name != Protocol) continue;
    for (const TFrameItem& item : definition.Items)
      if (!item.Delimiter) fields.push_back(item.Name);
  }
  return fields;
}

// Edits (insert, delete, replace) from A to B, letter case not counted.
size_t TActionCheck::Distance(const std::string& A, const std::string& B) {
  std::vector<size_t> row(B.size() + 1);
  for (size_t j = 0; j <= B.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= A.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= B.size(); ++j) {
      const bool same = std::tolower(static_cast<unsigned char>(A[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(B[j - 1]));
      const size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = row[j];
      row[j] = next;
    }
  }
  return row[B.size()];
}

std::string TActionCheck::Nearest(const std::string& Name, const std::vector<std::string>& Names) {
  std::string best;
  size_t bestDistance = SIZE_MAX;
  for (const std::string& candidate : Names)
    if (const size_t d = Distance(Name, candidate); d < bestDistance) {
      best = candidate;
      bestDistance = d;
    }
  return best;
}
