#include "TNearestName.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <numeric>

size_t TNearestName::Distance(const std::string& A, const std::string& B) {
  std::vector<size_t> row(B.size() + 1);
  std::iota(row.begin(), row.end(), 0);
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

std::string TNearestName::Of(const std::string& Name, const std::vector<std::string>& Names) {
  const size_t limit = std::max<size_t>(1, std::min(MaxEdits, Name.size() / 3 + 1));
  std::string best;
  size_t bestDistance = limit + 1;
  for (const std::string& candidate : Names) {
    const size_t distance = Distance(Name, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::string TNearestName::Hint(const std::string& Name, const std::vector<std::string>& Names) {
  const std::string nearest = Of(Name, Names);
  return nearest.empty() ? "" : " (did you mean " + nearest + "?)";
}

std::string TNearestName::Closest(const std::string& Name, const std::vector<std::string>& Names) {
  std::string best;
  size_t bestDistance = SIZE_MAX;
  for (const std::string& candidate : Names) {
    if (const size_t distance = Distance(Name, candidate); distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}
