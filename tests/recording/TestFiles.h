#pragma once
// Temporary folders and small audio files written with libsndfile for the recording tests.

#include <sndfile.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testfiles {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its content.
struct TempDir {
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vorlent-rec-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    Path = pattern;
  }
  ~TempDir() { fs::remove_all(Path); }
  std::string operator/(const std::string& Name) const { return (Path / Name).string(); }
  fs::path Path;
};

// An 8-bit unsigned mono WAV at Rate holding exactly Data.
inline void WriteU8Wav(const std::string& Name, const Bytes& Data, int Rate = 48000) {
  SF_INFO info{};
  info.samplerate = Rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
  SNDFILE* file = sf_open(Name.c_str(), SFM_WRITE, &info);
  if (!file) throw std::runtime_error(sf_strerror(nullptr));
  sf_count_t written = sf_write_raw(file, Data.data(), static_cast<sf_count_t>(Data.size()));
  sf_close(file);
  if (written != static_cast<sf_count_t>(Data.size())) throw std::runtime_error("short write");
}

inline void WriteText(const std::string& Name, const std::string& Text) {
  std::ofstream(Name, std::ios::binary) << Text;
}

inline Bytes ReadAll(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Values of 128 with Count values of Level from At on.
inline void Put(Bytes& Data, size_t At, size_t Count, uint8_t Level) {
  for (size_t i = At; i < At + Count && i < Data.size(); ++i) Data[i] = Level;
}
}  // namespace testfiles
