#pragma once
// A packet's PCM values kept small while the packet is kept: the differences of neighbouring
// values (a quiet line and flat marks give small ones, their noise included) compressed with
// zstd, or the values as they are where that would not be smaller. Lossless: Unpack gives back
// exactly the values packed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TPackedSignal {
 public:
  TPackedSignal() = default;  // no values
  // Packs Values (at most 2^32 - 1 of them). Throws std::bad_alloc when memory runs out.
  explicit TPackedSignal(std::span<const uint8_t> Values);

  // Replaces Out's content with the values packed. Throws std::runtime_error when the packed
  // bytes do not give back as many values as were packed (they always do: only the
  // constructor writes them).
  void Unpack(std::vector<uint8_t>& Out) const;
  // The number of values packed.
  size_t size() const { return Count; }
  bool empty() const { return Count == 0; }
  // What the packed form takes on the heap, in bytes.
  size_t PackedBytes() const { return ByteCount; }

 private:
  bool Stored() const { return ByteCount == Count; }

  std::unique_ptr<uint8_t[]> Bytes;
  uint32_t ByteCount = 0;  // the values as they are when equal to Count, else a zstd frame
  uint32_t Count = 0;
};
