#include "TWaveIn.h"

#include <new>

namespace {
constexpr int DefaultRate = 44100;  // Hz, until the owner sets its format
}

TWaveIn::TWaveIn(TWaveNotifyTarget* Target, int Count, int Size,
                 std::unique_ptr<TSoundSystem> SoundSystem)
    : BufferSize(Size), WindowHandle(Target), BufferCount(Count), Sound(std::move(SoundSystem)) {
  if (BufferCount < 1 || BufferCount > MaxBuffers) {
    DoError("Buffer count must be 1 to 8");
    return;
  }
  if (BufferSize < 1) {
    DoError("Buffer size must be at least 1 byte");
    return;
  }
  if (!AllocFormat()) return;
  Ready = Allocate();
}

TWaveIn::~TWaveIn() {
  OnError = nullptr;  // whoever showed errors may be gone already
  Stop();
  CloseDevice();
  Format.reset();
  for (auto& buffer : Buffers) buffer.reset();
  for (auto& header : Headers) header.reset();
}

bool TWaveIn::AllocFormat() {
  Format.reset(new (std::nothrow) TWaveFormatEx);
  if (!Format) {
    DoError("Error locking WaveFormatEx memory");
    return false;
  }
  Format->nSamplesPerSec = DefaultRate;
  Format->nAvgBytesPerSec = Format->wBitsPerSample / 8 * Format->nSamplesPerSec * Format->nChannels;
  return true;
}

// Device count, headers and buffers: the part of construction that needs a device.
bool TWaveIn::Allocate() {
  if (Sound->GetNumDevs() == 0) {
    DoError("No wave audio recording devices found");
    return false;
  }
  return AllocHeaders() && AllocBuffers();
}

bool TWaveIn::AllocHeaders() {
  for (int i = 0; i < BufferCount; ++i) {
    if (Headers[i]) continue;
    Headers[i].reset(new (std::nothrow) TWaveHdr);
    if (!Headers[i]) {
      DoError("Could not lock header memory for recording");
      return false;
    }
  }
  return true;
}

bool TWaveIn::AllocBuffers() {
  for (int i = 0; i < BufferCount; ++i) {
    if (!Buffers[i]) Buffers[i].reset(new (std::nothrow) uint8_t[BufferSize]);
    if (!Buffers[i]) {
      DoError("Error Locking wave buffer memory");
      return false;
    }
    Headers[i]->lpData = Buffers[i].get();
  }
  return true;
}

void TWaveIn::InitHeaders() {
  BufferLength = BufferSize - (BufferSize % Format->nBlockAlign);
  for (int i = 0; i < BufferCount; ++i) {
    *Headers[i] = TWaveHdr{};
    Headers[i]->lpData = Buffers[i].get();
    Headers[i]->dwBufferLength = static_cast<uint32_t>(BufferLength);
  }
}

bool TWaveIn::Open() {
  if (Recording) Stop();
  if (DeviceOpen) CloseDevice();
  NextBuffer = 0;
  // A device plugged in after start-up: try the allocation that found none again, quietly;
  // what the user sees of a missing device is the failure to open it.
  if (!Ready && Format) {
    TErrorEvent shown = std::move(OnError);
    OnError = nullptr;
    Ready = Allocate();
    OnError = std::move(shown);
  }
  TMMResult code = Ready ? Sound->Open(&DeviceHandle, *Format, WindowHandle) : MMSYSERR_NODRIVER;
  if (code != MMSYSERR_NOERROR) {
    DoError("Could not open the input device for recording: \r " + ErrorText(code));
    return false;
  }
  DeviceOpen = true;
  InitHeaders();
  for (int i = 0; i < BufferCount; ++i) {
    code = Sound->PrepareHeader(DeviceHandle, Headers[i].get());
    if (code != MMSYSERR_NOERROR) {
      CloseDevice();
      DoError("Error preparing header for recording: \r" + ErrorText(code));
      return false;
    }
  }
  return AddNextBuffer();
}

bool TWaveIn::Start() {
  TMMResult code = Sound->Start(DeviceHandle);
  if (code != MMSYSERR_NOERROR) {
    CloseDevice();
    DoError("Error starting wavein, close attempted: " + ErrorText(code));
    return false;
  }
  Recording = true;
  for (int i = 0; i < BufferCount - 1; ++i) {
    if (!AddNextBuffer()) {
      DoError("AddNextBuffer failed from open");
      return false;
    }
  }
  return true;
}

bool TWaveIn::AddNextBuffer() {
  if (!Recording) return true;
  TMMResult code = Sound->AddBuffer(DeviceHandle, Headers[NextBuffer].get());
  if (code != MMSYSERR_NOERROR) {
    Stop();
    DoError("Error adding buffer, recording stopped: " + ErrorText(code));
    return false;
  }
  NextBuffer = (NextBuffer + 1) % BufferCount;
  return true;
}

void TWaveIn::Stop() {
  if (!DeviceOpen) return;
  Recording = false;
  if (Sound->Reset(DeviceHandle) != MMSYSERR_NOERROR) DoError("Error in waveInReset");
  CloseDevice();
}

std::string TWaveIn::UnprepareReason(TMMResult Code) {
  switch (Code) {
    case MMSYSERR_INVALHANDLE:
      return " Specified device handle is invalid ";
    case MMSYSERR_NODRIVER:
      return "\tNo device driver is present";
    case MMSYSERR_NOMEM:
      return " Unable to allocate or lock memory";
    case WAVERR_STILLPLAYING:
      return "Buffer still being propcessed";
    default:
      return "Uknown Error";
  }
}

void TWaveIn::CloseDevice() {
  if (!DeviceOpen) return;
  for (int i = 0; i < BufferCount; ++i) {
    TMMResult code = Sound->UnprepareHeader(DeviceHandle, Headers[i].get());
    if (code != MMSYSERR_NOERROR)
      DoError("Error in waveInUnprepareHeader " + UnprepareReason(code));
  }
  if (Sound->Close(DeviceHandle) != MMSYSERR_NOERROR) DoError("Error closing input device");
  DeviceOpen = false;
}

std::string TWaveIn::ErrorText(TMMResult Code) {
  constexpr size_t MaxErrorText = 255;  // characters, as the sound system's text buffer holds
  std::string text = Sound->GetErrorText(Code);
  if (text.size() > MaxErrorText) text.resize(MaxErrorText);
  return text;
}

void TWaveIn::DoError(const std::string& Text) {
  LastError = Text;
  if (OnError) OnError(Text);
}
