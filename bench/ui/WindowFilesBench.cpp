// The window's Save samples and Load samples with 10,000 packets of 4,000 bytes each: the load
// reads the pair, decodes every packet with the shipped protocol library and rebuilds the grid.
// The parts of the load are measured on their own as well. Last, Import recording with a
// ten-minute recording.

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <QAction>
#include <QLocale>
#include <cstdlib>

#include "TIrSynth.h"
#include "TGridView.h"
#include "TPacketList.h"
#include "TProtocolRecognition.h"
#include "TVorlentApplication.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
constexpr int SampleCount = 10000;
constexpr size_t SignalLength = 4000;  // bytes
constexpr size_t Margin = 100;         // quiet values before the leader
// NEC at 48000 Hz, in PCM values: 9 ms leader, 4.5 ms pause, 560/560 and 560/1690 us bits.
constexpr size_t NecLeader = 432, NecPause = 216, NecMark = 27, NecZero = 27, NecOne = 81;

std::string ShippedProtocols() {
  std::ifstream file(std::string(VORLENT_DATA_DIR) + "/protocols.xml");
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A full NEC frame (address, its inverse, command, its inverse) with edges moved by up to
// one value, as a real receiver's are.
std::unique_ptr<TSample> NecSample(int Index) {
  const auto address = static_cast<uint8_t>(Index % 256);
  const auto command = static_cast<uint8_t>(Index / 256 % 256);
  const uint32_t bits = address | (255u - address) << 8 | command << 16 | (255u - command) << 24;
  std::vector<std::pair<uint8_t, size_t>> runs = {
      {Quiet, Margin}, {High, NecLeader}, {Quiet, NecPause}};
  for (int i = 0; i < 32; ++i) {
    const size_t jitter = static_cast<size_t>((Index + i) % 3);  // 0..2, around 1
    runs.push_back({High, NecMark - 1 + jitter});
    runs.push_back({Quiet, ((bits >> i) & 1 ? NecOne : NecZero) + 1 - jitter});
  }
  runs.push_back({High, NecMark});
  auto sample = std::make_unique<TSample>();
  sample->Signal.assign(SignalLength, Quiet);
  Put(sample->Signal, 0, runs);
  sample->Duration = 0.0675f;
  sample->Gap = 0.04f;
  sample->CaptureTime = 0.5 + Index * 0.1 / 86400;
  return sample;
}

// A window in a scratch folder with the shipped protocols and 10,000 packets saved there.
struct TLoadedRig {
  TLoadedRig() : Xml(ShippedProtocols()), Rig(Xml.c_str()) {
    TSignalProcessor& processor = *Rig.Gui->Processor;
    for (int i = 0; i < SampleCount; ++i) {
      std::unique_ptr<TSample> sample = NecSample(i);
      processor.ExtractPulses(*sample);
      processor.AddSample(std::move(sample));
    }
    Rig.Gui->Processor->SaveSamples(Base());
  }
  std::string Base() const { return (Rig.Dir / "bench").string(); }
  QString MapFile() const { return QString::fromStdString(Base() + ".map"); }

  std::string Xml;
  TWindowRig Rig;
};

bool Listed(const TMainWindow& Gui) {
  return Gui.SamplesGrid->RowCount() == SampleCount + 2 && Gui.SamplesGrid->Cell(1, 1) == "NEC" &&
         Gui.SamplesGrid->Cell(2, SampleCount) ==
             "address=15; address_inv=240; command=39; command_inv=216; ";
}

void SaveSamples(benchmark::State& State) {
  TLoadedRig loaded;
  for (auto _ : State) {
    loaded.Rig.Dialogs->Answers = {QString::fromStdString(loaded.Base())};
    loaded.Rig.Gui->SaveSamples->trigger();
  }
  if (!loaded.Rig.Dialogs->Errors.empty()) State.SkipWithError("save failed");
}
BENCHMARK(SaveSamples)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole command: clear, read, decode, rebuild the grid, show the last packet; with the
// window on screen (argument 1) until it has been painted.
void LoadSamples(benchmark::State& State) {
  TLoadedRig loaded;
  const bool shown = State.range(0) == 1;
  if (shown) loaded.Rig.Gui->show();
  for (auto _ : State) {
    loaded.Rig.Dialogs->Answers = {loaded.MapFile()};
    loaded.Rig.Gui->loadSamples->trigger();
    if (shown) TWindowRig::Pump();
  }
  if (!Listed(*loaded.Rig.Gui)) State.SkipWithError("not loaded and listed");
}
BENCHMARK(LoadSamples)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void LoadPartRead(benchmark::State& State) {
  TLoadedRig loaded;
  for (auto _ : State)
    benchmark::DoNotOptimize(
        loaded.Rig.Gui->Processor->ReadSamples(loaded.MapFile().toStdString()));
}
BENCHMARK(LoadPartRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void LoadPartDecode(benchmark::State& State) {
  TLoadedRig loaded;
  TMainWindow& gui = *loaded.Rig.Gui;
  for (auto _ : State) {
    for (auto& sample : gui.Processor->Samples) gui.Recognition->Decode(*sample);
  }
  if (gui.Processor->Samples.back()->Protocol->ProtocolName != "NEC")
    State.SkipWithError("not NEC");
}
BENCHMARK(LoadPartDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rebuilding a grid that already holds the list, and one that holds nothing yet.
void LoadPartGrid(benchmark::State& State) {
  TLoadedRig loaded;
  TMainWindow& gui = *loaded.Rig.Gui;
  for (auto& sample : gui.Processor->Samples) gui.Recognition->Decode(*sample);
  for (auto _ : State) {
    if (State.range(0) == 0) {
      State.PauseTiming();
      gui.PacketList->Clear();
      State.ResumeTiming();
    }
    gui.UpdateSamplesGrid();
  }
  if (!Listed(gui)) State.SkipWithError("not listed");
}
BENCHMARK(LoadPartGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
// From the menu command to the listed rows: a ten-minute recording (16-bit at 44.1 kHz,
// resampled) with a frame every 100 ms, four protocols in turn: 5,999 packets.
void ImportRecording(benchmark::State& State) {
  constexpr double Seconds = 600, PeriodMicros = 100000;
  const std::string xml = ShippedProtocols();
  TWindowRig rig(xml.c_str());
  TMainWindow& gui = *rig.Gui;
  TIrSynth synth;
  const std::vector<std::vector<TIrSynth::TRun>> frames = {
      TIrSynth::Nec(0x04, 0x08), TIrSynth::Sony12(0x15, 0x01), TIrSynth::Rc5(false, 5, 0x35),
      TIrSynth::Samsung32(7, 7, 2)};
  synth.Quiet(PeriodMicros / 2);
  for (size_t i = 0; synth.LengthSeconds() + 0.1 <= Seconds; ++i) {
    const double start = synth.LengthSeconds();
    synth.Frame(frames[i % frames.size()]);
    synth.Quiet(PeriodMicros - (synth.LengthSeconds() - start) * 1e6);
  }
  const std::string file = (rig.Dir / "ten-minutes.wav").string();
  synth.Write(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1);
  for (auto _ : State) {
    State.PauseTiming();
    gui.ClearSamplesClick();
    rig.Dialogs->Answers = {QString::fromStdString(file)};
    State.ResumeTiming();
    gui.ImportRecording->trigger();
    if (!rig.WaitForImport()) State.SkipWithError("import hangs");
  }
  const size_t packets = synth.FrameStarts.size();
  if (gui.Processor->Samples.size() != packets || gui.SamplesGrid->Cell(1, 4) != "Samsung32")
    State.SkipWithError("not imported");
  State.SetItemsProcessed(static_cast<int64_t>(State.iterations() * packets));
}
BENCHMARK(ImportRecording)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace
