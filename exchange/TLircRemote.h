#pragma once
// One remote of a lircd.conf: its parameters ("bits", "flags", "header", "one", ...) and how
// a code of its "begin codes" block goes on the air. Pulse/space pairs (SPACE_ENC, the
// default), RC5 (SHIFT_ENC) and RC6 bi-phase are rendered; the parameters that only concern
// repeats or tolerances are read and left aside.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TIrCode;

class TLircRemote {
 public:
  static constexpr unsigned MaxBits = 64;               // of the code, pre_data, post_data
  static constexpr uint32_t DefaultGapMicros = 100000;  // when the remote gives no gap

  // Reads the parameter line Words ("one 560 1690"). "" when it is read, or is no parameter
  // of a frame (ignored); otherwise the reason its value cannot be used. Never throws.
  std::string Set(const std::vector<std::string_view>& Words);
  // True when Key is a parameter LIRC knows (whether it shapes a frame or not).
  static bool Knows(std::string_view Key);
  // "" when the codes of "begin codes" can be rendered with these parameters, else why not.
  std::string Problem() const;
  // True when the flags hold RAW_CODES.
  bool Raw() const { return RawCodes; }
  // The first value of "gap" in us; 0 when not given.
  uint32_t GapMicros() const { return Gap; }
  // The "frequency" in Hz; 0 when not given.
  uint32_t CarrierHz() const { return Carrier; }
  // Sets Code's Durations (every code of Codes as a frame, each followed by its silence),
  // GapMicros and CarrierHz. Throws TCodeError for a code wider than "bits" or more than
  // TIrCode::MaxDurations durations; call only when Problem() is "".
  void Render(const std::vector<uint64_t>& Codes, TIrCode& Code) const;

 private:
  enum class TEncoding { Space, Rc5, Rc6 };
  struct TPair {
    uint32_t Mark = 0, Space = 0;  // us
  };
  class TFrame;

  std::string SetFlags(const std::vector<std::string_view>& Words);
  TPair* PairNamed(std::string_view Key);
  uint32_t* DurationNamed(std::string_view Key);
  uint64_t* ValueNamed(std::string_view Key);
  unsigned* BitCountNamed(std::string_view Key);
  void Frame(uint64_t Code, TFrame& Out) const;
  void Bits(uint64_t Value, unsigned Count, size_t& Position, size_t Total, TFrame& Out) const;
  void Bit(bool IsOne, bool Double, TFrame& Out) const;

  TEncoding Encoding = TEncoding::Space;
  bool RawCodes = false, Reverse = false, ConstLength = false, SpaceFirst = false;
  unsigned CodeBits = 0, PreDataBits = 0, PostDataBits = 0;
  uint64_t PreData = 0, PostData = 0, Rc6Mask = 0;
  TPair Header, One, Zero, Foot, Pre, Post;
  uint32_t Lead = 0, Trail = 0, Gap = 0, Carrier = 0;
  uint64_t Ignored = 0;  // where parameters that do not shape a frame are read to
  TPair IgnoredPair;
};
