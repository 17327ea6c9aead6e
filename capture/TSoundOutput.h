#pragma once
// The playing side of a sound system: lists the output devices and plays 16-bit stereo PCM
// on one of them, to the end or until told to stop.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "TCaptureDevice.h"

class TSoundOutput {
 public:
  virtual ~TSoundOutput() = default;

  // The playing devices present now (their DefaultRate, IsDefault as for inputs); empty when
  // there is none or the sound system cannot list them.
  virtual std::vector<TCaptureDevice> OutputDevices() = 0;
  // Plays Samples (left, right, ...) at Rate on the device named Device ("" = the default
  // output) and returns once they have been handed to the device, or early once Stop is set.
  // Returns "" or the reason it could not play ("no output device is named ...", the sound
  // system's own words).
  virtual std::string Play(const std::string& Device, unsigned Rate,
                           const std::vector<int16_t>& Samples, const std::atomic<bool>& Stop) = 0;
};
