// A learned definition against a shipped one: NEC frames decoded by the library's NEC entry
// alone and by the definition learned from a few of them, and frames of a pulse-position remote
// of sixteen widths (4-bit symbols), of a run-width remote and of a run-length remote (runs of
// one to four units: two runs a 4-bit symbol) decoded by their learned definitions (a command
// they were learned from). Each library holds the one remote; the
// second and the generic pass are off.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "TProtocolLearner.h"
#include "TProtocolRecognition.h"
#include "TUserLibrary.h"

namespace {
constexpr uint16_t Rate = 48000;
constexpr double SamplesPerMicro = Rate / 1e6;
constexpr float ToleranceSeconds = 50e-6f;  // the decoder's default window

std::vector<uint16_t> Runs(const std::vector<double>& Micros) {
  std::vector<uint16_t> runs = {100};
  for (double us : Micros) runs.push_back(static_cast<uint16_t>(std::lround(us * SamplesPerMicro)));
  runs.push_back(480);  // 10 ms of closing silence
  return runs;
}

std::vector<uint16_t> Nec(unsigned Command) {
  std::vector<double> us = {9000, 4500};
  const uint32_t value = 0x04u | 0xFBu << 8 | (Command & 0xFF) << 16 | (~Command & 0xFF) << 24;
  for (int i = 0; i < 32; ++i) us.insert(us.end(), {560, (value >> i) & 1 ? 1690.0 : 560});
  us.push_back(560);
  return Runs(us);
}

// A fixed address of four symbols, then four of the command.
std::vector<uint16_t> Positions(unsigned Command) {
  std::vector<double> us = {2500, 1000};
  const uint32_t symbols = 0x2021u | (Command & 0xFFFF) << 16;
  for (int i = 0; i < 8; ++i) us.insert(us.end(), {300, 760.0 + 137 * ((symbols >> (4 * i)) & 15)});
  us.push_back(300);
  return Runs(us);
}

// Eight fixed bits, then twelve of the command and a last mark, every run a bit.
std::vector<uint16_t> RunWidths(unsigned Command) {
  std::vector<double> us = {3000, 3000};
  const uint32_t bits = 0x59u | (Command & 0xFFF) << 8;
  for (int i = 0; i < 21; ++i) us.push_back(((bits >> i) & 1 ? 2000.0 : 1000) - (i % 2) * 60);
  return Runs(us);
}

// Six fixed runs, a run of three units, then ten of the command (two bits a run: its units less
// one), every run whole units of 700 us, marks 60 us longer.
std::vector<uint16_t> RunLengths(unsigned Command) {
  std::vector<double> us;
  const std::vector<unsigned> fixed = {1, 1, 2, 1, 1, 2, 3};
  for (unsigned units : fixed) us.push_back(700.0 * units);
  for (int i = 0; i < 10; ++i) us.push_back(700.0 * (((Command >> (2 * i)) & 3) + 1));
  for (size_t i = 0; i < us.size(); ++i) us[i] += i % 2 ? -60 : 60;
  return Runs(us);
}

const std::string Scratch =
    (std::filesystem::temp_directory_path() / "vorlent_learned_bench").string();

// A library file holding the shipped library's entry Name alone.
std::string Shipped(const std::string& Name) {
  pugi::xml_document library, alone;
  library.load_file(VORLENT_DATA_DIR "/protocols.xml");
  pugi::xml_node protocols = alone.append_child("protocols");
  protocols.append_copy(library.child("protocols").find_child_by_attribute("name", Name.c_str()));
  const std::string file = Scratch + "/shipped.xml";
  alone.save_file(file.c_str());
  return file;
}

// A library file holding the definition learned from the packets of Make for Commands.
std::string Learned(std::vector<uint16_t> (*Make)(unsigned),
                    const std::vector<unsigned>& Commands) {
  std::vector<std::vector<uint16_t>> packets;
  for (unsigned command : Commands) packets.push_back(Make(command));
  const TProtocolLearner::TResult result = TProtocolLearner::Learn("Learned", packets, Rate, 50);
  const std::string file = Scratch + "/learned.xml";
  std::filesystem::remove(file);
  const std::string problem = TUserLibrary::Add(file, "", "Learned", result.Xml);
  if (!problem.empty() || !result.Problem.empty())
    std::fprintf(stderr, "%s%s\n", problem.c_str(), result.Problem.c_str());
  return file;
}

void Decode(benchmark::State& State, const std::string& Library,
            std::vector<uint16_t> (*Make)(unsigned), unsigned Command, const std::string& Name) {
  TProtocolRecognition engine;
  engine.SampleRate = Rate;
  engine.GenericPass = false;
  engine.SecondPass = false;
  engine.SetTolerance(ToleranceSeconds);
  engine.LoadProtocols(Library);
  TSample sample;
  sample.Pulses = Make(Command);
  engine.Decode(sample);
  if (!sample.Protocol || sample.Protocol->ProtocolName != Name) {
    State.SkipWithError("the frame is not decoded by the library's entry");
    return;
  }
  for (auto _ : State) {
    sample.Protocol.reset();
    engine.Decode(sample);
    benchmark::DoNotOptimize(sample.Protocol);
  }
}

void ShippedNec(benchmark::State& State) {
  std::filesystem::create_directories(Scratch);
  Decode(State, Shipped("NEC"), Nec, 0x5A, "NEC");
}
BENCHMARK(ShippedNec);

void LearnedNec(benchmark::State& State) {
  std::filesystem::create_directories(Scratch);
  Decode(State, Learned(Nec, {0x10, 0x11, 0x42, 0x80, 0xFE}), Nec, 0x5A, "Learned");
}
BENCHMARK(LearnedNec);

void LearnedPulsePosition(benchmark::State& State) {
  std::filesystem::create_directories(Scratch);
  Decode(State, Learned(Positions, {0x3210, 0x7654, 0xBA98, 0xFEDC, 0x1100, 0x31E2}), Positions,
         0x31E2, "Learned");
}
BENCHMARK(LearnedPulsePosition);

void LearnedRunWidth(benchmark::State& State) {
  std::filesystem::create_directories(Scratch);
  Decode(State, Learned(RunWidths, {0x0F0, 0x3C5, 0xA0A, 0x123, 0xFFF, 0x800}), RunWidths, 0x123,
         "Learned");
}
BENCHMARK(LearnedRunWidth);

void LearnedRunLength(benchmark::State& State) {
  std::filesystem::create_directories(Scratch);
  Decode(State, Learned(RunLengths, {0x12345, 0xFFFFF, 0x00000, 0xA5A5A, 0x3C3C3, 0x9E0F1}),
         RunLengths, 0x3C3C3, "Learned");
}
BENCHMARK(LearnedRunLength);
}  // namespace
