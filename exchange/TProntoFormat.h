#pragma once
// Pronto Hex, learned form: one code a line, "0000 FREQ ONCE REPEAT" and then the pairs of
// both sequences as carrier-period counts, in four-digit hexadecimal words. A line may start
// with a name and a colon ("Power: 0000 006D ..."), and a named code is written so. The
// compact forms 5000 (RC5) and 6000 (RC6
// mode 0) are read as parsed codes with their system (address) and command.

#include "TIrFormat.h"

class TProntoFormat : public TIrFormat {
 public:
  static constexpr double PeriodUnit = 0.241246;  // us; word 1 counts these per carrier period
  static constexpr uint32_t DefaultLeadOutMicros = 100000;  // after a code of unknown gap

  const char* Name() const override { return "pronto"; }
  const char* Title() const override { return "Pronto Hex"; }
  const char* Extension() const override { return "txt"; }
  bool Recognizes(const std::vector<std::string>& Lines) const override;
  TIrCodeFile Read(TLineReader& Lines, const TDecodeSettings& Settings) const override;
  void Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const override;

 private:
  static bool ReadLine(std::string_view Line, TIrCode& Code, std::string& Reason);
  static bool ReadCompact(const std::vector<uint32_t>& Values, TIrCode& Code, std::string& Reason);
};
