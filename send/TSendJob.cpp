#include "TSendJob.h"

#include "TSoundOutput.h"

TSendJob::TSendJob(std::shared_ptr<TSoundOutput> OutputIn) : Output(std::move(OutputIn)) {}

TSendJob::~TSendJob() {
  Stopping = true;
  Join();
}

void TSendJob::Join() {
  if (Worker.joinable()) Worker.join();
}

bool TSendJob::Start(TCarrierRenderer::TPcm Pcm, const std::string& Device, TDone Done) {
  if (Running) return false;
  Join();  // the last send has finished: its thread ends at once
  Running = true;
  Stopping = false;
  try {
    Worker = std::thread([this, pcm = std::move(Pcm), Device, Done = std::move(Done)] {
      const std::string problem = Output->Play(Device, pcm.Rate, pcm.Samples, Stopping);
      Running = false;
      if (Done) Done(problem);
    });
  } catch (...) {
    Running = false;
    throw;
  }
  return true;
}
