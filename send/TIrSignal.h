#pragma once
// What goes out of the LED: the first frame, the frame a held key sends after it, how often
// frames start, and the carrier.

#include <cstdint>
#include <string>
#include <vector>

struct TIrSignal {
  std::string Name;            // the protocol or the code's name, for messages
  uint32_t CarrierHz = 0;      // 0: unknown (the sender's default applies)
  std::vector<double> Frame;   // us, mark first, alternating; a last space is the silence after
  std::vector<double> Repeat;  // what a held key sends after the first frame; empty: Frame again
  double PeriodMicros = 0;     // from the start of one frame to the start of the next; 0: each
                               // frame is followed by its own last space
  bool Alternates = false;     // Frame and Repeat take turns (keys that send two frames)
};
