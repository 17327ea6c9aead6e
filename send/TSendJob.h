#pragma once
// Plays rendered codes on a worker thread, one send at a time, so that the caller (the window)
// goes on recording and browsing meanwhile. The thread is joined in the destructor, which
// stops a send in progress first.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "TCarrierRenderer.h"

class TSoundOutput;

class TSendJob {
 public:
  // Done receives "" or the reason the send failed; it runs on the worker thread.
  using TDone = std::function<void(const std::string& Problem)>;

  explicit TSendJob(std::shared_ptr<TSoundOutput> Output);
  ~TSendJob();
  TSendJob(const TSendJob&) = delete;
  TSendJob& operator=(const TSendJob&) = delete;

  // Starts playing Pcm on Device ("" = default); false (nothing started) while a send is still
  // in progress. Never throws except when no thread can be started (std::system_error).
  bool Start(TCarrierRenderer::TPcm Pcm, const std::string& Device, TDone Done);
  // True from Start until the samples are played (just before Done runs).
  bool Busy() const { return Running; }
  // Asks a send in progress to stop; returns at once.
  void Stop() { Stopping = true; }

 private:
  void Join();

  std::shared_ptr<TSoundOutput> Output;
  std::thread Worker;
  std::atomic<bool> Running = false, Stopping = false;
};
