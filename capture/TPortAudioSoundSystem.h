#pragma once
// The sound card through PortAudio: the selected or the default input device, 8-bit unsigned
// mono. A reader thread fills the queued buffers in order and announces each full one to the
// target.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "TBufferQueue.h"
#include "TSoundSystem.h"

typedef void PaStream;

class TPortAudioSoundSystem : public TSoundSystem {
 public:
  // Initialises PortAudio (its own and ALSA's console chatter silenced).
  TPortAudioSoundSystem();
  // Stops the reader thread and closes an open stream before PortAudio is terminated.
  ~TPortAudioSoundSystem() override;

  unsigned GetNumDevs() override;
  TMMResult Open(TDeviceHandle* Handle, const TWaveFormatEx& Format,
                 TWaveNotifyTarget* Target) override;
  TMMResult PrepareHeader(TDeviceHandle Handle, TWaveHdr* Header) override;
  TMMResult UnprepareHeader(TDeviceHandle Handle, TWaveHdr* Header) override;
  TMMResult AddBuffer(TDeviceHandle Handle, TWaveHdr* Header) override;
  TMMResult Start(TDeviceHandle Handle) override;
  TMMResult Reset(TDeviceHandle Handle) override;
  TMMResult Close(TDeviceHandle Handle) override;
  // PortAudio's own description for its codes; the common texts for the shared ones.
  std::string GetErrorText(TMMResult Code) override;
  // PortAudio's inputs; looks for devices plugged in since the last look unless recording.
  std::vector<TCaptureDevice> InputDevices() override;

 private:
  unsigned CountInputs() const;
  void Rescan();
  TMMResult OpenStream(TDeviceHandle* Handle, const TWaveFormatEx& Format,
                       TWaveNotifyTarget* NotifyTarget);
  int ChosenDevice() const;
  void ReadLoop();
  TWaveHdr* WaitForBuffer();
  void WaitForInput();
  void Fail(TWaveHdr* Header, int Error);
  void StopReader();
  void HandBack(TWaveHdr* Header);
  bool Valid(TDeviceHandle Handle) const;

  int InitError = 0;  // PortAudio's code when Pa_Initialize failed
  PaStream* Stream = nullptr;
  TWaveNotifyTarget* Target = nullptr;
  std::mutex Mutex;  // guards Queue, Stopping and StreamError
  std::condition_variable Queued;
  TBufferQueue Queue;  // the contract's rules
  bool Stopping = false;
  int StreamError = 0;  // PortAudio's code once the device failed while recording
  std::thread Reader;
};
