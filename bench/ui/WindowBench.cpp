// What the window adds to the handling of one capture buffer: processing, decoding, listing
// and drawing its packets (offscreen). A buffer holds 1.37 s of sound.

#include <benchmark/benchmark.h>

#include <QLocale>
#include <cstdlib>

#include "TGraph.h"
#include "TStringGrid.h"
#include "TVorlentApplication.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
constexpr int ClearEvery = 200;  // buffers; keeps the grid from growing without end

std::vector<uint8_t> BufferWith(int Packets) {
  auto buffer = QuietBuffer();
  size_t at = 1000;
  for (int i = 0; i < Packets; ++i) at = Put(buffer, at, NecRuns(i, 255 - i)) + 480;
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
