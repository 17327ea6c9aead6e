#include "TPortAudioOutput.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {
constexpr int Channels = 2;

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

struct TStreamCloser {
  void operator()(PaStream* Stream) const {
    Pa_StopStream(Stream);
    Pa_CloseStream(Stream);
  }
};
}  // namespace

TPortAudioOutput::TPortAudioOutput() {
  snd_lib_error_set_handler(QuietAlsa);
  jack_set_error_function(QuietJack);
  jack_set_info_function(QuietJack);
  const PaError error = Pa_Initialize();
  if (error != paNoError) InitError = error;
}

TPortAudioOutput::~TPortAudioOutput() {
  if (!InitError) Pa_Terminate();
}

std::vector<TCaptureDevice> TPortAudioOutput::OutputDevices() {
  std::vector<TCaptureDevice> devices;
  if (InitError) return devices;
  const PaDeviceIndex defaultOutput = Pa_GetDefaultOutputDevice();
  for (int i = 0; i < Pa_GetDeviceCount(); ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info || info->maxOutputChannels <= 0) continue;
    devices.push_back(
        {i, info->name ? info->name : "", info->defaultSampleRate, i == defaultOutput});
  }
  return devices;
}

// The index of the output Device names (number, name or a part of one), or paNoDevice with the
// reason in Problem.
int TPortAudioOutput::DeviceIndex(const std::string& Device, std::string& Problem) {
  if (Device.empty()) {
    const int index = Pa_GetDefaultOutputDevice();
    if (index == paNoDevice) Problem = "no output device is present";
    return index;
  }
  try {
    return TCaptureDevice::Find(OutputDevices(), Device, "output").Index;
  } catch (const std::invalid_argument& e) {
    Problem = e.what();
    return paNoDevice;
  }
}

std::string TPortAudioOutput::Play(const std::string& Device, unsigned Rate,
                                   const std::vector<int16_t>& Samples,
                                   const std::atomic<bool>& Stop) {
  if (InitError) return Pa_GetErrorText(InitError);
  std::string problem;
  PaStreamParameters output{};
  output.device = DeviceIndex(Device, problem);
  if (output.device == paNoDevice) return problem;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(output.device);
  output.channelCount = Channels;
  output.sampleFormat = paInt16;
  output.suggestedLatency = info ? info->defaultLowOutputLatency : 0;
  PaStream* raw = nullptr;
  PaError error =
      Pa_OpenStream(&raw, nullptr, &output, Rate, ChunkFrames, paClipOff, nullptr, nullptr);
  if (error != paNoError)
    return std::string("output at ") + std::to_string(Rate) + " Hz: " + Pa_GetErrorText(error);
  std::unique_ptr<PaStream, TStreamCloser> stream(raw);
  error = Pa_StartStream(raw);
  if (error != paNoError) return Pa_GetErrorText(error);
  const size_t frames = Samples.size() / Channels;
  for (size_t at = 0; at < frames && !Stop;) {
    const size_t count = std::min<size_t>(ChunkFrames, frames - at);
    error = Pa_WriteStream(raw, Samples.data() + at * Channels, count);
    if (error != paNoError && error != paOutputUnderflowed) return Pa_GetErrorText(error);
    at += count;
  }
  return "";
}
