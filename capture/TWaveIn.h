#pragma once
// Records a sound system's input into a ring of buffers and announces each full one.

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "TSoundSystem.h"

using TErrorEvent = std::function<void(const std::string& Text)>;

class TWaveIn {
 public:
  static constexpr int MaxBuffers = 8;

  // Allocates the format, headers and buffers; a failure leaves Ready false and the text
  // in LastError (OnError is not assigned yet). BufferCount must be 1..8, BufferSize
  // at least 1 byte.
  TWaveIn(TWaveNotifyTarget* WindowHandle, int BufferCount, int BufferSize,
          std::unique_ptr<TSoundSystem> SoundSystem);
  // Stops and closes a running device before the buffers it writes into are freed.
  ~TWaveIn();
  TWaveIn(const TWaveIn&) = delete;
  TWaveIn& operator=(const TWaveIn&) = delete;

  // Opens the device and prepares the headers; queues nothing. False (reported) on failure.
  bool Open();
  // Starts the device and queues BufferCount - 1 buffers. False (reported) on failure.
  bool Start();
  // Queues the ring's next buffer while recording; a failure stops and reports.
  bool AddNextBuffer();
  // Stops recording, hands back the queued buffers and closes the device; reports failures.
  void Stop();
  // Unprepares the headers and closes the device; reports failures, always ends closed.
  void CloseDevice();
  // The sound system's description of Code.
  std::string ErrorText(TMMResult Code);
  // The sound system recorded from (to list its inputs and choose one). Never fails.
  TSoundSystem& SoundSystem() { return *Sound; }

  int BufferSize = 0;
  int NextBuffer = 0;
  std::array<std::unique_ptr<TWaveHdr>, MaxBuffers> Headers;
  bool DeviceOpen = false;
  TWaveNotifyTarget* WindowHandle = nullptr;
  bool Recording = false;
  std::unique_ptr<TWaveFormatEx> Format;
  int BufferLength = 0;
  bool Ready = false;
  std::string LastError;
  std::array<std::unique_ptr<uint8_t[]>, MaxBuffers> Buffers;
  TDeviceHandle DeviceHandle = 0;
  TErrorEvent OnError;
  int BufferCount = 0;

 private:
  bool Allocate();
  bool AllocFormat();
  bool AllocHeaders();
  bool AllocBuffers();
  void InitHeaders();
  void DoError(const std::string& Text);
  static std::string UnprepareReason(TMMResult Code);

  std::unique_ptr<TSoundSystem> Sound;
};
