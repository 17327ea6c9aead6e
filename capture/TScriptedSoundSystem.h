#pragma once
// A sound system for tests and for decoding recordings: it plays given bytes into the
// queued buffers, logs every call, and fails any operation with a chosen code.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "TBufferQueue.h"
#include "TSoundSystem.h"

class TScriptedSoundSystem : public TSoundSystem {
 public:
  enum class Op { GetNumDevs, Open, Prepare, Unprepare, AddBuffer, Start, Reset, Close };

  // Makes every later call of Op fail with Code (0 lets it succeed again).
  void Fail(Op Operation, TMMResult Code) { FailCodes[Operation] = Code; }
  // Fills the queued buffers in order with Data; each full one is announced. Returns the
  // number of bytes taken (less than Size when no buffer is left queued).
  size_t Feed(const uint8_t* Data, size_t Size);
  size_t Feed(const std::vector<uint8_t>& Data) { return Feed(Data.data(), Data.size()); }
  // Buffers queued and not yet handed back.
  size_t QueuedCount() const { return Queue.Size(); }

  unsigned GetNumDevs() override;
  TMMResult Open(TDeviceHandle* Handle, const TWaveFormatEx& Format,
                 TWaveNotifyTarget* Target) override;
  TMMResult PrepareHeader(TDeviceHandle Handle, TWaveHdr* Header) override;
  TMMResult UnprepareHeader(TDeviceHandle Handle, TWaveHdr* Header) override;
  TMMResult AddBuffer(TDeviceHandle Handle, TWaveHdr* Header) override;
  TMMResult Start(TDeviceHandle Handle) override;
  TMMResult Reset(TDeviceHandle Handle) override;
  TMMResult Close(TDeviceHandle Handle) override;
  std::string GetErrorText(TMMResult Code) override;
  // Inputs: the list given, else no listing.
  std::vector<TCaptureDevice> InputDevices() override { return Inputs; }

  unsigned DeviceCount = 1;
  std::vector<std::string> Log;  // "open", "prepare 0", "add 1", "start", ... in call order
  TWaveFormatEx OpenedFormat;
  std::vector<TCaptureDevice> Inputs;  // a selected input must be one of these to open
  std::string OpenedInput;             // the selected input when last opened ("" = default)

 private:
  TMMResult Failure(Op Operation) const;
  int IndexOf(const TWaveHdr* Header) const;
  void HandBack(TWaveHdr* Header);

  std::map<Op, TMMResult> FailCodes;
  TBufferQueue Queue;
  std::vector<const TWaveHdr*> Known;  // headers in the order first prepared, for the log
  TWaveNotifyTarget* Target = nullptr;
  bool IsOpen = false;
  bool Started = false;
};
