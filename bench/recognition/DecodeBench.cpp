// Decode against a generated library of 40 definitions (NEC-like and RC5-like, each with its own
// lead-in): packets that the first, the last and none of them match.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TProtocolRecognition.h"

namespace {

constexpr int Definitions = 40;
constexpr int FirstLeadMicroseconds = 9000;
constexpr int LeadStepMicroseconds = 100;
constexpr int NecLeadSpace = 4500, NecMark = 560, NecOneSpace = 1690, NecZeroSpace = 560;
constexpr int Rc5Half = 889;
constexpr int TrailingMicroseconds = 5000;
constexpr uint16_t Rate = 48000;

int LeadOf(int Definition) {
  return FirstLeadMicroseconds - LeadStepMicroseconds * Definition;
}
bool IsBiPhase(int Definition) {
  return Definition % 2 == 1;
}
std::string NameOf(int Definition) {
  std::string name = "P";
  name += std::to_string(Definition);
  return name;
}

std::string Library() {
  std::string xml = "<protocols>\n";
  for (int i = 0; i < Definitions; ++i) {
    const std::string lead = std::to_string(LeadOf(i));
    xml += "<protocol name=\"" + NameOf(i) + "\">\n";
    xml += "  <description url=\"http://example.invalid/" + std::to_string(i) +
           "\">Generated</description>\n";
    if (IsBiPhase(i)) {
      xml += "  <bitset><bit value=\"1\">_889#889</bit><bit value=\"0\">#889_889</bit></bitset>\n";
      xml += "  <packet><delimiter name=\"lead\">#" + lead + "</delimiter>\n";
      xml += "    <data name=\"address\" length=\"5\" bitorder=\"MSB\"/>\n";
      xml += "    <data name=\"command\" length=\"6\" bitorder=\"MSB\"/></packet>\n";
    } else {
      xml += "  <bitset><bit value=\"1\">#560_1690</bit><bit value=\"0\">#560_560</bit></bitset>\n";
      xml += "  <packet><delimiter name=\"lead\">#" + lead + "_4500</delimiter>\n";
      xml += "    <data name=\"address\" length=\"8\" bitorder=\"LSB\"/>\n";
      xml += "    <data name=\"address_inv\" length=\"8\" bitorder=\"LSB\"/>\n";
      xml += "    <data name=\"command\" length=\"8\" bitorder=\"LSB\"/>\n";
      xml += "    <data name=\"command_inv\" length=\"8\" bitorder=\"LSB\"/>\n";
      xml += "    <delimiter name=\"stop\">#560</delimiter></packet>\n";
    }
    xml += "</protocol>\n";
  }
  return xml + "</protocols>\n";
}

// Levels and durations in microseconds, merged into runs of PCM samples (first run low).
class TRunBuilder {
 public:
  void Add(bool High, int Microseconds) {
    if (Micro_.empty() || High != LastHigh_) Micro_.push_back(0);
    Micro_.back() += Microseconds;
    LastHigh_ = High;
  }
  std::vector<uint16_t> Runs() const {
    std::vector<uint16_t> runs{0};  // no leading low run; the first level added is high
    for (int us : Micro_) runs.push_back(static_cast<uint16_t>(std::lround(us * Rate / 1e6)));
    return runs;
  }

 private:
  std::vector<int> Micro_;
  bool LastHigh_ = false;
};

std::vector<uint16_t> NecPacket(int Lead, unsigned Bits, int Count) {
  TRunBuilder packet;
  packet.Add(true, Lead);
  packet.Add(false, NecLeadSpace);
  for (int i = 0; i < Count; ++i) {
    packet.Add(true, NecMark);
    packet.Add(false, (Bits >> i) & 1 ? NecOneSpace : NecZeroSpace);
  }
  packet.Add(true, NecMark);
  packet.Add(false, TrailingMicroseconds);
  return packet.Runs();
}

std::vector<uint16_t> Rc5Packet(int Lead, unsigned Bits, int Count) {
  TRunBuilder packet;
  packet.Add(true, Lead);
  for (int i = Count - 1; i >= 0; --i) {
    const bool one = (Bits >> i) & 1;
    packet.Add(!one, Rc5Half);
    packet.Add(one, Rc5Half);
  }
  packet.Add(false, TrailingMicroseconds);
  return packet.Runs();
}

TProtocolRecognition& Engine() {
  static TProtocolRecognition* engine = [] {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vorlent_bench_" + std::to_string(getpid()) + ".xml");
    std::ofstream(path) << Library();
    auto* created = new TProtocolRecognition;
    created->SampleRate = Rate;
    created->SetTolerance(0.00005f);
    created->SetDecimalSeparator(".");
    created->OnReport = [](const std::string& Text) { std::fprintf(stderr, "%s\n", Text.c_str()); };
    created->LoadProtocols(path.string());
    std::filesystem::remove(path);
    return created;
  }();
  return *engine;
}

void DecodePacket(benchmark::State& State, std::vector<uint16_t> Runs, std::string Expected) {
  TProtocolRecognition& engine = Engine();
  TSample sample;
  sample.Pulses = std::move(Runs);
  for (auto _ : State) {
    engine.Decode(sample);
    benchmark::DoNotOptimize(sample.Protocol.get());
  }
  if (sample.Protocol->ProtocolName != Expected) {
    State.SkipWithError(("decoded as " + sample.Protocol->ProtocolName).c_str());
  }
  State.SetItemsProcessed(State.iterations());
}

const unsigned NecBits = 0xF708FB04u;  // address 4, command 8 with their complements

BENCHMARK_CAPTURE(DecodePacket, FirstMatches, NecPacket(LeadOf(0), NecBits, 32), NameOf(0));
BENCHMARK_CAPTURE(DecodePacket, LastMatches, Rc5Packet(LeadOf(Definitions - 1), 0x5A5, 11),
                  NameOf(Definitions - 1));
BENCHMARK_CAPTURE(DecodePacket, NoneMatchesAtLeadIn, NecPacket(3000, NecBits, 32), "unknown");
BENCHMARK_CAPTURE(DecodePacket, NoneMatchesLate, NecPacket(LeadOf(0), NecBits, 24), "unknown");

}  // namespace
