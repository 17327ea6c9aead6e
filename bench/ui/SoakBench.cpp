// Soak: three hours of sound recorded through the real path (ALSA's file plugin as the
// default capture device, PortAudio, the window) as fast as the window takes it. The recording
// (518 MB, written to the temporary folder and removed after) holds an NEC packet every 8192
// values (171 ms), so the window keeps 63,000 packets. Per hour of sound: the time the window
// spends per buffer, and what memory grows by per kept packet. Its own main: ALSA reads its
// configuration once, before PortAudio starts.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QLocale>
#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "AlsaFileDevice.h"
#include "TRecordButton.h"
#include "TGridView.h"
#include "TVorlentApplication.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
constexpr size_t Period = 8192;   // values from one packet to the next
constexpr size_t PacketAt = 240;  // quiet values before the packet in each period
constexpr int Hours = 3;
constexpr double SecondsPerHour = 3600;
constexpr int BuffersPerHour = static_cast<int>(SecondsPerHour * 48000 / BufferSize + 1);
constexpr qint64 PatiencePerHourMs = 20 * 60 * 1000;

fs::path Scratch;

// The recording the capture device plays: three hours and a few buffers of periods.
void WriteInput(const fs::path& File) {
  std::vector<uint8_t> period(Period, Quiet);
  Put(period, PacketAt, NecRuns(0x04, 0x08));
  const size_t periods = (Hours * BuffersPerHour + 4) * BufferSize / Period + 1;
  std::ofstream out(File, std::ios::binary);
  for (size_t i = 0; i < periods; ++i)
    out.write(reinterpret_cast<const char*>(period.data()), static_cast<std::streamsize>(Period));
}

// CPU time of the calling thread (the window's), in milliseconds: what the window spends,
// whatever else the machine runs meanwhile.
double ThreadMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

size_t ResidentBytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

void SoakThreeHours(benchmark::State& State) {
  for (auto _ : State) {
    fs::current_path(Scratch);
    auto dialogs = std::make_unique<TFakeDialogs>();
    TFakeDialogs* shown = dialogs.get();
    TMainWindow gui(std::move(dialogs));  // the sound card through PortAudio: the file plugin
    gui.show();
    // One row per packet, the grid's most: folded, the packets of one held key share a row.
    gui.FoldRepeats->setChecked(false);
    gui.RecordButton->click();
    if (!shown->Messages.empty()) return State.SkipWithError("recording did not start");
    std::array<double, Hours> msPerBuffer{}, cpuMsPerBuffer{};
    std::array<size_t, Hours + 1> bytes{}, packets{};
    bytes[0] = ResidentBytes();
    for (int hour = 0; hour < Hours; ++hour) {
      QElapsedTimer timer;
      timer.start();
      const double cpuStart = ThreadMilliseconds();
      const int until = BuffersPerHour * (hour + 1);
      while (gui.Processor->BuffersProcessed < until && timer.elapsed() < PatiencePerHourMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      if (gui.Processor->BuffersProcessed < until) return State.SkipWithError("capture stalled");
      msPerBuffer[hour] = static_cast<double>(timer.nsecsElapsed()) / 1e6 / BuffersPerHour;
      cpuMsPerBuffer[hour] = (ThreadMilliseconds() - cpuStart) / BuffersPerHour;
      bytes[hour + 1] = ResidentBytes();
      packets[hour + 1] = gui.Processor->Samples.size();
    }
    gui.close();
    const int last = static_cast<int>(packets[Hours]);
    if (gui.SamplesGrid->Cell(1, last) != "NEC" || gui.SamplesGrid->RowCount() != last + 2)
      State.SkipWithError("packets not decoded or not listed one a row");
    for (int hour = 0; hour < Hours; ++hour) {
      State.counters["ms_per_buffer_h" + std::to_string(hour + 1)] = msPerBuffer[hour];
      State.counters["window_cpu_ms_per_buffer_h" + std::to_string(hour + 1)] =
          cpuMsPerBuffer[hour];
    }
    State.counters["packets"] = static_cast<double>(packets[Hours]);
    State.counters["bytes_per_packet_h1_h3"] = static_cast<double>(bytes[Hours] - bytes[1]) /
                                               static_cast<double>(packets[Hours] - packets[1]);
    State.counters["rss_mb_end"] = static_cast<double>(bytes[Hours]) / 1e6;
  }
}
BENCHMARK(SoakThreeHours)->Iterations(1)->Unit(benchmark::kSecond);
}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string pattern = (fs::temp_directory_path() / "vorlent-soak-XXXXXX").string();
  Scratch = mkdtemp(pattern.data());
  WriteInput(Scratch / "input.raw");
  std::ofstream(Scratch / "protocols.xml") << ProtocolsXml;
  UseAlsaFileDevice(Scratch, Scratch / "input.raw");  // before ALSA or PortAudio start
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  TVorlentApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::current_path(fs::temp_directory_path());
  std::error_code ignored;
  fs::remove_all(Scratch, ignored);
  return 0;
}
