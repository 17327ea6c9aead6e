#pragma once
// A count of timing matches that one packet may cost, so that no library, however built, can
// make decoding a packet slow: the decoder spends from it and gives up when it runs out.

#include <cstdint>

class TWorkBudget {
 public:
  explicit TWorkBudget(uint64_t Matches) : Left_(Matches) {}

  // Takes Matches from the budget; false (and the budget empty) when not that many are left.
  bool Spend(uint64_t Matches = 1) {
    if (Matches > Left_) {
      Left_ = 0;
      Exhausted_ = true;
      return false;
    }
    Left_ -= Matches;
    return true;
  }
  // True once a Spend has failed.
  bool Exhausted() const { return Exhausted_; }

 private:
  uint64_t Left_;
  bool Exhausted_ = false;
};
