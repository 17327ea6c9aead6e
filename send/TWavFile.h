#pragma once
// Rendered PCM as a 16-bit PCM WAV file (libsndfile), written atomically, and read back.

#include <string>

#include "TCarrierRenderer.h"

class TWavFile {
 public:
  // Writes Pcm to FileName through a temporary file renamed into place. Throws TSendError
  // ("FILE: reason") when it cannot be written; an earlier file of that name is then kept.
  static void Write(const std::string& FileName, const TCarrierRenderer::TPcm& Pcm);
  // Reads a stereo 16-bit file back. Throws TSendError ("FILE: reason") when it cannot be
  // read or is not stereo.
  static TCarrierRenderer::TPcm Read(const std::string& FileName);
};
