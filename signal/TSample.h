#pragma once
// The packet model: one captured infrared packet, its decode result and its marks.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TMarkText.h"
#include "TPackedSignal.h"

// One decoded data field: a field of n bits has a Value of 0 .. 2^n - 1, whole up to 64 bits
// (the bits of a longer field past the 64th are not kept).
struct TProtocolField {
  std::string Name;
  uint64_t Value = 0;
  std::string Text = {};  // the value as shown instead of Value (a generic frame's hex bytes)
};

// The decode result of a sample: the protocol's name and its data fields in packet order.
class TProtocol {
 public:
  static constexpr size_t MaxFields = 256;               // the append index is 8-bit
  static constexpr const char* UnknownName = "unknown";  // no definition fits

  // Appends {Name, Value}; a field past the 256th is dropped, never wraps onto the first.
  void AddField(const std::string& Name, uint64_t Value);
  // "name=value; " for every field (its Text when it has one), the last one included; "" without
  // fields. Never fails.
  std::string GetDataText() const;

  // Exact: every run fits the definition as written; Likely: only the tolerant second pass,
  // which allows for the receiver's edge shift and the remote's clock, makes it fit; Generic:
  // no definition fits, the generic pass read the bits (the name is the coding's).
  enum class TMatch { Exact, Likely, Generic };

  // True when a definition fits (the name is not UnknownName).
  bool Known() const { return ProtocolName != UnknownName; }
  // The name as lists show it: "NEC" for an exact match, "NEC?" for a likely one, "Pulse
  // distance~" for a generic one.
  std::string ListName() const;
  // "exact", "likely" or "generic"; "" for an unknown packet, which matches nothing.
  std::string MatchText() const;

  std::string ProtocolName;
  std::vector<TProtocolField> Fields;
  TMatch Match = TMatch::Exact;
  std::string MatchNote;  // a likely match: what made it fit (shift, scale, tolerance); a
                          // generic one: the coding, bit order and clustered durations
};

// A boundary under the waveform: offset in PCM samples from Signal[0] and its label.
struct TSampleMark {
  uint16_t Position = 0;
  TMarkText Text;
};

// One packet: PCM values (128 = zero line), run lengths, timing and decode result.
class TSample {
 public:
  static constexpr uint8_t BitRow = 0;
  static constexpr uint8_t FieldRow = 1;

  // Appends {Position, Text} to mark row Row (0 = bits, 1 = fields); other rows are ignored.
  void AddMark(uint8_t Row, uint16_t Position, TMarkText Text);

  std::vector<TSampleMark>& BitMarks() { return Marks[BitRow]; }
  std::vector<TSampleMark>& FieldMarks() { return Marks[FieldRow]; }
  const std::vector<TSampleMark>& BitMarks() const { return Marks[BitRow]; }
  const std::vector<TSampleMark>& FieldMarks() const { return Marks[FieldRow]; }

  // Moves the values of Signal into a packed store that takes a fraction of the memory (for a
  // packet kept for long); SignalValues and SignalLength read as before. Throws std::bad_alloc
  // only.
  void PackSignal();
  // The PCM values: Signal itself, or when packed the values unpacked into Scratch. Throws
  // std::bad_alloc only.
  const std::vector<uint8_t>& SignalValues(std::vector<uint8_t>& Scratch) const;
  // The number of PCM values, packed or not. Never fails.
  size_t SignalLength() const { return Signal.size() + Packed.size(); }

  // Below 65536 values; indices into it are 16-bit. Empty once packed: read it through
  // SignalValues, which serves both.
  std::vector<uint8_t> Signal;
  std::vector<uint16_t> Pulses;         // low, high, low, ... run lengths; Pulses[0] is low
  std::unique_ptr<TProtocol> Protocol;  // null until decoded
  float Duration = 0;                   // seconds, trigger to last active value
  float Gap = 0;                        // seconds of silence before the trigger
  double CaptureTime = 0;               // days since 1899-12-30, time of day only
  std::array<std::vector<TSampleMark>, 2> Marks;
  // Index of the trigger value in the stream read since the processor's Init; -1 when the
  // sample did not come from the stream (a loaded file).
  int64_t StreamIndex = -1;
  std::string Source;    // the file an imported sample came from; empty when captured live
  std::string Name;      // the signal's name in an imported code file; empty otherwise
  int SignalIndex = -1;  // imported code file: its signal (from 0), shared by repeat frames

 private:
  TPackedSignal Packed;  // the values once packed
};
