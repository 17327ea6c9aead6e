#include "TListener.h"

#include <algorithm>

#include "TDecodeSettings.h"
#include "TPacketCells.h"
#include "TPacketReport.h"
#include "TProtocolRecognition.h"
#include "TTableLine.h"

namespace {
const char* const ProgramName = "vorlent-listen";
// The table's columns as they start; a wider text pushes the rest of its line on.
const TTableLine Table(  // the widths the columns start with
    {12, 10, 56, 8, 8}, TPacketCells::FirstRightAligned, TPacketCells::Count);
const char* const DeviceLostText =
    "the sound device is lost; opening it again every 3 seconds until it is back";
const char* const DeviceBackText = "the sound device records again";

// The error texts of capture as one line ("\r" separates lines in the window's boxes).
std::string OneLine(std::string Text) {
  std::replace(Text.begin(), Text.end(), '\r', ' ');
  Text.erase(
      std::unique(Text.begin(), Text.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
      Text.end());
  return Text;
}
}  // namespace

TListener::TListener(std::ostream& Output, std::ostream& Errors, TProtocolRecognition& Decoder,
                     std::vector<TAction> Lines, TOptions Settings)
    : Out(Output),
      Err(Errors),
      Actions(std::move(Lines)),
      Options(std::move(Settings)),
      Presses(Actions, Options.ReleaseSeconds),
      Runner([this](const std::string& Text) { Error(Text); }),
      Joiner(Decoder, TDecodeSettings::SampleRate) {
  Joiner.OnSample = [this](std::unique_ptr<TSample> Sample) { HandleSample(*Sample); };
  Processor.CaptureBufferCount = BufferCount;
  Processor.CaptureBufferSize = BufferSize;
  Processor.MarginAcrossBuffers = true;
  Processor.Configure(Options.Decoding);
  Processor.OnError = [this](const std::string& Text) {
    if (Reopening) return;  // one line said it is lost; each attempt is not logged
    if (Starting)
      StartErrors.push_back(Text);
    else
      Error(OneLine(Text));
  };
}

TListener::~TListener() {
  Stop();
}

bool TListener::Start(std::unique_ptr<TSoundSystem> Sound) {
  Starting = true;
  StartErrors.clear();
  Processor.Init(&Queue, TDecodeSettings::SampleRate, std::move(Sound));
  Processor.StartRecording();
  Starting = false;
  if (!Processor.WaveIn || !Processor.WaveIn->Recording) {
    std::string reason = StartErrors.empty() ? "the device did not start" : StartErrors.front();
    if (Processor.WaveIn && !Processor.WaveIn->Ready && !Processor.WaveIn->LastError.empty() &&
        StartErrors.empty())
      reason = Processor.WaveIn->LastError;
    Error(OneLine(reason));
    return false;
  }
  if (Options.Format == TFormat::Table)
    Out << Table.Of(TPacketCells::Headers()) << '\n' << std::flush;
  return true;
}

TListener::TEnd TListener::Run(const std::atomic<bool>& StopRequested) {
  while (!StopRequested) {
    std::optional<TMessage> message = Queue.TakeWithin(StopCheckInterval);
    Runner.Reap();
    if (message) HandleBuffer(*message);
    if (!Out) return TEnd::OutputClosed;
    Processor.CheckDevice();
    if (!Processor.WaveIn->Recording) WaitForDevice(StopRequested);
  }
  Joiner.Finish();  // the packets closed before the stop
  return TEnd::Stopped;
}

// The device failed or went silent (reported already): opened again every ReopenInterval,
// quietly, until it records again or a stop is asked.
void TListener::WaitForDevice(const std::atomic<bool>& StopRequested) {
  Joiner.Finish();  // nothing follows the packets held
  Error(DeviceLostText);
  Reopening = true;
  auto next = std::chrono::steady_clock::now() + ReopenInterval;
  while (!StopRequested) {
    Queue.TakeWithin(StopCheckInterval);  // buffers handed back by the stop: nothing to read
    Runner.Reap();
    if (std::chrono::steady_clock::now() < next) continue;
    Processor.StartRecording();
    if (Processor.WaveIn->Recording) break;
    next = std::chrono::steady_clock::now() + ReopenInterval;
  }
  Reopening = false;
  if (Processor.WaveIn->Recording) Error(DeviceBackText);
}

void TListener::Stop() {
  Processor.StopRecording();
  while (Queue.Take()) {
  }  // the buffers handed back: nothing more is read
  Runner.EndAll(ActionPatience);
}

void TListener::HandleBuffer(const TMessage& Message) {
  Processor.ProcessBuffer(Message);
  for (auto& sample : Processor.Samples) Joiner.Add(std::move(sample));
  Processor.ClearSamples();  // an always-on listener keeps nothing
  Joiner.QuietUntil(Processor.QuietUntil());
}

void TListener::HandleSample(TSample& Sample) {
  WriteLine(Sample);
  const size_t run = RunActions(Sample);
  ++Packets;
  if (OnPacket) OnPacket(Sample, run);
}

void TListener::WriteLine(const TSample& Sample) {
  std::vector<std::string> cells = TPacketCells::Of(Sample);
  cells[static_cast<size_t>(TPacketCells::TColumn::Time)] = TPacketCells::TimeOfDay(Sample);
  if (Options.Format == TFormat::Table)
    Out << Table.Of(cells);
  else
    Out << TPacketReport::JsonPacket(Sample, cells, Options.InputName, Packets);
  Out << '\n' << std::flush;
}

size_t TListener::RunActions(const TSample& Sample) {
  if (!Sample.Protocol || Actions.empty()) return 0;
  const double start = static_cast<double>(Sample.StreamIndex) / TDecodeSettings::SampleRate;
  const TProtocol& protocol = *Sample.Protocol;
  size_t run = 0;
  for (const TAction* action : Presses.Handle(protocol, start, start + Sample.Duration)) {
    const TActionRunner::TEnvironment environment = {{"VORLENT_PROTOCOL", protocol.ProtocolName},
                                                     {"VORLENT_DATA", protocol.GetDataText()}};
    if (Runner.Run(action->Command, "line " + std::to_string(action->Line), environment)) ++run;
  }
  return run;
}

void TListener::Error(const std::string& Text) const {
  Err << ProgramName << ": " << Text << '\n' << std::flush;
}
