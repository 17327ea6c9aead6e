// Codes whose marks a receiver lengthens (and the spaces after them shortens by as much) read
// back as sent where symbols lie closer together than the decoder's window is wide; fields
// wider than 32 bits are sent whole and refused when the value is wider still.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "LibraryPath.h"
#include "LoopBack.h"
#include "TSendError.h"

namespace fs = std::filesystem;

namespace {
constexpr double LeadSilenceSeconds = 0.002;
constexpr double MicrosPerSecond = 1e6;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "vorlent-symbols-XXXXXX").string();
    Path = mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(Path); }
  fs::path Path;
};

// Signal's first frame as a receiver outputs it, each mark StretchUs longer, recorded.
std::vector<uint8_t> Received(const TIrSignal& Signal, double StretchUs) {
  std::vector<TInterval> marks;
  double at = LeadSilenceSeconds;
  for (size_t i = 0; i < Signal.Frame.size(); at += Signal.Frame[i++] / MicrosPerSecond)
    if (i % 2 == 0) marks.push_back({at, at + (Signal.Frame[i] + StretchUs) / MicrosPerSecond});
  return TLedReceiver::Record(marks, at + TLoopBack::EndSilenceMillis / 1e3);
}

struct TStretchCase {
  const char* Label;
  const char* Protocol;
  TSignalSource::TFieldValues Fields;
  double StretchUs;
};

class StretchedMarks : public testing::TestWithParam<TStretchCase> {};
}  // namespace

// XMP-1's spaces are 136 us apart and Nokia's 167 us, in windows of 110 and 95 us: a space
// shortened by the mark before it fits its own symbol and the one below; the nearest one (by
// the symbol's whole length, which the stretch leaves alone) is the symbol sent. Sejin's spaces,
// shortened into a neighbour's, are read from a stretched start; short frames (a repeat frame's
// three runs, Jerrold's eleven) take a stretch as long frames do.
TEST_P(StretchedMarks, ReadAsSent) {
  const TStretchCase& c = GetParam();
  TempFolder folder;
  TLoopBack loop(ShippedLibrary(), ShippedLibrary(), folder.Path.string());
  const std::vector<TDecoded> decoded =
      loop.Decode(Received(loop.Source().FromFields(c.Protocol, c.Fields), c.StretchUs));
  ASSERT_EQ(decoded.size(), 1u);
  EXPECT_EQ(decoded[0].Name, c.Protocol);
  EXPECT_EQ(FieldText(decoded[0].Fields), FieldText(TFields(c.Fields.begin(), c.Fields.end())));
}

const TSignalSource::TFieldValues XmpFields = {
    {"subdevice_hi", 0x7}, {"checksum_1", 0x1},     {"subdevice_lo", 0x5},
    {"address", 0xE9},     {"subdevice_hi_2", 0x7}, {"checksum_2", 0x1},
    {"toggle", 0x9},       {"subdevice_lo_2", 0xA}, {"command", 0x16}};
const TSignalSource::TFieldValues XmpHighFields = {
    {"subdevice_hi", 0xF}, {"checksum_1", 0xD},     {"subdevice_lo", 0x3},
    {"address", 0x5B},     {"subdevice_hi_2", 0xF}, {"checksum_2", 0xD},
    {"toggle", 0x1},       {"subdevice_lo_2", 0x3}, {"command", 0x77}};

INSTANTIATE_TEST_SUITE_P(
    Receivers, StretchedMarks,
    testing::Values(
        TStretchCase{"xmp60", "XMP-1", XmpFields, 60},
        TStretchCase{"xmp90", "XMP-1", XmpHighFields, 90},
        TStretchCase{"xmp110", "XMP-1", XmpFields, 110},
        TStretchCase{"xmp140", "XMP-1", XmpHighFields, 140},
        TStretchCase{
            "nokia100", "Nokia", {{"address", 0x1E}, {"subdevice", 0xD2}, {"command", 0x93}}, 100},
        TStretchCase{
            "nokia140", "Nokia", {{"address", 0x4B}, {"subdevice", 0xE1}, {"command", 0x39}}, 140},
        TStretchCase{"sejin150",
                     "Sejin-1-38",
                     {{"address", 0x93},
                      {"subdevice", 0x6},
                      {"command", 0xEC},
                      {"extended", 0xC},
                      {"checksum", 0xB}},
                     150},
        TStretchCase{"necrepeat170", "NEC repeat", {}, 170},
        TStretchCase{"jerrold160", "Jerrold", {{"command", 0x19}}, 160}),
    [](const auto& Info) { return std::string(Info.param.Label); });

// A field of 48 bits: every bit is sent (one above the 32nd changes the frame, and the bits
// below it come back), a value of 49 bits is refused naming the field and its width.
TEST(WideFields, AreSentWholeAndRefusedWhenWider) {
  TempFolder folder;
  const fs::path library = folder.Path / "wide.xml";
  std::ofstream(library) << R"(<?xml version="1.0" encoding="UTF-8"?>
<protocols>
  <protocol name="Wide48" carrier="38000">
    <bitset>
      <bit value="0">#560_560</bit>
      <bit value="1">#560_1690</bit>
    </bitset>
    <packet>
      <delimiter name="lead">#9000_4500</delimiter>
      <data name="serial" length="48" bitorder="LSB"/>
      <delimiter name="stop">#560</delimiter>
      <delimiter name="end">_4000</delimiter>
    </packet>
  </protocol>
</protocols>
)";
  TLoopBack loop(library.string(), library.string(), folder.Path.string());
  constexpr uint64_t Serial = 0x8421'3579'BDF1;
  const TIrSignal sent = loop.Source().FromFields("Wide48", {{"serial", Serial}});
  const TIrSignal top = loop.Source().FromFields("Wide48", {{"serial", Serial ^ (1ULL << 47)}});
  EXPECT_NE(sent.Frame, top.Frame);
  const std::vector<TDecoded> decoded = loop.Decode(Received(sent, 0));
  ASSERT_EQ(decoded.size(), 1u);
  EXPECT_EQ(decoded[0].Name, "Wide48");
  ASSERT_EQ(decoded[0].Fields.size(), 1u);
  EXPECT_EQ(decoded[0].Fields[0].second, static_cast<uint32_t>(Serial));
  try {
    loop.Source().FromFields("Wide48", {{"serial", 1ULL << 48}});
    ADD_FAILURE() << "a 49-bit value was sent";
  } catch (const TSendError& e) {
    EXPECT_NE(std::string(e.what()).find("serial=281474976710656 is wider than its 48 bits"),
              std::string::npos)
        << e.what();
  }
}
