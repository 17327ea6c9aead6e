#pragma once
// A recording device as the sound system lists it, and how a user's choice names one.

#include <string>
#include <vector>

struct TCaptureDevice {
  int Index = -1;          // the sound system's number for it, as listed
  std::string Name;        // as the sound system reports it; what a choice is stored as
  double DefaultRate = 0;  // Hz
  bool IsDefault = false;  // the system's default input

  // The device Choice names in Devices: its index, its exact name, or a part of exactly one
  // name (letter case ignored). Throws std::invalid_argument with the reason (no device, or
  // the names Choice fits when it fits several), calling the devices Kind ones.
  static const TCaptureDevice& Find(const std::vector<TCaptureDevice>& Devices,
                                    const std::string& Choice,
                                    const std::string& Kind = "recording");
  // "  3  name  (48000 Hz)", a star marking the default input.
  std::string ListText() const;
};
