#include "TContainerLength.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr int64_t ChunkHeaderBytes = 8;         // four-letter id and 32-bit size, in WAV and AIFF
constexpr int64_t FormHeaderBytes = 12;         // "RIFF"/"FORM", size, "WAVE"/"AIFF"
constexpr int MaxChunks = 4096;                 // a header walk stops here at the latest
constexpr uint32_t StreamingSize = 0xFFFFFFFF;  // a WAV written while its length was unknown
constexpr uint16_t WavePcm = 1, WaveFloat = 3, WaveExtensible = 0xFFFE;
constexpr int64_t OggTailBytes = 128 * 1024;  // more than the largest page (65307 bytes)
constexpr size_t OggPageHeaderBytes = 27;
constexpr uint8_t OggEndOfStream = 0x04;

bool ReadAt(int Fd, int64_t At, void* Out, size_t Count) {
  return pread(Fd, Out, Count, At) == static_cast<ssize_t>(Count);
}
uint32_t Little32(const uint8_t* P) {
  return P[0] | P[1] << 8 | P[2] << 16 | static_cast<uint32_t>(P[3]) << 24;
}
uint16_t Little16(const uint8_t* P) {
  return static_cast<uint16_t>(P[0] | P[1] << 8);
}
uint32_t Big32(const uint8_t* P) {
  return static_cast<uint32_t>(P[0]) << 24 | P[1] << 16 | P[2] << 8 | P[3];
}
}  // namespace

std::optional<int64_t> TContainerLength::DeclaredFrames(int Fd, int64_t FileSize) {
  uint8_t form[FormHeaderBytes];
  if (!ReadAt(Fd, 0, form, sizeof form)) return std::nullopt;
  if (!std::memcmp(form, "RIFF", 4) && !std::memcmp(form + 8, "WAVE", 4))
    return WavFrames(Fd, FileSize);
  if (!std::memcmp(form, "FORM", 4) &&
      (!std::memcmp(form + 8, "AIFF", 4) || !std::memcmp(form + 8, "AIFC", 4)))
    return AiffFrames(Fd, FileSize);
  return std::nullopt;
}

// The "fmt " chunk gives the block size (bytes of one frame, all channels) of plain PCM and
// float data; the "data" chunk's size over it is the frame count.
std::optional<int64_t> TContainerLength::WavFrames(int Fd, int64_t FileSize) {
  uint16_t blockAlign = 0;
  int64_t at = FormHeaderBytes;
  for (int i = 0; i < MaxChunks && at + ChunkHeaderBytes <= FileSize; ++i) {
    uint8_t chunk[ChunkHeaderBytes];
    if (!ReadAt(Fd, at, chunk, sizeof chunk)) return std::nullopt;
    const uint32_t size = Little32(chunk + 4);
    if (!std::memcmp(chunk, "fmt ", 4)) {
      uint8_t format[14];
      if (size < sizeof format || !ReadAt(Fd, at + ChunkHeaderBytes, format, sizeof format))
        return std::nullopt;
      const uint16_t tag = Little16(format);
      if (tag != WavePcm && tag != WaveFloat && tag != WaveExtensible) return std::nullopt;
      blockAlign = Little16(format + 12);
    } else if (!std::memcmp(chunk, "data", 4)) {
      if (blockAlign == 0 || size == StreamingSize) return std::nullopt;
      return size / blockAlign;
    }
    at += ChunkHeaderBytes + size + (size & 1);
  }
  return std::nullopt;
}

// The "COMM" chunk counts the frames itself, whatever the compression.
std::optional<int64_t> TContainerLength::AiffFrames(int Fd, int64_t FileSize) {
  int64_t at = FormHeaderBytes;
  for (int i = 0; i < MaxChunks && at + ChunkHeaderBytes <= FileSize; ++i) {
    uint8_t chunk[ChunkHeaderBytes];
    if (!ReadAt(Fd, at, chunk, sizeof chunk)) return std::nullopt;
    const uint32_t size = Big32(chunk + 4);
    if (!std::memcmp(chunk, "COMM", 4)) {
      uint8_t common[6];  // channels (16 bits), frames (32 bits)
      if (size < sizeof common || !ReadAt(Fd, at + ChunkHeaderBytes, common, sizeof common))
        return std::nullopt;
      return Big32(common + 2);
    }
    at += ChunkHeaderBytes + size + (size & 1);
  }
  return std::nullopt;
}

// The last page that starts in the file's tail must be complete and carry the end flag.
bool TContainerLength::OggEndMissing(int Fd, int64_t FileSize) {
  uint8_t magic[4];
  if (!ReadAt(Fd, 0, magic, sizeof magic) || std::memcmp(magic, "OggS", 4)) return false;
  const int64_t start = std::max<int64_t>(0, FileSize - OggTailBytes);
  std::vector<uint8_t> tail(static_cast<size_t>(FileSize - start));
  if (!ReadAt(Fd, start, tail.data(), tail.size())) return false;
  for (size_t at = tail.size(); at-- > 0;) {
    if (at + OggPageHeaderBytes > tail.size() || std::memcmp(&tail[at], "OggS", 4)) continue;
    const size_t segments = tail[at + OggPageHeaderBytes - 1];
    const size_t table = at + OggPageHeaderBytes;
    if (table + segments > tail.size()) return true;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += tail[table + i];
    if (table + segments + body > tail.size()) return true;
    return !(tail[at + 5] & OggEndOfStream);
  }
  return true;  // no page header at all in the tail
}
