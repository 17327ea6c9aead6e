#pragma once
// A notification target for programs without a window: messages posted from any thread
// wait here until the owning thread takes them, one at a time, in order.

#include <deque>
#include <mutex>
#include <optional>

#include "TSoundSystem.h"

class TMessageQueue : public TWaveNotifyTarget {
 public:
  void Post(const TMessage& Message) override {
    std::lock_guard lock(Mutex);
    Messages.push_back(Message);
  }
  // The oldest message, or nothing when none is waiting.
  std::optional<TMessage> Take() {
    std::lock_guard lock(Mutex);
    if (Messages.empty()) return std::nullopt;
    TMessage message = Messages.front();
    Messages.pop_front();
    return message;
  }

 private:
  std::mutex Mutex;
  std::deque<TMessage> Messages;
};
