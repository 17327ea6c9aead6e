#pragma once
// One exchange format of infrared codes (Flipper .ir, Pronto Hex, lircd.conf, mode2): how to
// recognise, read and write it. Every format is one unit registered in TIrFormats.

#include <ostream>
#include <string>
#include <vector>

#include "TIrCode.h"

class TLineReader;
struct TDecodeSettings;

class TIrFormat {
 public:
  virtual ~TIrFormat() = default;

  // The value of vorlent-decode's --format ("flipper").
  virtual const char* Name() const = 0;
  // What a file dialog calls it ("Flipper IR file").
  virtual const char* Title() const = 0;
  // The file extension without the dot ("ir").
  virtual const char* Extension() const = 0;
  // True when Lines, the meaningful lines of a file's head (blank and comment lines left
  // out, a byte-order mark skipped), show a file of this format. Never fails.
  virtual bool Recognizes(const std::vector<std::string>& Lines) const = 0;
  // Every code of the file Lines reads. A code that cannot be read is left out whole and
  // named in Problems with its line and the reason; the others are kept. Settings: the
  // decoding settings (a stream of durations is cut into signals as a recording is, at the
  // ending silence). Never throws for bad content.
  virtual TIrCodeFile Read(TLineReader& Lines, const TDecodeSettings& Settings) const = 0;
  // True when Write takes parsed codes (Protocol, Address, Command) as they are; the others
  // get every code as durations.
  virtual bool WritesParsed() const { return false; }
  // Writes Codes as one file of this format. Raw codes have an odd number of durations.
  virtual void Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const = 0;
};
