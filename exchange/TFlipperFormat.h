#pragma once
// Flipper Zero's .ir files: "Filetype: IR signals file", then signals of key: value lines,
// raw (frequency, duty_cycle, data) or parsed (protocol, address, command).

#include "TIrFormat.h"

class TFlipperFormat : public TIrFormat {
 public:
  const char* Name() const override { return "flipper"; }
  const char* Title() const override { return "Flipper IR file"; }
  const char* Extension() const override { return "ir"; }
  bool WritesParsed() const override { return true; }
  bool Recognizes(const std::vector<std::string>& Lines) const override;
  TIrCodeFile Read(TLineReader& Lines, const TDecodeSettings& Settings) const override;
  void Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const override;

 private:
  struct TSignal;
  static bool Finish(TSignal& Signal, TIrCode& Code, std::string& Reason);
};
