#pragma once
// Decodes one recording on its own thread while the window goes on working: the file's packets,
// its failure or its cancellation come back on the owner's thread. Owns the thread, its cancel
// flag and the join.

#include <QObject>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TRecordingDecoder.h"
#include "TSample.h"

class TCodeLibrary;

class TImportWorker {
 public:
  struct TOutcome {
    std::string FileName;
    TRecordingDecoder::TOptions Options;  // what it was decoded with
    std::vector<std::unique_ptr<TSample>> Samples;
    std::exception_ptr Error;  // the file could not be read (a TRecordingError)
    bool Cancelled = false;    // Cancel was called: the packets are to be discarded
    std::string EndsEarly;     // "NAME: the file ends early at ...", shown after the packets
    std::vector<std::string> Problems;  // signals of a code file that were left out
  };
  // Runs on the owner's thread with the share of the file read so far (0..1).
  using TProgressEvent = std::function<void(double Fraction)>;
  // Runs on the owner's thread once the worker has ended and been joined; may throw.
  using TDoneEvent = std::function<void(TOutcome& Outcome)>;

  // Events are delivered on the thread that creates the worker.
  TImportWorker() = default;
  // Cancels a running import and waits for its thread; its outcome is never delivered.
  ~TImportWorker();
  TImportWorker(const TImportWorker&) = delete;
  TImportWorker& operator=(const TImportWorker&) = delete;

  // Starts decoding FileName (a recording or a code file, whose parsed signals Library renders)
  // with Options; throws std::logic_error while one is running.
  void Start(const std::string& FileName, TRecordingDecoder::TOptions Options,
             std::shared_ptr<const TCodeLibrary> Library);
  // Asks the running import to stop at its next buffer; its outcome then says Cancelled.
  // Safe at any time, also when nothing runs.
  void Cancel() { CancelFlag = true; }
  // True from Start until OnDone has been called.
  bool Running() const { return Thread.joinable(); }

  TProgressEvent OnProgress;
  TDoneEvent OnDone;

 private:
  void Run(const std::string& FileName, TRecordingDecoder::TOptions Options,
           std::shared_ptr<const TCodeLibrary> Library);
  void Finish(const std::shared_ptr<TOutcome>& Outcome);

  QObject Receiver;  // lives on the owner's thread; a queued call dies with it
  std::thread Thread;
  std::atomic<bool> CancelFlag = false;
};
