#include "TPortAudioSoundSystem.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

namespace {
constexpr unsigned long ReadChunkFrames = 2048;              // samples per read at most
constexpr auto PollInterval = std::chrono::milliseconds(5);  // wait while no input is ready
constexpr uint8_t ZeroLine = 128;  // what the unrecorded rest of a failed buffer holds
constexpr TDeviceHandle StreamHandle = 1;

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}
}  // namespace

TPortAudioSoundSystem::TPortAudioSoundSystem() {
  snd_lib_error_set_handler(QuietAlsa);
  jack_set_error_function(QuietJack);
  jack_set_info_function(QuietJack);
  PaError error = Pa_Initialize();
  if (error != paNoError) InitError = error;
}

TPortAudioSoundSystem::~TPortAudioSoundSystem() {
  StopReader();
  if (Stream) {
    Pa_AbortStream(Stream);
    Pa_CloseStream(Stream);
  }
  if (!InitError) Pa_Terminate();
}

bool TPortAudioSoundSystem::Valid(TDeviceHandle Handle) const {
  return Stream && Handle == StreamHandle;
}

unsigned TPortAudioSoundSystem::GetNumDevs() {
  const unsigned inputs = CountInputs();
  if (inputs > 0 || Stream) return inputs;
  Rescan();
  return CountInputs();
}

// PortAudio lists the devices once, when it starts: look again for one plugged in since.
// Only while no stream is open, which terminating PortAudio would close.
void TPortAudioSoundSystem::Rescan() {
  if (Stream) return;
  if (!InitError) Pa_Terminate();
  const PaError error = Pa_Initialize();
  InitError = error == paNoError ? 0 : error;
}

std::vector<TCaptureDevice> TPortAudioSoundSystem::InputDevices() {
  Rescan();
  std::vector<TCaptureDevice> devices;
  if (InitError) return devices;
  const PaDeviceIndex defaultInput = Pa_GetDefaultInputDevice();
  for (int i = 0; i < Pa_GetDeviceCount(); ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info || info->maxInputChannels <= 0) continue;
    devices.push_back(
        {i, info->name ? info->name : "", info->defaultSampleRate, i == defaultInput});
  }
  return devices;
}

// The device to open: the input named SelectedInput, else the default; paNoDevice for none.
int TPortAudioSoundSystem::ChosenDevice() const {
  if (SelectedInput.empty()) return Pa_GetDefaultInputDevice();
  for (int i = 0; i < Pa_GetDeviceCount(); ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info && info->maxInputChannels > 0 && info->name && SelectedInput == info->name) return i;
  }
  return paNoDevice;
}

unsigned TPortAudioSoundSystem::CountInputs() const {
  if (InitError) return 0;
  int count = Pa_GetDeviceCount();
  unsigned inputs = 0;
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info && info->maxInputChannels > 0) ++inputs;
  }
  return inputs;
}

// A device plugged in again since PortAudio listed its devices has another number, or is not
// listed: a failed open looks again once.
TMMResult TPortAudioSoundSystem::Open(TDeviceHandle* Handle, const TWaveFormatEx& Format,
                                      TWaveNotifyTarget* NotifyTarget) {
  if (Stream) return paDeviceUnavailable;
  const TMMResult first = OpenStream(Handle, Format, NotifyTarget);
  if (first == MMSYSERR_NOERROR) return first;
  Rescan();
  return OpenStream(Handle, Format, NotifyTarget);
}

TMMResult TPortAudioSoundSystem::OpenStream(TDeviceHandle* Handle, const TWaveFormatEx& Format,
                                            TWaveNotifyTarget* NotifyTarget) {
  if (InitError) return InitError;
  if (Format.wFormatTag != WAVE_FORMAT_PCM || Format.wBitsPerSample != 8)
    return paSampleFormatNotSupported;
  if (Format.nChannels != 1) return paInvalidChannelCount;  // a byte is a sample
  PaStreamParameters input{};
  input.device = ChosenDevice();
  if (input.device == paNoDevice)
    return SelectedInput.empty() ? paInvalidDevice : MMSYSERR_BADDEVICEID;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(input.device);
  input.channelCount = Format.nChannels;
  input.sampleFormat = paUInt8;
  input.suggestedLatency = info ? info->defaultHighInputLatency : 0.1;
  PaError error = Pa_OpenStream(&Stream, &input, nullptr, Format.nSamplesPerSec, ReadChunkFrames,
                                paNoFlag, nullptr, nullptr);
  if (error != paNoError) {
    Stream = nullptr;
    return error;
  }
  Target = NotifyTarget;
  StreamError = paNoError;
  *Handle = StreamHandle;
  return MMSYSERR_NOERROR;
}

TMMResult TPortAudioSoundSystem::PrepareHeader(TDeviceHandle Handle, TWaveHdr* Header) {
  if (!Valid(Handle)) return MMSYSERR_INVALHANDLE;
  return TBufferQueue::Prepare(Header);
}

TMMResult TPortAudioSoundSystem::UnprepareHeader(TDeviceHandle Handle, TWaveHdr* Header) {
  if (!Valid(Handle)) return MMSYSERR_INVALHANDLE;
  std::lock_guard lock(Mutex);
  return Queue.Unprepare(Header);
}

TMMResult TPortAudioSoundSystem::AddBuffer(TDeviceHandle Handle, TWaveHdr* Header) {
  if (!Valid(Handle)) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard lock(Mutex);
    if (StreamError != paNoError) return StreamError;  // the device failed: recording ends
    if (TMMResult refused = Queue.Add(Header)) return refused;
  }
  Queued.notify_one();
  return MMSYSERR_NOERROR;
}

TMMResult TPortAudioSoundSystem::Start(TDeviceHandle Handle) {
  if (!Valid(Handle)) return MMSYSERR_INVALHANDLE;
  if (Reader.joinable()) return MMSYSERR_NOERROR;
  PaError error = Pa_StartStream(Stream);
  if (error != paNoError) return error;
  {
    std::lock_guard lock(Mutex);
    Stopping = false;
  }
  try {
    Reader = std::thread(&TPortAudioSoundSystem::ReadLoop, this);
  } catch (const std::system_error&) {
    Pa_AbortStream(Stream);
    return MMSYSERR_NOMEM;
  }
  return MMSYSERR_NOERROR;
}

TMMResult TPortAudioSoundSystem::Reset(TDeviceHandle Handle) {
  if (!Valid(Handle)) return MMSYSERR_INVALHANDLE;
  StopReader();
  PaError error = Pa_IsStreamActive(Stream) == 1 ? Pa_AbortStream(Stream) : paNoError;
  std::deque<TWaveHdr*> handedBack;
  {
    std::lock_guard lock(Mutex);
    handedBack = Queue.TakeAll();
  }
  for (TWaveHdr* header : handedBack) HandBack(header);
  return error;
}

TMMResult TPortAudioSoundSystem::Close(TDeviceHandle Handle) {
  if (!Valid(Handle)) return MMSYSERR_INVALHANDLE;
  StopReader();
  PaError error = Pa_CloseStream(Stream);
  Stream = nullptr;
  Target = nullptr;
  return error;
}

std::string TPortAudioSoundSystem::GetErrorText(TMMResult Code) {
  switch (Code) {
    case MMSYSERR_NOERROR:
      return "The command completed successfully.";
    case MMSYSERR_BADDEVICEID:
      return "The recording device \"" + SelectedInput + "\" is not present.";
    case MMSYSERR_INVALHANDLE:
      return "The specified device handle is invalid.";
    case MMSYSERR_NODRIVER:
      return "No recording device is present.";
    case MMSYSERR_NOMEM:
      return "Unable to allocate or lock memory.";
    case WAVERR_STILLPLAYING:
      return "The buffer is still in the queue.";
    case WAVERR_UNPREPARED:
      return "The buffer is not prepared.";
    default:
      return Pa_GetErrorText(Code);
  }
}

void TPortAudioSoundSystem::HandBack(TWaveHdr* Header) {
  if (Target) Target->Post({MM_WIM_DATA, static_cast<uintptr_t>(StreamHandle), Header});
}

// The oldest queued buffer, or null once the reader is told to stop.
TWaveHdr* TPortAudioSoundSystem::WaitForBuffer() {
  std::unique_lock lock(Mutex);
  Queued.wait(lock, [this] { return Stopping || Queue.Front(); });
  return Stopping ? nullptr : Queue.Front();
}

// Reads only what the device has ready, so that a stalled device never keeps Reset waiting.
void TPortAudioSoundSystem::ReadLoop() {
  while (TWaveHdr* header = WaitForBuffer()) {
    const long available = Pa_GetStreamReadAvailable(Stream);
    if (available < 0) return Fail(header, static_cast<PaError>(available));
    if (available == 0) {
      WaitForInput();
      continue;
    }
    const unsigned long room = header->dwBufferLength - header->dwBytesRecorded;
    const unsigned long frames =
        std::min({room, ReadChunkFrames, static_cast<unsigned long>(available)});
    PaError error = Pa_ReadStream(Stream, header->lpData + header->dwBytesRecorded, frames);
    if (error != paNoError && error != paInputOverflowed) return Fail(header, error);
    header->dwBytesRecorded += static_cast<uint32_t>(frames);  // at most room
    if (header->dwBytesRecorded < header->dwBufferLength) continue;
    {
      std::lock_guard lock(Mutex);
      if (Stopping) return;  // Reset hands it back with the others
      Queue.TakeFront();
    }
    HandBack(header);
  }
}

void TPortAudioSoundSystem::WaitForInput() {
  std::unique_lock lock(Mutex);
  Queued.wait_for(lock, PollInterval, [this] { return Stopping; });
}

// The device failed: the buffer being filled goes back (its rest silent) and the next
// AddBuffer reports the error, which ends the recording with PortAudio's own text.
void TPortAudioSoundSystem::Fail(TWaveHdr* Header, PaError Error) {
  {
    std::lock_guard lock(Mutex);
    StreamError = Error;
    if (Stopping) return;
    Queue.TakeFront();
  }
  std::memset(Header->lpData + Header->dwBytesRecorded, ZeroLine,
              Header->dwBufferLength - Header->dwBytesRecorded);
  Header->dwBytesRecorded = Header->dwBufferLength;
  HandBack(Header);
}

void TPortAudioSoundSystem::StopReader() {
  {
    std::lock_guard lock(Mutex);
    Stopping = true;
  }
  Queued.notify_all();
  if (Reader.joinable()) Reader.join();
}
