#pragma once
// LIRC's lircd.conf: "begin remote" blocks with their parameters, then either "begin raw_codes"
// with a "name KEY" line and the durations of each code, or "begin codes" with "KEY 0xCODE"
// lines, each drawn as durations from the remote's parameters (TLircRemote). Written with raw
// codes.

#include "TIrFormat.h"

class TLircFormat : public TIrFormat {
 public:
  static constexpr uint32_t DefaultGapMicros = 100000;
  static constexpr const char* RemoteName = "vorlent";

  const char* Name() const override { return "lirc"; }
  const char* Title() const override { return "LIRC configuration"; }
  const char* Extension() const override { return "conf"; }
  bool Recognizes(const std::vector<std::string>& Lines) const override;
  TIrCodeFile Read(TLineReader& Lines, const TDecodeSettings& Settings) const override;
  void Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const override;
};
