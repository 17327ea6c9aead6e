#pragma once
// The sound card's output through PortAudio: 16-bit stereo, written in blocking chunks so that
// a stop request is seen within one chunk. Plays on the caller's thread.

#include "TSoundOutput.h"

class TPortAudioOutput : public TSoundOutput {
 public:
  static constexpr unsigned long ChunkFrames = 1024;  // frames written at a time

  // Initialises PortAudio (its own and ALSA's console chatter silenced).
  TPortAudioOutput();
  ~TPortAudioOutput() override;
  TPortAudioOutput(const TPortAudioOutput&) = delete;
  TPortAudioOutput& operator=(const TPortAudioOutput&) = delete;

  std::vector<TCaptureDevice> OutputDevices() override;
  std::string Play(const std::string& Device, unsigned Rate, const std::vector<int16_t>& Samples,
                   const std::atomic<bool>& Stop) override;

 private:
  int DeviceIndex(const std::string& Device, std::string& Problem);

  int InitError = 0;  // PortAudio's code when Pa_Initialize failed
};
