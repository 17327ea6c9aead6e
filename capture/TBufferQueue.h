#pragma once
// The queue of capture buffers a sound system keeps, and the rules of the sound-system contract
// about it, kept here once for every back-end: only a prepared buffer is queued, and never
// twice; a queued buffer cannot be unprepared; queued buffers are filled and handed back
// oldest first, each marked done. Not synchronised: a back-end with a reader thread guards it
// with its own lock.

#include <cstddef>
#include <deque>

#include "TSoundSystem.h"

class TBufferQueue {
 public:
  // Marks Header prepared. Never fails.
  static TMMResult Prepare(TWaveHdr* Header);
  // Clears the prepared mark; WAVERR_STILLPLAYING while Header is queued.
  TMMResult Unprepare(TWaveHdr* Header);
  // Queues Header empty; WAVERR_UNPREPARED when it is not prepared, WAVERR_STILLPLAYING
  // when it is queued already (it stays queued once).
  TMMResult Add(TWaveHdr* Header);
  // The oldest queued buffer, the one being filled; null when none is queued.
  TWaveHdr* Front() const { return Queue.empty() ? nullptr : Queue.front(); }
  // Takes the oldest buffer out of the queue, marked done, for the back-end to announce.
  TWaveHdr* TakeFront();
  // Takes every queued buffer out, oldest first, each marked done (a reset hands them back).
  std::deque<TWaveHdr*> TakeAll();
  bool Contains(const TWaveHdr* Header) const;
  size_t Size() const { return Queue.size(); }

 private:
  static void MarkDone(TWaveHdr* Header);

  std::deque<TWaveHdr*> Queue;
};
