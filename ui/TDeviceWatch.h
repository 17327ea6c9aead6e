#pragma once
// Watches the recording device for the window: asks the signal processor every
// TSignalProcessor::DeviceCheckInterval whether the device went away (it then stops recording
// and reports it), and tells the window when recording has ended by itself.

#include <QObject>
#include <QTimer>
#include <functional>

class TSignalProcessor;

class TDeviceWatch : public QObject {
 public:
  // Processor must outlive the watch (a child of Parent). OnEnded runs on the window's thread
  // each time recording is found ended without being asked.
  TDeviceWatch(QObject* Parent, TSignalProcessor& Processor, std::function<void()> OnEnded);

 private:
  void Check();

  TSignalProcessor& Processor;
  std::function<void()> Ended;
  QTimer Timer;
  bool WasRecording = false;
};
