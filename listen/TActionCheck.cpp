#include "TActionCheck.h"

#include <algorithm>

#include "TActionFile.h"
#include "TCodeLibrary.h"
#include "TGenericPass.h"
#include "TNearestName.h"

namespace {
std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}
}  // namespace

std::string TActionCheck::Problem(const TAction& Action) const {
  std::vector<std::string> protocols = TGenericFrame::CodingNames();
  for (const TDefinition& definition : Library.Definitions()) protocols.push_back(definition.Name);
  if (std::find(protocols.begin(), protocols.end(), Action.Protocol) == protocols.end())
    return "unknown protocol " + Quoted(Action.Protocol) +
           " (nearest: " + Quoted(TNearestName::Closest(Action.Protocol, protocols)) + ")";
  const std::vector<std::string> fields = FieldsOf(Action.Protocol);
  for (const TProtocolField& field : Action.Fields) {
    if (std::find(fields.begin(), fields.end(), field.Name) != fields.end()) continue;
    if (fields.empty())
      return Action.Protocol + " has no fields, but the action names " + Quoted(field.Name);
    return Action.Protocol + " has no field " + Quoted(field.Name) +
           " (nearest: " + Quoted(TNearestName::Closest(field.Name, fields)) + ")";
  }
  return "";
}

void TActionCheck::Check(const std::vector<TAction>& Actions, const std::string& FileName) const {
  if (Library.Definitions().empty()) return;
  for (const TAction& action : Actions)
    if (const std::string problem = Problem(action); !problem.empty())
      throw TActionFile::TError(FileName + ":" + std::to_string(action.Line) + ": " + problem);
}

// The data fields of every definition named Protocol, or of the generic coding named so.
std::vector<std::string> TActionCheck::FieldsOf(const std::string& Protocol) const {
  std::vector<std::string> fields;
  const std::vector<std::string> codings = TGenericFrame::CodingNames();
  if (std::find(codings.begin(), codings.end(), Protocol) != codings.end())
    fields = {TGenericPass::BitsField, TGenericPass::DataField};
  for (const TDefinition& definition : Library.Definitions()) {
    if (definition.Name != Protocol) continue;
    for (const TDefinition::TItem& item : definition.Items)
      if (!item.IsDelimiter) fields.push_back(item.Name.value_or(""));
  }
  return fields;
}
