#include "TRecordingDecoder.h"

#include <vector>

#include "TMessageQueue.h"
#include "TPcmReader.h"
#include "TScriptedSoundSystem.h"
#include "TSignalProcessor.h"

namespace {
constexpr double SecondsPerDay = 86400.0;

// A signal processor fed from memory through the scripted sound system, as capture feeds it.
class TFeed {
 public:
  TFeed(const TDecodeSettings& Settings, const TRecordingDecoder::TSampleEvent& Receiver,
        TRecordingDecoder::TResult& Outcome)
      : OnSample(Receiver), Result(Outcome) {
    auto sound = std::make_unique<TScriptedSoundSystem>();
    Sound = sound.get();
    Processor.OnError = [this](const std::string& Text) { Errors.push_back(Text); };
    Processor.OnNewSample = [this] { TakeSample(); };
    Processor.Init(&Queue, TRecordingDecoder::SampleRate, std::move(sound));
    Processor.Configure(Settings);
    Processor.StartRecording();
  }

  // Hands one full buffer to the processor and lets it cut the packets out of it.
  void Process(const std::vector<uint8_t>& Buffer) {
    Sound->Feed(Buffer);
    while (auto message = Queue.Take()) Processor.ProcessBuffer(*message);
  }
  bool PacketOpen() const { return Processor.CurrentSample != nullptr; }
  bool Ready() const { return Processor.WaveIn && Processor.WaveIn->Recording; }
  std::string FirstError() const { return Errors.empty() ? "" : Errors.front(); }

 private:
  void TakeSample() {
    std::unique_ptr<TSample> sample = std::move(Processor.Samples.back());
    Processor.Samples.pop_back();
    sample->CaptureTime =
        static_cast<double>(sample->StreamIndex) / TRecordingDecoder::SampleRate / SecondsPerDay;
    ++Result.SampleCount;
    if (OnSample)
      OnSample(std::move(sample));
    else
      Result.Samples.push_back(std::move(sample));
  }

  const TRecordingDecoder::TSampleEvent& OnSample;
  TRecordingDecoder::TResult& Result;
  TMessageQueue Queue;
  TScriptedSoundSystem* Sound = nullptr;
  TSignalProcessor Processor;
  std::vector<std::string> Errors;
};

class TFileSource : public TRecordingDecoder::TSource {
 public:
  explicit TFileSource(const std::string& FileName) : Reader(FileName) {}
  size_t Read(uint8_t* Out, size_t Count) override { return Reader.Read(Out, Count); }
  double Progress() const override { return Reader.Progress(); }
  std::string EndsEarly() const override { return Reader.EndsEarly(); }

 private:
  TPcmReader Reader;
};
}  // namespace

TRecordingDecoder::TResult TRecordingDecoder::Decode(const std::string& FileName) {
  TFileSource source(FileName);
  return Decode(source);
}

TRecordingDecoder::TResult TRecordingDecoder::Decode(TSource& Source) {
  TResult result;
  TSource& reader = Source;
  TFeed feed(Options, OnSample, result);
  if (!feed.Ready())
    throw std::logic_error("the scripted capture did not start: " + feed.FirstError());
  std::vector<uint8_t> buffer(TSignalProcessor::BufferSize);
  for (;;) {
    size_t n = reader.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    result.StreamLength += static_cast<int64_t>(n);
    // The last, partial buffer is filled up with silence to its full length.
    std::fill(buffer.begin() + static_cast<long>(n), buffer.end(), TSignalProcessor::ZeroLine);
    feed.Process(buffer);
    if (OnProgress && !OnProgress(reader.Progress())) {
      result.Cancelled = true;
      return result;
    }
    if (n < buffer.size()) break;
  }
  // A packet still open at the end of the file is closed by one more buffer of silence.
  if (feed.PacketOpen()) {
    std::fill(buffer.begin(), buffer.end(), TSignalProcessor::ZeroLine);
    feed.Process(buffer);
  }
  result.EndsEarly = reader.EndsEarly();
  return result;
}
