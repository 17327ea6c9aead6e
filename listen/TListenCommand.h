#pragma once
// vorlent-listen: decodes a sound input live, prints every packet as one line and runs the
// actions of an actions file, until asked to stop.

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>

#include "TDecodeOptions.h"
#include "TSoundSystem.h"

class TProtocolRecognition;

class TListenCommand {
 public:
  static constexpr int ExitOk = 0;
  static constexpr int ExitFailed = 1;  // no device to start with, unreadable files
  static constexpr int ExitUsage = 2;   // bad or missing options
  static constexpr int MinReleaseMs = 10;
  static constexpr int MaxReleaseMs = 10000;

  using TSoundFactory = std::function<std::unique_ptr<TSoundSystem>()>;

  // Output receives the packet lines (or the device list), Errors the errors. SoundFactory
  // makes the sound system (null: PortAudio).
  TListenCommand(std::ostream& Output, std::ostream& Errors, TSoundFactory SoundFactory = nullptr);

  // Runs the command line until StopRequested turns true; returns the exit status. Never
  // throws.
  int Run(int Argc, const char* const* Argv, const std::atomic<bool>& StopRequested);

 private:
  int ListDevices(TSoundSystem& Sound);
  void Error(const std::string& Text) const;

  std::ostream& Out;
  std::ostream& Err;
  TSoundFactory NewSound;
  TDecodeOptions Options;
};
