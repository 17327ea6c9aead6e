#include "TBufferQueue.h"

#include <algorithm>

TMMResult TBufferQueue::Prepare(TWaveHdr* Header) {
  Header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

TMMResult TBufferQueue::Unprepare(TWaveHdr* Header) {
  if (Contains(Header)) return WAVERR_STILLPLAYING;
  Header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

TMMResult TBufferQueue::Add(TWaveHdr* Header) {
  if (!(Header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (Contains(Header)) return WAVERR_STILLPLAYING;
  Header->dwBytesRecorded = 0;
  Header->dwFlags = (Header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  Queue.push_back(Header);
  return MMSYSERR_NOERROR;
}

TWaveHdr* TBufferQueue::TakeFront() {
  if (Queue.empty()) return nullptr;
  TWaveHdr* header = Queue.front();
  Queue.pop_front();
  MarkDone(header);
  return header;
}

std::deque<TWaveHdr*> TBufferQueue::TakeAll() {
  std::deque<TWaveHdr*> all;
  all.swap(Queue);
  for (TWaveHdr* header : all) MarkDone(header);
  return all;
}

bool TBufferQueue::Contains(const TWaveHdr* Header) const {
  return std::find(Queue.begin(), Queue.end(), Header) != Queue.end();
}

void TBufferQueue::MarkDone(TWaveHdr* Header) {
  Header->dwFlags = (Header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
}
