#pragma once
// A notification target for programs without a window: messages posted from any thread
// wait here until the owning thread takes them, one at a time, in order.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "TSoundSystem.h"

class TMessageQueue : public TWaveNotifyTarget {
 public:
  void Post(const TMessage& Message) override {
    {
      std::lock_guard lock(Mutex);
      Messages.push_back(Message);
    }
    Arrived.notify_one();
  }
  // The oldest message, or nothing when none is waiting.
  std::optional<TMessage> Take() {
    std::lock_guard lock(Mutex);
    if (Messages.empty()) return std::nullopt;
    TMessage message = Messages.front();
    Messages.pop_front();
    return message;
  }
  // The oldest message, waiting up to Patience for one; nothing when none came.
  std::optional<TMessage> TakeWithin(std::chrono::milliseconds Patience) {
    std::unique_lock lock(Mutex);
    if (!Arrived.wait_for(lock, Patience, [this] { return !Messages.empty(); }))
      return std::nullopt;
    TMessage message = Messages.front();
    Messages.pop_front();
    return message;
  }

 private:
  std::mutex Mutex;
  std::condition_variable Arrived;
  std::deque<TMessage> Messages;
};
