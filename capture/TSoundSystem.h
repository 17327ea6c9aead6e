#pragma once
// The few operations capture needs of a sound system, with the records they exchange.

#include <cstdint>
#include <string>
#include <vector>

#include "TCaptureDevice.h"

using TMMResult = int32_t;  // 0 = success; anything else is the sound system's error code

// Codes every sound system uses for the failures capture names itself.
constexpr TMMResult MMSYSERR_NOERROR = 0;
constexpr TMMResult MMSYSERR_BADDEVICEID = 2;  // the chosen input is not present
constexpr TMMResult MMSYSERR_INVALHANDLE = 5;
constexpr TMMResult MMSYSERR_NODRIVER = 6;
constexpr TMMResult MMSYSERR_NOMEM = 7;
constexpr TMMResult WAVERR_STILLPLAYING = 33;
constexpr TMMResult WAVERR_UNPREPARED = 34;

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint32_t MM_WIM_DATA = 0x3C0;  // a filled capture buffer is handed back

// Recording format: PCM, channels, rate, bytes per second, block alignment, bits per sample.
struct TWaveFormatEx {
  uint16_t wFormatTag = WAVE_FORMAT_PCM;
  uint16_t nChannels = 1;
  uint32_t nSamplesPerSec = 44100;
  uint32_t nAvgBytesPerSec = 44100;
  uint16_t nBlockAlign = 1;
  uint16_t wBitsPerSample = 8;
  uint16_t cbSize = 0;
};

constexpr uint32_t WHDR_DONE = 0x1;
constexpr uint32_t WHDR_PREPARED = 0x2;
constexpr uint32_t WHDR_INQUEUE = 0x10;

// A capture buffer's header; its first member is the address of the buffer's data.
struct TWaveHdr {
  uint8_t* lpData = nullptr;
  uint32_t dwBufferLength = 0;
  uint32_t dwBytesRecorded = 0;
  uintptr_t dwUser = 0;
  uint32_t dwFlags = 0;
  uint32_t dwLoops = 0;
  TWaveHdr* lpNext = nullptr;
  uintptr_t reserved = 0;
};

// A notification: Msg is MM_WIM_DATA, LParam the header of the full (or handed back) buffer.
struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  TWaveHdr* LParam = nullptr;
};

// Where a sound system announces full buffers. Post may be called on any thread; the
// receiver delivers the message on its own (user-interface) thread, one at a time.
class TWaveNotifyTarget {
 public:
  virtual ~TWaveNotifyTarget() = default;
  virtual void Post(const TMessage& Message) = 0;
};

using TDeviceHandle = intptr_t;

// A recording device, one open at a time. Every operation returns 0 or an error code.
class TSoundSystem {
 public:
  virtual ~TSoundSystem() = default;

  // Number of recording devices; 0 when there is none.
  virtual unsigned GetNumDevs() = 0;
  // Opens the selected (or the default) input device in Format; full buffers are announced to
  // Target.
  virtual TMMResult Open(TDeviceHandle* Handle, const TWaveFormatEx& Format,
                         TWaveNotifyTarget* Target) = 0;
  virtual TMMResult PrepareHeader(TDeviceHandle Handle, TWaveHdr* Header) = 0;
  // Fails with WAVERR_STILLPLAYING while the buffer is still queued.
  virtual TMMResult UnprepareHeader(TDeviceHandle Handle, TWaveHdr* Header) = 0;
  // Queues a prepared buffer; it is filled and announced once full.
  virtual TMMResult AddBuffer(TDeviceHandle Handle, TWaveHdr* Header) = 0;
  virtual TMMResult Start(TDeviceHandle Handle) = 0;
  // Stops input and hands back every queued buffer, each as an MM_WIM_DATA notification.
  virtual TMMResult Reset(TDeviceHandle Handle) = 0;
  virtual TMMResult Close(TDeviceHandle Handle) = 0;
  // The sound system's description of an error code (at most 255 characters).
  virtual std::string GetErrorText(TMMResult Code) = 0;

  // The recording devices present now; empty when the sound system cannot list them.
  virtual std::vector<TCaptureDevice> InputDevices() { return {}; }
  // Open records from the input named Name from now on ("" = the system's default input);
  // when no input has that name, Open fails with MMSYSERR_BADDEVICEID. Never fails itself.
  void SelectInput(const std::string& Name) { SelectedInput = Name; }
  const std::string& SelectedInputName() const { return SelectedInput; }

 protected:
  std::string SelectedInput;  // "" = the default input
};
