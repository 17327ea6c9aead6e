#include "TFlipperProtocols.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "TCodeError.h"
#include "TCodeLibrary.h"
#include "TFrameRenderer.h"
#include "TSample.h"

namespace {
using TBits = std::vector<bool>;

// Bit writers and readers of the frames: LSB or MSB first, Count bits of Value.
void Lsb(TBits& Bits, uint32_t Value, unsigned Count) {
  for (unsigned i = 0; i < Count; ++i) Bits.push_back((Value >> i) & 1u);
}
void Msb(TBits& Bits, uint32_t Value, unsigned Count) {
  for (unsigned i = Count; i-- > 0;) Bits.push_back((Value >> i) & 1u);
}
uint32_t ReadLsb(const TBits& Bits, size_t& At, unsigned Count) {
  uint32_t value = 0;
  for (unsigned i = 0; i < Count; ++i) value |= uint32_t{Bits[At++]} << i;
  return value;
}
uint32_t ReadMsb(const TBits& Bits, size_t& At, unsigned Count) {
  uint32_t value = 0;
  for (unsigned i = 0; i < Count; ++i) value = value << 1 | uint32_t{Bits[At++]};
  return value;
}
uint32_t Mask(unsigned Bits) {
  return Bits >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << Bits) - 1;
}

using TPair = std::pair<uint32_t, uint32_t>;

struct TEntry {
  const char* Name;
  unsigned AddressBits, CommandBits;
  size_t FrameBits;
  std::vector<std::string> Definitions;  // library definitions that decode the frame, in order
  std::function<TBits(uint32_t Address, uint32_t Command)> Encode;
  std::function<std::optional<TPair>(const TBits&)> Decode;  // gets FrameBits bits
};

// Address and command with their complements: NEC, NEC42, Pioneer.
TEntry Complemented(const char* Name, unsigned A, unsigned C, std::vector<std::string> Defs) {
  return {Name,
          A,
          C,
          2 * (A + C),
          std::move(Defs),
          [A, C](uint32_t a, uint32_t c) {
            TBits bits;
            Lsb(bits, a, A);
            Lsb(bits, ~a, A);
            Lsb(bits, c, C);
            Lsb(bits, ~c, C);
            return bits;
          },
          [A, C](const TBits& Bits) -> std::optional<TPair> {
            size_t at = 0;
            const uint32_t a = ReadLsb(Bits, at, A), ai = ReadLsb(Bits, at, A);
            const uint32_t c = ReadLsb(Bits, at, C), ci = ReadLsb(Bits, at, C);
            if (ai != (~a & Mask(A)) || ci != (~c & Mask(C))) return std::nullopt;
            return TPair{a, c};
          }};
}

// Address then command, both LSB first and whole: NECext, NEC42ext.
TEntry Extended(const char* Name, unsigned A, unsigned C, std::vector<std::string> Defs) {
  return {Name,
          A,
          C,
          A + C,
          std::move(Defs),
          [A, C](uint32_t a, uint32_t c) {
            TBits bits;
            Lsb(bits, a, A);
            Lsb(bits, c, C);
            return bits;
          },
          [A, C](const TBits& Bits) -> std::optional<TPair> {
            size_t at = 0;
            const uint32_t a = ReadLsb(Bits, at, A);
            return TPair{a, ReadLsb(Bits, at, C)};
          }};
}

// Sony: 7 command bits, then A address bits, LSB first.
TEntry Sirc(const char* Name, unsigned A, const char* Definition) {
  return {Name,
          A,
          7,
          7 + A,
          {Definition},
          [A](uint32_t a, uint32_t c) {
            TBits bits;
            Lsb(bits, c, 7);
            Lsb(bits, a, A);
            return bits;
          },
          [A](const TBits& Bits) -> std::optional<TPair> {
            size_t at = 0;
            const uint32_t c = ReadLsb(Bits, at, 7);
            return TPair{ReadLsb(Bits, at, A), c};
          }};
}

// RC5 after its first start bit: the second start bit (1; RC5X 0), toggle, address, command.
// RC5X takes seven-bit commands as the device does and sends their low six bits (64 and up
// stand for the same frames as 0 and up).
TEntry Rc5(const char* Name, bool SecondStart, unsigned CommandBits) {
  return {Name,
          5,
          CommandBits,
          13,
          {"RC5"},
          [SecondStart](uint32_t a, uint32_t c) {
            constexpr uint32_t SixBits = 63;
            TBits bits{SecondStart, false};
            Msb(bits, a, 5);
            Msb(bits, c & SixBits, 6);
            return bits;
          },
          [SecondStart](const TBits& Bits) -> std::optional<TPair> {
            if (Bits[0] != SecondStart) return std::nullopt;
            size_t at = 2;
            const uint32_t a = ReadMsb(Bits, at, 5);
            return TPair{a, ReadMsb(Bits, at, 6)};
          }};
}

// Kaseikyo: vendor, vendor parity, genres, command, id and an XOR checksum, bytes LSB first.
constexpr unsigned KaseikyoAddressBits = 26, KaseikyoCommandBits = 10, KaseikyoFrameBits = 48;
TBits KaseikyoEncode(uint32_t Address, uint32_t Command) {
  const uint32_t id = Address >> 24 & 3, vendor = Address >> 8 & 0xFFFF;
  const uint32_t genre1 = Address >> 4 & 15, genre2 = Address & 15;
  const uint32_t parity = ((vendor ^ vendor >> 8) ^ (vendor ^ vendor >> 8) >> 4) & 15;
  const uint32_t b2 = parity | genre1 << 4, b3 = genre2 | (Command & 15) << 4;
  const uint32_t b4 = id << 6 | (Command >> 4 & 63);
  TBits bits;
  for (uint32_t byte : {vendor & 0xFF, vendor >> 8, b2, b3, b4, (b2 ^ b3 ^ b4) & 0xFF})
    Lsb(bits, byte, 8);
  return bits;
}
std::optional<TPair> KaseikyoDecode(const TBits& Bits) {
  size_t at = 0;
  uint32_t bytes[6];
  for (uint32_t& byte : bytes) byte = ReadLsb(Bits, at, 8);
  const uint32_t vendor = bytes[0] | bytes[1] << 8;
  const uint32_t parity = ((vendor ^ vendor >> 8) ^ (vendor ^ vendor >> 8) >> 4) & 15;
  if ((bytes[2] & 15) != parity || bytes[5] != ((bytes[2] ^ bytes[3] ^ bytes[4]) & 0xFF))
    return std::nullopt;
  const uint32_t address =
      (bytes[4] >> 6) << 24 | vendor << 8 | (bytes[2] >> 4) << 4 | (bytes[3] & 15);
  return TPair{address, (bytes[3] >> 4) | (bytes[4] & 63) << 4};
}

const std::vector<TEntry>& Entries() {
  static const std::vector<TEntry> entries = [] {
    std::vector<TEntry> list;
    list.push_back(Complemented("NEC", 8, 8, {"Apple", "NEC"}));
    list.push_back(Extended("NECext", 16, 16, {"Apple", "NEC"}));
    list.push_back(Complemented("NEC42", 13, 8, {"NEC42"}));
    list.push_back(Extended("NEC42ext", 26, 16, {"NEC42"}));
    list.push_back(Complemented("Pioneer", 8, 8, {"Pioneer"}));
    list.push_back({"Samsung32",
                    8,
                    8,
                    32,
                    {"Samsung32"},
                    [](uint32_t a, uint32_t c) {
                      TBits bits;
                      Lsb(bits, a, 8);
                      Lsb(bits, a, 8);
                      Lsb(bits, c, 8);
                      Lsb(bits, ~c, 8);
                      return bits;
                    },
                    [](const TBits& Bits) -> std::optional<TPair> {
                      size_t at = 0;
                      const uint32_t a = ReadLsb(Bits, at, 8), a2 = ReadLsb(Bits, at, 8);
                      const uint32_t c = ReadLsb(Bits, at, 8), ci = ReadLsb(Bits, at, 8);
                      if (a2 != a || ci != (~c & 0xFF)) return std::nullopt;
                      return TPair{a, c};
                    }});
    list.push_back({"RCA",
                    4,
                    8,
                    24,
                    {"RCA"},
                    [](uint32_t a, uint32_t c) {
                      TBits bits;
                      Lsb(bits, a, 4);
                      Lsb(bits, c, 8);
                      Lsb(bits, ~a, 4);
                      Lsb(bits, ~c, 8);
                      return bits;
                    },
                    [](const TBits& Bits) -> std::optional<TPair> {
                      size_t at = 0;
                      const uint32_t a = ReadLsb(Bits, at, 4), c = ReadLsb(Bits, at, 8);
                      const uint32_t ai = ReadLsb(Bits, at, 4), ci = ReadLsb(Bits, at, 8);
                      if (ai != (~a & 15) || ci != (~c & 0xFF)) return std::nullopt;
                      return TPair{a, c};
                    }});
    list.push_back(Sirc("SIRC", 5, "Sony12"));
    list.push_back(Sirc("SIRC15", 8, "Sony15"));
    list.push_back(Sirc("SIRC20", 13, "Sony20"));
    list.push_back(Rc5("RC5", true, 6));
    list.push_back(Rc5("RC5X", false, 7));
    list.push_back({"RC6",
                    8,
                    8,
                    16,
                    {"RC6-0-16 T0", "RC6-0-16 T1"},
                    [](uint32_t a, uint32_t c) {
                      TBits bits;
                      Msb(bits, a, 8);
                      Msb(bits, c, 8);
                      return bits;
                    },
                    [](const TBits& Bits) -> std::optional<TPair> {
                      size_t at = 0;
                      const uint32_t a = ReadMsb(Bits, at, 8);
                      return TPair{a, ReadMsb(Bits, at, 8)};
                    }});
    list.push_back({"Kaseikyo",
                    KaseikyoAddressBits,
                    KaseikyoCommandBits,
                    KaseikyoFrameBits,
                    {"Panasonic", "Denon-K", "JVC-48", "Mitsubishi-K", "Fujitsu", "Kaseikyo"},
                    KaseikyoEncode,
                    KaseikyoDecode});
    return list;
  }();
  return entries;
}

bool SameName(const std::string& A, const char* B) {
  return std::equal(A.begin(), A.end(), B, B + std::char_traits<char>::length(B),
                    [](char x, char y) {
                      return std::tolower(static_cast<unsigned char>(x)) ==
                             std::tolower(static_cast<unsigned char>(y));
                    });
}

std::string Hex(uint32_t Value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", Value);
  return text;
}
}  // namespace

TFlipperProtocols::TFrame TFlipperProtocols::ToFrame(const TParsed& Parsed,
                                                     const TCodeLibrary& Library) {
  const auto entry = std::find_if(Entries().begin(), Entries().end(), [&](const TEntry& e) {
    return SameName(Parsed.Protocol, e.Name);
  });
  if (entry == Entries().end())
    throw TCodeError("unknown parsed protocol \"" + Parsed.Protocol + "\"");
  const auto tooWide = [&](const char* What, uint32_t Value, unsigned Bits) {
    if (Value > Mask(Bits))
      throw TCodeError(std::string(What) + " " + Hex(Value) + " is wider than the " +
                       std::to_string(Bits) + " bits of " + entry->Name);
  };
  tooWide("address", Parsed.Address, entry->AddressBits);
  tooWide("command", Parsed.Command, entry->CommandBits);
  const TBits bits = entry->Encode(Parsed.Address, Parsed.Command);
  for (const std::string& name : entry->Definitions) {
    const TDefinition* definition = Library.Find(name);
    if (!definition) continue;
    if (auto values = TFrameRenderer::Fields(*definition, bits)) return {definition, *values};
  }
  throw TCodeError(std::string("no definition of the protocol library decodes a ") + entry->Name +
                   " frame");
}

std::optional<TFlipperProtocols::TParsed> TFlipperProtocols::FromPacket(
    const TProtocol& Decoded, const TCodeLibrary& Library) {
  const TDefinition* definition = Library.Find(Decoded.ProtocolName);
  if (!definition) return std::nullopt;
  TFrameRenderer::TValues values;
  for (const TProtocolField& field : Decoded.Fields) values.push_back(field.Value);
  TBits bits;
  try {
    bits = TFrameRenderer::Bits(*definition, values);
  } catch (const TCodeError&) {
    return std::nullopt;  // fields that do not fit the definition: export it raw
  }
  for (const TEntry& entry : Entries()) {
    const bool decodes = std::find(entry.Definitions.begin(), entry.Definitions.end(),
                                   Decoded.ProtocolName) != entry.Definitions.end();
    if (!decodes || bits.size() != entry.FrameBits) continue;
    if (auto pair = entry.Decode(bits)) return TParsed{entry.Name, pair->first, pair->second};
  }
  return std::nullopt;
}
