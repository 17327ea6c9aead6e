#include "TImportWorker.h"

#include <stdexcept>

#include "TInputDecoder.h"

namespace {
const char* const AlreadyRunning = "An import is already running.";
}

TImportWorker::~TImportWorker() {
  CancelFlag = true;
  if (Thread.joinable()) Thread.join();
}

void TImportWorker::Start(const std::string& FileName, TRecordingDecoder::TOptions Options,
                          std::shared_ptr<const TCodeLibrary> Library) {
  if (Running()) throw std::logic_error(AlreadyRunning);
  CancelFlag = false;
  Thread = std::thread(&TImportWorker::Run, this, FileName, Options, std::move(Library));
}

// On the worker: only its own decoder is touched; everything else goes back queued.
void TImportWorker::Run(const std::string& FileName, TRecordingDecoder::TOptions Options,
                        std::shared_ptr<const TCodeLibrary> Library) {
  TInputDecoder decoder(Options, std::move(Library));
  decoder.OnProgress = [this](double Fraction) {
    QMetaObject::invokeMethod(
        &Receiver,
        [this, Fraction] {
          if (OnProgress && !CancelFlag) OnProgress(Fraction);
        },
        Qt::QueuedConnection);
    return !CancelFlag;
  };
  auto outcome = std::make_shared<TOutcome>();
  outcome->FileName = FileName;
  outcome->Options = Options;
  try {
    TInputDecoder::TResult result = decoder.Decode(FileName);
    outcome->Samples = std::move(result.Samples);
    for (auto& sample : outcome->Samples) {
      sample->Source = FileName;
      sample->PackSignal();  // here rather than on the window's thread
    }
    outcome->Problems = std::move(result.Problems);
    outcome->Cancelled = result.Cancelled;
    if (!result.EndsEarly.empty()) outcome->EndsEarly = FileName + ": " + result.EndsEarly;
  } catch (...) {
    outcome->Error = std::current_exception();
  }
  QMetaObject::invokeMethod(
      &Receiver, [this, outcome] { Finish(outcome); }, Qt::QueuedConnection);
}

void TImportWorker::Finish(const std::shared_ptr<TOutcome>& Outcome) {
  Thread.join();
  // A cancel that arrives after the last buffer still discards the packets.
  Outcome->Cancelled = Outcome->Cancelled || CancelFlag;
  if (OnDone) OnDone(*Outcome);
}
