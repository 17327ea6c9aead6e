#pragma once
// One infrared code as the exchange formats hold it: raw durations, or a protocol with an
// address and a command (Flipper's parsed signals).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TIrCode {
  static constexpr size_t MaxDurations = 65535;  // more in one code is refused

  std::string Name;                 // the signal's name; "" when the format has none
  size_t Line = 0;                  // where the code starts in its file (from 1)
  uint32_t CarrierHz = 0;           // 0 when unknown
  std::vector<uint32_t> Durations;  // us, mark first, alternating; raw codes only
  uint32_t GapMicros = 0;           // silence after the last mark (0: none known)
  bool GapMeasured = false;         // the next code followed after exactly GapMicros (a capture)
  std::string Protocol;             // parsed codes: Flipper's protocol name; "" for raw
  uint32_t Address = 0;
  uint32_t Command = 0;

  bool Parsed() const { return !Protocol.empty(); }
};

class TLineReader;

// What a file held: its codes in order, one "file:line: reason" per code left out, and one
// "file:line: note" per line skipped that costs no code (an unknown parameter).
struct TIrCodeFile {
  // What one file may hold, in durations of all its codes (a parsed code counts as
  // ParsedDurations): a few MB of a code file can list millions, and each costs memory again
  // when drawn and decoded. A file may hold MinDurations, or more as it is longer (one duration
  // for every BytesPerDuration it has read: a file that lists its durations one by one is read
  // whole), but never more than MaxDurations: reading and decoding a file take memory in
  // proportion to its size, and some 250 MB at most.
  static constexpr size_t MinDurations = 1000000;
  static constexpr size_t MaxDurations = 10000000;
  static constexpr size_t BytesPerDuration = 2;
  static constexpr size_t ParsedDurations = 100;  // about what a parsed frame draws

  std::vector<TIrCode> Codes;
  std::vector<std::string> Problems;
  std::vector<std::string> Notes;
  size_t Durations = 0;  // held so far
  bool Full = false;     // a code was refused for the bound: the reader stops

  // Appends Code, read up to the current line of Lines. A code that would take the file past
  // its bound is left out instead, with a problem naming its line, and Full is set.
  void Add(TIrCode Code, const TLineReader& Lines);
  // The durations a file may hold once BytesRead of it have been read.
  static size_t Bound(size_t BytesRead);
};
