#include "TDeviceWatch.h"

#include "TSignalProcessor.h"

TDeviceWatch::TDeviceWatch(QObject* Parent, TSignalProcessor& Watched,
                           std::function<void()> OnEnded)
    : QObject(Parent), Processor(Watched), Ended(std::move(OnEnded)) {
  connect(&Timer, &QTimer::timeout, this, [this] { Check(); });
  Timer.start(TSignalProcessor::DeviceCheckInterval);
}

void TDeviceWatch::Check() {
  Processor.CheckDevice();
  const bool recording = Processor.WaveIn && Processor.WaveIn->Recording;
  if (WasRecording && !recording && Ended) Ended();
  WasRecording = recording;
}
