#pragma once
// Checks actions against the protocol library before listening starts: an action whose
// protocol or field the library does not have could never run.

#include <string>
#include <vector>

#include "TAction.h"

class TCodeLibrary;

class TActionCheck {
 public:
  // Library must outlive the check.
  explicit TActionCheck(const TCodeLibrary& Definitions) : Library(Definitions) {}

  // "" when Action names a protocol of the library (or a coding of the generic pass, fields bits
  // and data) and only fields it has; otherwise why not,
  // with the nearest name: "unknown protocol \"Nec\" (nearest: \"NEC\")". Never fails.
  std::string Problem(const TAction& Action) const;
  // Throws TActionFile::TError "FILE:LINE: reason" for the first action of Actions (read from
  // FileName) that has a Problem. Does nothing when the library is empty.
  void Check(const std::vector<TAction>& Actions, const std::string& FileName) const;

 private:
  std::vector<std::string> FieldsOf(const std::string& Protocol) const;

  const TCodeLibrary& Library;
};
