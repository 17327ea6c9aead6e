// What the window adds to the handling of one capture buffer: processing, decoding, listing
// and drawing its packets (offscreen). A buffer holds 1.37 s of sound.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QAction>
#include <QLocale>
#include <cstdlib>

#include "TGraph.h"
#include "TGridView.h"
#include "TVorlentApplication.h"
#include "UiTestSupport.h"
#include "WeakReceiver.h"

using namespace ui_test;

namespace {
constexpr int ClearEvery = 200;  // buffers; keeps the grid from growing without end

std::vector<uint8_t> BufferWith(int Packets) {
  auto buffer = QuietBuffer();
  size_t at = 1000;
  for (int i = 0; i < Packets; ++i) at = Put(buffer, at, NecRuns(i, 255 - i)) + 480;
  return buffer;
}

// The same packets as a phototransistor gives them: rounded edges, drooping marks, a line
// that sinks after each burst, and noise (the weak-receiver model of the tests, marks 60 above
// the zero line, noise of 1.5 steps).
std::vector<uint8_t> ReceivedBufferWith(int Packets) {
  constexpr double Peak = 60, NoiseLsb = 1.5, CouplingMs = 30, SamplesPerMicro = 0.048;
  auto buffer = QuietBuffer();
  size_t at = 1000;
  for (int i = 0; i < Packets; ++i) {
    weak_receiver::TRuns runs;
    for (auto [value, count] : NecRuns(i, 255 - i))
      runs.push_back({value == High, static_cast<double>(count) / SamplesPerMicro});
    const auto pcm = weak_receiver::Render(runs, Peak, NoiseLsb, CouplingMs, i + 1);
    std::copy(pcm.begin(), pcm.end(), buffer.begin() + static_cast<long>(at));
    at += pcm.size();
  }
  return buffer;
}

void BufferWithPackets(benchmark::State& State) {
  TWindowRig rig;
  rig.Record();
  const auto buffer = BufferWith(static_cast<int>(State.range(0)));
  int handled = 0;
  for (auto _ : State) {
    rig.Feed(buffer);
    if (++handled % ClearEvery == 0) {
      State.PauseTiming();
      rig.Gui->ClearSamplesClick();
      State.ResumeTiming();
    }
  }
  if (rig.Gui->SamplesGrid->Cell(1, 1) != "NEC") State.SkipWithError("not decoded");
  State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BufferWithPackets)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// What the window's heap grows by per kept packet (listed one a row, decoded, the newest
// drawn), and how much of that is the packet's signal (packed: its values are counted apart):
// the rest is its runs, decode result, marks and list row. mallinfo2 counts the bytes in use,
// not the pages touched.
// Argument 0: clean square packets; 1: the same as a phototransistor gives them.
void MemoryPerKeptPacket(benchmark::State& State) {
  constexpr int Buffers = 500, PacketsPerBuffer = 10;
  for (auto _ : State) {
    TWindowRig rig;
    rig.Record();
    rig.Gui->FoldRepeats->setChecked(false);
    const auto buffer =
        State.range(0) ? ReceivedBufferWith(PacketsPerBuffer) : BufferWith(PacketsPerBuffer);
    rig.Feed(buffer);  // the first packets set up what every later one shares
    const auto& samples = rig.Gui->Processor->Samples;
    const size_t first = samples.size();
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < Buffers; ++i) rig.Feed(buffer);
    const size_t after = mallinfo2().uordblks;
    const size_t kept = samples.size() - first;
    size_t signalValues = 0, signalBytes = 0;
    std::vector<uint8_t> scratch;
    for (size_t i = first; i < samples.size(); ++i) {
      signalValues += samples[i]->SignalLength();
      signalBytes += TPackedSignal(samples[i]->SignalValues(scratch)).PackedBytes();
    }
    if (kept == 0 || rig.Gui->SamplesGrid->RowCount() != static_cast<int>(samples.size()) + 2)
      return State.SkipWithError("packets not listed one a row");
    const double perPacket = static_cast<double>(after - before) / static_cast<double>(kept);
    State.counters["packets"] = static_cast<double>(kept);
    State.counters["signal_values_per_packet"] =
        static_cast<double>(signalValues) / static_cast<double>(kept);
    State.counters["bytes_per_packet"] = perPacket;
    State.counters["signal_bytes_per_packet"] =
        static_cast<double>(signalBytes) / static_cast<double>(kept);
    State.counters["other_bytes_per_packet"] =
        perPacket - static_cast<double>(signalBytes) / static_cast<double>(kept);
  }
}
BENCHMARK(MemoryPerKeptPacket)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void DrawLongPacket(benchmark::State& State) {
  TFakeDialogs dialogs;
  TGraph graph(nullptr, dialogs);
  graph.SampleRate = 48000;
  TSample sample;
  sample.Signal.assign(60000, Quiet);
  for (size_t i = 0; i < sample.Signal.size(); i += 100) sample.Signal[i] = High;
  for (size_t i = 0; i < 1200; ++i) sample.Pulses.push_back(50);
  for (uint16_t p = 0; p < 60000; p += 50) sample.AddMark(TSample::BitRow, p, "bit");
  graph.SetSample(&sample);
  graph.SetHScale(static_cast<uint8_t>(State.range(0)));
  for (auto _ : State) graph.Draw();
}
BENCHMARK(DrawLongPacket)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
}  // namespace
