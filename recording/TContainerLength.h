#pragma once
// What a recording's container says about its own length, read with pread (the file's offset
// is left alone), so that a file cut short can be told from a whole one. Never fails: what
// cannot be read stays unknown.

#include <cstdint>
#include <optional>

class TContainerLength {
 public:
  // Frames promised by the header of a WAV ("data" chunk over the block size) or AIFF/AIFC
  // ("COMM" frame count) file; nothing for other containers or a header that does not say.
  static std::optional<int64_t> DeclaredFrames(int Fd, int64_t FileSize);
  // True when an Ogg file's last page is incomplete or lacks the end-of-stream flag, i.e. the
  // stream stops before its end; false for a whole stream or any other container.
  static bool OggEndMissing(int Fd, int64_t FileSize);

 private:
  static std::optional<int64_t> WavFrames(int Fd, int64_t FileSize);
  static std::optional<int64_t> AiffFrames(int Fd, int64_t FileSize);
};
