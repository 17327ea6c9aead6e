// vorlent-decode on a Flipper .ir file of 1,000 signals (parsed ones of several protocols and
// raw NEC frames), decoded against the shipped library and written as a table.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TDecodeCommand.h"

namespace {
constexpr int Signals = 1000;
constexpr int NecMark = 564, NecZero = 564, NecOne = 1692, NecLead = 9024, NecLeadSpace = 4512;

struct TParsed {
  const char* Protocol;
  unsigned AddressMask, CommandMask;
};
const TParsed Parsed[] = {{"NEC", 0xFF, 0xFF},
                          {"NECext", 0xFFFF, 0xFFFF},
                          {"Samsung32", 0xFF, 0xFF},
                          {"SIRC", 0x1F, 0x7F},
                          {"RC5", 0x1F, 0x3F},
                          {"RC6", 0xFF, 0xFF},
                          {"Kaseikyo", 0x3FFFFFF, 0x3FF},
                          {"Pioneer", 0xFF, 0xFF}};

std::string RawNec(unsigned Address, unsigned Command) {
  std::string data = std::to_string(NecLead) + " " + std::to_string(NecLeadSpace);
  const unsigned bytes[] = {Address, ~Address & 0xFF, Command, ~Command & 0xFF};
  for (unsigned byte : bytes)
    for (int bit = 0; bit < 8; ++bit)
      data +=
          " " + std::to_string(NecMark) + " " + std::to_string(byte >> bit & 1 ? NecOne : NecZero);
  return data + " " + std::to_string(NecMark);
}

std::string RemoteFile() {
  const std::string path = "/tmp/vorlent-bench-" + std::to_string(getpid()) + ".ir";
  std::ofstream out(path);
  out << "Filetype: IR signals file\nVersion: 1\n";
  for (int i = 0; i < Signals; ++i) {
    char block[160];
    if (i % 2 == 0) {
      const TParsed& p = Parsed[(i / 2) % std::size(Parsed)];
      const unsigned address = (i * 2654435761u) & p.AddressMask, command = i & p.CommandMask;
      std::snprintf(block, sizeof block,
                    "#\nname: key%d\ntype: parsed\nprotocol: %s\naddress: %02X %02X %02X %02X\n"
                    "command: %02X %02X 00 00\n",
                    i, p.Protocol, address & 0xFF, address >> 8 & 0xFF, address >> 16 & 0xFF,
                    address >> 24, command & 0xFF, command >> 8);
      out << block;
    } else {
      out << "#\nname: raw" << i << "\ntype: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata: "
          << RawNec(i & 0xFF, (i * 7) & 0xFF) << "\n";
    }
  }
  return path;
}

void ImportFlipperFile(benchmark::State& State) {
  const std::string path = RemoteFile();
  const std::string library = std::string(VORLENT_DATA_DIR) + "/protocols.xml";
  const char* argv[] = {"vorlent-decode", "--protocols", library.c_str(), path.c_str()};
  size_t lines = 0;
  for (auto _ : State) {
    std::ostringstream out, err;
    TDecodeCommand command(out, err, false);
    if (command.Run(4, argv) != TDecodeCommand::ExitOk) State.SkipWithError(err.str().c_str());
    const std::string table = out.str();
    lines = static_cast<size_t>(std::count(table.begin(), table.end(), '\n'));
  }
  State.counters["packets"] = static_cast<double>(lines - 1);
  std::remove(path.c_str());
}
BENCHMARK(ImportFlipperFile)->Unit(benchmark::kMillisecond);
}  // namespace
