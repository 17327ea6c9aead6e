#pragma once
// The name of a list closest to a misspelt one, for "did you mean" hints.

#include <string>
#include <vector>

class TNearestName {
 public:
  static constexpr size_t MaxEdits = 3;  // a name further away is no useful hint

  // The name of Names with the fewest edits from Name (letter case ignored), "" when none is
  // within MaxEdits or a third of Name's length. Never fails.
  static std::string Of(const std::string& Name, const std::vector<std::string>& Names);
  // " (did you mean X?)" for the nearest name, "" when there is none.
  static std::string Hint(const std::string& Name, const std::vector<std::string>& Names);
  // The name of Names with the fewest edits from Name however many, the first of equals; ""
  // when Names is empty. Never fails.
  static std::string Closest(const std::string& Name, const std::vector<std::string>& Names);

 private:
  static size_t Distance(const std::string& A, const std::string& B);
};
