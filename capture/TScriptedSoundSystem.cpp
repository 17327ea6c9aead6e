#include "TScriptedSoundSystem.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr TDeviceHandle ScriptedHandle = 1;
}

TMMResult TScriptedSoundSystem::Failure(Op Operation) const {
  auto it = FailCodes.find(Operation);
  return it == FailCodes.end() ? MMSYSERR_NOERROR : it->second;
}

int TScriptedSoundSystem::IndexOf(const TWaveHdr* Header) const {
  auto it = std::find(Known.begin(), Known.end(), Header);
  return it == Known.end() ? -1 : static_cast<int>(it - Known.begin());
}

void TScriptedSoundSystem::HandBack(TWaveHdr* Header) {
  Log.push_back("done " + std::to_string(IndexOf(Header)));
  if (Target) Target->Post({MM_WIM_DATA, static_cast<uintptr_t>(ScriptedHandle), Header});
}

size_t TScriptedSoundSystem::Feed(const uint8_t* Data, size_t Size) {
  size_t taken = 0;
  while (taken < Size && Started && Queue.Front()) {
    TWaveHdr* header = Queue.Front();
    size_t room = header->dwBufferLength - header->dwBytesRecorded;
    size_t n = std::min(room, Size - taken);
    std::memcpy(header->lpData + header->dwBytesRecorded, Data + taken, n);
    header->dwBytesRecorded += static_cast<uint32_t>(n);
    taken += n;
    if (header->dwBytesRecorded < header->dwBufferLength) break;
    HandBack(Queue.TakeFront());
  }
  return taken;
}

unsigned TScriptedSoundSystem::GetNumDevs() {
  Log.push_back("devs");
  return Failure(Op::GetNumDevs) ? 0 : DeviceCount;
}

TMMResult TScriptedSoundSystem::Open(TDeviceHandle* Handle, const TWaveFormatEx& Format,
                                     TWaveNotifyTarget* NotifyTarget) {
  Log.push_back("open");
  if (TMMResult code = Failure(Op::Open)) return code;
  if (DeviceCount == 0) return MMSYSERR_NODRIVER;
  const bool present = std::any_of(Inputs.begin(), Inputs.end(), [this](const TCaptureDevice& d) {
    return d.Name == SelectedInput;
  });
  if (!SelectedInput.empty() && !present) return MMSYSERR_BADDEVICEID;
  OpenedInput = SelectedInput;
  *Handle = ScriptedHandle;
  OpenedFormat = Format;
  Target = NotifyTarget;
  IsOpen = true;
  return MMSYSERR_NOERROR;
}

TMMResult TScriptedSoundSystem::PrepareHeader(TDeviceHandle, TWaveHdr* Header) {
  if (IndexOf(Header) < 0) Known.push_back(Header);
  Log.push_back("prepare " + std::to_string(IndexOf(Header)));
  if (TMMResult code = Failure(Op::Prepare)) return code;
  return TBufferQueue::Prepare(Header);
}

TMMResult TScriptedSoundSystem::UnprepareHeader(TDeviceHandle, TWaveHdr* Header) {
  if (IndexOf(Header) < 0) Known.push_back(Header);
  Log.push_back("unprepare " + std::to_string(IndexOf(Header)));
  if (TMMResult code = Failure(Op::Unprepare)) return code;
  return Queue.Unprepare(Header);
}

TMMResult TScriptedSoundSystem::AddBuffer(TDeviceHandle, TWaveHdr* Header) {
  Log.push_back("add " + std::to_string(IndexOf(Header)));
  if (TMMResult code = Failure(Op::AddBuffer)) return code;
  if (!IsOpen) return MMSYSERR_INVALHANDLE;
  return Queue.Add(Header);
}

TMMResult TScriptedSoundSystem::Start(TDeviceHandle) {
  Log.push_back("start");
  if (TMMResult code = Failure(Op::Start)) return code;
  if (!IsOpen) return MMSYSERR_INVALHANDLE;
  Started = true;
  return MMSYSERR_NOERROR;
}

TMMResult TScriptedSoundSystem::Reset(TDeviceHandle) {
  Log.push_back("reset");
  if (TMMResult code = Failure(Op::Reset)) return code;
  Started = false;
  for (TWaveHdr* header : Queue.TakeAll()) HandBack(header);
  return MMSYSERR_NOERROR;
}

TMMResult TScriptedSoundSystem::Close(TDeviceHandle) {
  Log.push_back("close");
  if (TMMResult code = Failure(Op::Close)) return code;
  IsOpen = false;
  Started = false;
  return MMSYSERR_NOERROR;
}

std::string TScriptedSoundSystem::GetErrorText(TMMResult Code) {
  return "scripted error " + std::to_string(Code);
}
