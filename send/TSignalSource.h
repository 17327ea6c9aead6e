#pragma once
// Turns what the user wants to send into a signal: a protocol of the library with its field
// values, an imported code (Flipper, Pronto, lircd.conf, mode2) or a captured packet. Every
// frame is drawn by the code exporter's frame renderer through Render and FieldsOf, the only
// two places that know its API.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TIrSignal.h"

class TCodeLibrary;
class TSample;
struct TIrCode;

class TSignalSource {
 public:
  using TFieldValues = std::vector<std::pair<std::string, uint64_t>>;  // fields up to 64 bits
  struct TField {
    std::string Name;
    unsigned Bits = 0;
  };

  explicit TSignalSource(std::shared_ptr<const TCodeLibrary> Library);

  // Protocol with Fields given by name in any order; a field NAME_inv left out is the
  // complement of NAME. Throws TSendError for an unknown protocol or field (naming the
  // nearest), a field left out, a value wider than its field.
  TIrSignal FromFields(const std::string& Protocol, const TFieldValues& Fields) const;
  // An imported code: a parsed one through the library, a raw one as its durations (repeated
  // after its gap). Throws TSendError when the library cannot draw a parsed code.
  TIrSignal FromCode(const TIrCode& Code) const;
  // A captured packet: its protocol and fields when decoded, else its runs as measured.
  // Throws TSendError when it holds no mark or its protocol cannot be drawn.
  TIrSignal FromSample(const TSample& Sample) const;
  // The data fields of Protocol in frame order. Throws TSendError for an unknown protocol.
  std::vector<TField> FieldsOf(const std::string& Protocol) const;
  // The names of the library's protocols, in library order.
  std::vector<std::string> Protocols() const;

 private:
  struct TRendered {
    std::vector<double> Runs;
    uint32_t CarrierHz = 0;
  };
  TRendered Render(const std::string& Protocol, const std::vector<uint64_t>& Values) const;
  std::vector<uint64_t> Values(const std::string& Protocol, const std::vector<TField>& Fields,
                               const TFieldValues& Given) const;
  void AddRepeat(const std::string& Protocol, const TFieldValues& Given, TIrSignal& Signal) const;

  std::shared_ptr<const TCodeLibrary> Library;
};
