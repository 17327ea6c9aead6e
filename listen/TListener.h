#pragma once
// Listens on a sound input: captures through the window's capture and signal processor in
// short buffers, decodes every packet as it closes (or, where an entry of the library asks for
// a longer ending silence, once that silence has passed, joined with the packets within it),
// writes it as one line (flushed at once) and runs the actions it sets off.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TAction.h"
#include "TActionRunner.h"
#include "TDecodeSettings.h"
#include "TKeyPresses.h"
#include "TMessageQueue.h"
#include "TReportFormats.h"
#include "TSignalProcessor.h"
#include "TSilenceJoiner.h"

class TProtocolRecognition;

class TListener {
 public:
  using TFormat = TReportFormats::TFormat;  // Table or Jsonl
  enum class TEnd { Stopped, OutputClosed };

  // 8 buffers of 50 ms: a packet's line follows its end within about 50 ms, and the reader
  // may fall 350 ms behind before input is lost.
  static constexpr int BufferCount = 8;
  static constexpr int BufferSize = 2400;  // bytes = samples at 48 kHz
  static constexpr auto StopCheckInterval = std::chrono::milliseconds(100);
  static constexpr auto ActionPatience = std::chrono::milliseconds(200);  // at the end
  static constexpr auto ReopenInterval = std::chrono::seconds(3);  // while the device is lost

  struct TOptions {
    TFormat Format = TFormat::Table;
    double ReleaseSeconds = TKeyPresses::DefaultReleaseSeconds;
    std::string InputName = "default";  // the "input" of JSON lines
    TDecodeSettings Decoding;           // how packets are cut: level, ending silence, invert
  };

  // Decoder must outlive the listener. Output takes the packet lines, Errors the errors and
  // failed actions; Lines are the actions.
  TListener(std::ostream& Output, std::ostream& Errors, TProtocolRecognition& Decoder,
            std::vector<TAction> Lines, TOptions Settings);
  // Stops recording and releases the device.
  ~TListener();
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;

  // Opens Sound's selected input and starts recording; writes the table's header line. False
  // (the first failure written to Err) when the device cannot record.
  bool Start(std::unique_ptr<TSoundSystem> Sound);
  // Handles buffers until StopRequested turns true (checked at least every
  // StopCheckInterval) or Out cannot be written. A device that fails or delivers nothing
  // for TSignalProcessor::DeviceSilenceSeconds is reported, then opened again every
  // ReopenInterval until it records (reported too).
  TEnd Run(const std::atomic<bool>& StopRequested);
  // Stops recording, releases the device, reaps the actions that end soon and ends the
  // others. An open packet is dropped. Safe to call twice.
  void Stop();

  // Called after a packet's line is written and its actions are started (for measurements).
  std::function<void(const TSample& Sample, size_t ActionsRun)> OnPacket;
  size_t PacketCount() const { return Packets; }

 private:
  void HandleBuffer(const TMessage& Message);
  void WaitForDevice(const std::atomic<bool>& StopRequested);
  void HandleSample(TSample& Sample);
  void WriteLine(const TSample& Sample);
  size_t RunActions(const TSample& Sample);
  void Error(const std::string& Text) const;

  std::ostream& Out;
  std::ostream& Err;
  std::vector<TAction> Actions;
  TOptions Options;
  TKeyPresses Presses;
  TActionRunner Runner;
  TMessageQueue Queue;  // before Processor: the capture thread posts here until it is gone
  TSignalProcessor Processor;
  std::vector<std::string> StartErrors;
  bool Starting = false;
  bool Reopening = false;
  size_t Packets = 0;
  // Decodes the packets, joining those an entry asks a longer silence for; it holds a packet
  // until the next arrives or the quiet after it is that long.
  TSilenceJoiner Joiner;
};
