#pragma once
// LIRC's mode2 output ("pulse 560", "space 560", "timeout N" lines) and the kernel ir-ctl's
// text of the same ("+560 -560"): one stream of durations, cut into signals at spaces of the
// ending silence or longer, as a recording is cut into packets.

#include "TIrFormat.h"

class TMode2Format : public TIrFormat {
 public:
  static constexpr uint32_t DefaultGapMicros = 100000;  // written after each packet

  const char* Name() const override { return "mode2"; }
  const char* Title() const override { return "LIRC mode2 text"; }
  const char* Extension() const override { return "mode2"; }
  bool Recognizes(const std::vector<std::string>& Lines) const override;
  TIrCodeFile Read(TLineReader& Lines, const TDecodeSettings& Settings) const override;
  void Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const override;
};
