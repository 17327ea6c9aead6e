#pragma once
// Turns the stream of captured 8-bit PCM buffers into packets (samples) and keeps the list.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TAutoLevel.h"
#include "TDecodeSettings.h"
#include "TSample.h"
#include "TWaveIn.h"

using TNotifyEvent = std::function<void()>;

class TSignalProcessor {
 public:
  static constexpr int BufferCount = 4;     // capture ring of the window
  static constexpr int BufferSize = 65534;  // bytes (= PCM samples) per buffer there
  // The defaults (Configure changes them): a value this high starts a packet, one this high
  // keeps it open, and this much quiet time ends it.
  static constexpr uint8_t TriggerLevel = TDecodeSettings::DefaultTriggerLevel;
  static constexpr uint8_t ActiveLevel = TriggerLevel - 1;
  static constexpr float SilenceSeconds =
      static_cast<float>(TDecodeSettings::DefaultEndSilenceMillis / 1000);
  static constexpr size_t MaxSignalLength = 65535;  // values; positions are 16-bit
  static constexpr uint8_t ZeroLine = 128;

  // Creates the capture object on SoundSystem (not null then) unless one exists, with
  // CaptureBufferCount buffers of CaptureBufferSize bytes; resets the counters. Never fails: a
  // missing device shows when recording starts.
  void Init(TWaveNotifyTarget* WindowHandle, uint16_t SampleRate,
            std::unique_ptr<TSoundSystem> SoundSystem);
  // The same on the sound card (PortAudio): in the library vorlent_signal_sound_card, which
  // only the programs that record link.
  void Init(TWaveNotifyTarget* WindowHandle, uint16_t SampleRate);
  // Cuts with the level (fixed, or automatic from the signal), the ending silence and the
  // inversion of Settings from the next buffer on, and derives run lengths with that level.
  // Settings must be valid (TDecodeSettings::Problem() empty; asserted). Never fails.
  void Configure(const TDecodeSettings& Settings);
  // Sets the format, opens and starts capture; every failure is reported through OnError.
  void StartRecording();
  // Stops capture; an open packet stays open.
  void StopRecording();
  // Cuts the buffer of Message into packets while recording, then queues the next buffer.
  void ProcessBuffer(const TMessage& Message);
  // Notices a device that went away: while recording, when no buffer has come for
  // DeviceSilenceSeconds beyond the time one buffer takes to fill (an unplugged, suspended or
  // grabbed device), stops recording, reports DeviceSilentText through OnError and returns
  // true. Call it every DeviceCheckInterval or so; false otherwise.
  bool CheckDevice();
  static constexpr double DeviceSilenceSeconds = 2;
  static constexpr auto DeviceCheckInterval = std::chrono::milliseconds(250);
  static constexpr const char* DeviceSilentText =
      "The recording device delivers nothing any more (unplugged, suspended or taken by another "
      "program): recording stopped.";

  // SampleRate x Seconds, rounded to nearest, halves to even.
  int64_t SecondsToSamples(float Seconds) const;
  // Count / SampleRate as a 32-bit float.
  float SamplesToSeconds(uint16_t Count) const;

  // Derives Sample.Pulses (low, high, ... run lengths) from Sample's signal with the configured
  // level (an automatic one from the signal alone); empty for none.
  void ExtractPulses(TSample& Sample) const;
  // Appends Sample as the newest entry of Samples, which takes ownership.
  void AddSample(std::unique_ptr<TSample> Sample);
  // Destroys every sample; the packet being captured is not touched.
  void ClearSamples();
  // Stream index (values since Init) before which no packet opens after the last one closed:
  // the trigger of the packet being captured, else the end of the buffers read.
  int64_t QuietUntil() const;

  // Writes every sample to BaseName + ".map" and BaseName + ".dat". Both are written under
  // temporary names and renamed into place when complete, so a failure (TFileError) leaves
  // earlier files as they were.
  void SaveSamples(const std::string& BaseName) const;
  // Reads the whole pair MapFileName / DataFileName(MapFileName), run lengths rebuilt.
  // Throws TFileError ("NAME: reason") on a missing, unreadable, short or malformed pair;
  // Samples untouched. A partial last record is left out; Note (when given) then receives
  // what the user is to be told, else "".
  std::vector<std::unique_ptr<TSample>> ReadSamples(const std::string& MapFileName,
                                                    std::string* Note = nullptr) const;
  // ReadSamples, then appends every sample read; on failure nothing is appended.
  void LoadSamples(const std::string& MapFileName);
  // MapFileName with the extension after its last "/" replaced by ".dat" (added if none).
  static std::string DataFileName(const std::string& MapFileName);

  std::unique_ptr<TSample> CurrentSample;
  long double SilenceCount = 0;  // PCM samples since the previous packet ended
  std::unique_ptr<TWaveIn> WaveIn;
  uint16_t SampleRate = 0;
  TErrorEvent OnError;
  TNotifyEvent OnNewSample;
  std::vector<std::unique_ptr<TSample>> Samples;
  uint16_t BuffersProcessed = 0;
  std::chrono::steady_clock::time_point LastBuffer;  // handed back, or recording started
  bool InvertInput = false;  // Configure sets it; 255 - v for every value v of a buffer
  // The capture ring the first Init creates: shorter buffers hand packets on sooner.
  int CaptureBufferCount = BufferCount;  // 1..8
  int CaptureBufferSize = BufferSize;    // bytes, at least 1
  // A trigger near a buffer's start takes the rest of its margin from the previous buffer,
  // so that short buffers cut the same packets as long ones (the window's margin stops at
  // the buffer's start).
  bool MarginAcrossBuffers = false;

 private:
  uint16_t SilenceWindow() const;
  uint8_t QuietLevel() const;
  size_t FindTrigger(const uint8_t* Buf, size_t From);
  void OpenPacket(const uint8_t* Buf, size_t Trigger, size_t Pos);
  size_t FollowPacket(const uint8_t* Buf, size_t Pos);
  void ClosePacket(uint16_t ActiveCount);
  void KeepTail(const uint8_t* Buf);
  static double TimeOfDayNow();

  size_t MarginLength = 0;            // pre-trigger values at the front of CurrentSample's Signal
  int64_t StreamRead = 0;             // values of the buffers read since Init
  uint8_t FixedLevel = TriggerLevel;  // starts a packet; one below keeps it open
  bool AutomaticLevel = false;        // Auto decides instead of FixedLevel
  float EndSilenceSeconds = SilenceSeconds;
  TAutoLevel Auto;                    // the automatic level, following the stream
  std::vector<uint8_t> PreviousTail;  // the last margin's worth of the previous buffer
};
