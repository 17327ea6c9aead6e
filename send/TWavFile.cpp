#include "TWavFile.h"

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "TSendError.h"

namespace {
constexpr int Channels = 2;
constexpr const char* TempSuffix = ".XXXXXX";

struct TCloser {
  void operator()(SNDFILE* File) const { sf_close(File); }
};
using TFile = std::unique_ptr<SNDFILE, TCloser>;

[[noreturn]] void Fail(const std::string& FileName, const std::string& Reason) {
  throw TSendError(FileName + ": " + Reason);
}
}  // namespace

void TWavFile::Write(const std::string& FileName, const TCarrierRenderer::TPcm& Pcm) {
  std::string temp = FileName + TempSuffix;
  const int descriptor = mkstemp(temp.data());
  if (descriptor < 0) Fail(FileName, std::strerror(errno));
  SF_INFO info{};
  info.samplerate = static_cast<int>(Pcm.Rate);
  info.channels = Channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  TFile file(sf_open_fd(descriptor, SFM_WRITE, &info, SF_TRUE));
  if (!file) {
    close(descriptor);
    std::remove(temp.c_str());
    Fail(FileName, sf_strerror(nullptr));
  }
  const auto frames = static_cast<sf_count_t>(Pcm.Frames());
  const bool written = sf_writef_short(file.get(), Pcm.Samples.data(), frames) == frames;
  const std::string reason = written ? "" : sf_strerror(file.get());
  file.reset();
  std::error_code error;
  if (written) std::filesystem::rename(temp, FileName, error);
  if (!written || error) {
    std::remove(temp.c_str());
    Fail(FileName, written ? error.message() : reason);
  }
}

TCarrierRenderer::TPcm TWavFile::Read(const std::string& FileName) {
  SF_INFO info{};
  TFile file(sf_open(FileName.c_str(), SFM_READ, &info));
  if (!file) Fail(FileName, sf_strerror(nullptr));
  if (info.channels != Channels) Fail(FileName, std::to_string(info.channels) + " channels, not 2");
  TCarrierRenderer::TPcm pcm;
  pcm.Rate = static_cast<unsigned>(info.samplerate);
  pcm.Samples.resize(static_cast<size_t>(info.frames) * Channels);
  const sf_count_t read = sf_readf_short(file.get(), pcm.Samples.data(), info.frames);
  if (read != info.frames) Fail(FileName, "it ends early");
  return pcm;
}
