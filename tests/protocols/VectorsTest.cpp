#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DecodeRig.h"
#include "LibraryPath.h"

namespace {
// Published test vectors: a code of a protocol, the timing source it is built on, and the
// entry and fields it must decode to.
struct TVector {
  std::string Facts;
  int Source;
  TValues Inputs;
  std::string Entry;
  std::string Fields;
};

const std::vector<TVector> Vectors{
    {"NEC",
     1,
     {{"address", 0x04}, {"address_inv", 0xFB}, {"command", 0x08}},
     "NEC",
     "address=0x4; address_inv=0xFB; command=0x8; command_inv=0xF7; "},
    {"NEC",
     1,
     {{"address", 0x04}, {"address_inv", 0x12}, {"command", 0x08}},
     "NEC",
     "address=0x4; address_inv=0x12; command=0x8; command_inv=0xF7; "},
    {"NEC repeat", 1, {}, "NEC repeat", ""},
    {"NEC42",
     0,
     {{"address", 0x1A5}, {"command", 0x3C}},
     "NEC42",
     "address=0x1A5; address_inv=0x1E5A; command=0x3C; command_inv=0xC3; "},
    {"NEC42 repeat", 0, {}, "NEC42 repeat", ""},
    {"Apple",
     0,
     {{"command", 0x02}, {"pair_id", 0x5A}},
     "Apple",
     "parity=0x0; command=0x2; pair_id=0x5A; "},
    {"Pioneer",
     0,
     {{"address", 0xA5}, {"command", 0x1C}},
     "Pioneer",
     "address=0xA5; address_inv=0x5A; command=0x1C; command_inv=0xE3; "},
    {"Kathrein",
     0,
     {{"address", 5}, {"command", 0x1B}},
     "Kathrein",
     "address=0x5; address_inv=0xA; command=0x1B; command_inv=0xE4; "},
    {"Kathrein repeat", 0, {{"command", 0x1B}}, "Kathrein repeat", "command=0x1B; "},
    {"JVC", 1, {{"address", 0x03}, {"command", 0x17}}, "JVC", "address=0x3; command=0x17; "},
    {"JVC (no lead-in)",
     1,
     {{"address", 0x03}, {"command", 0x17}},
     "JVC (no lead-in)",
     "address=0x3; command=0x17; "},
    {"LG28",
     0,
     {{"address", 0x88}, {"command", 0x0A0F}},
     "LG28",
     "address=0x88; command=0xA0F; checksum=0x9; "},
    {"Samsung32",
     1,
     {{"address", 7}, {"subdevice", 7}, {"command", 2}},
     "Samsung32",
     "address=0x7; subdevice=0x7; command=0x2; command_inv=0xFD; "},
    {"Samsung20",
     0,
     {{"address", 0x11}, {"subdevice", 5}, {"command", 0x42}},
     "Samsung20",
     "address=0x11; subdevice=0x5; command=0x42; "},
    {"Sony12", 0, {{"command", 0x15}, {"address", 1}}, "Sony12", "command=0x15; address=0x1; "},
    {"Sony15", 0, {{"command", 0x15}, {"address", 0x97}}, "Sony15", "command=0x15; address=0x97; "},
    {"Sony20",
     0,
     {{"command", 0x15}, {"address", 0x1A}, {"subdevice", 0xE7}},
     "Sony20",
     "command=0x15; address=0x1A; subdevice=0xE7; "},
    {"RC5",
     0,
     {{"address", 5}, {"command", 0x35}, {"toggle", 0}},
     "RC5",
     "field=0x1; toggle=0x0; address=0x5; command=0x35; "},
    {"RC5",
     0,
     {{"address", 5}, {"command", 0x45}, {"toggle", 1}},
     "RC5",
     "field=0x0; toggle=0x1; address=0x5; command=0x5; "},
    {"RC5X",
     0,
     {{"address", 0x1D}, {"command", 0x4A}, {"data", 0x2B}, {"toggle", 1}},
     "RC5X",
     "field=0x0; toggle=0x1; address=0x1D; command=0xA; data=0x2B; "},
    {"RC6-0-16 T0",
     0,
     {{"address", 0x1E}, {"command", 0x0C}},
     "RC6-0-16 T0",
     "address=0x1E; command=0xC; "},
    {"RC6-0-16 T1",
     0,
     {{"address", 0x1E}, {"command", 0x0C}},
     "RC6-0-16 T1",
     "address=0x1E; command=0xC; "},
    {"MCE",
     0,
     {{"oem2", 0x0F}, {"toggle", 1}, {"address", 4}, {"command", 0x0C}},
     "MCE",
     "oem1=0x80; oem2=0xF; toggle=0x1; address=0x4; command=0xC; "},
    {"RC6-6-20",
     0,
     {{"address", 0xD1}, {"subdevice", 3}, {"command", 0x5C}},
     "RC6-6-20",
     "address=0xD1; subdevice=0x3; command=0x5C; "},
    {"Panasonic",
     0,
     {{"address", 0x80}, {"subdevice", 0}, {"command", 0x3D}},
     "Panasonic",
     "address=0x80; subdevice=0x0; command=0x3D; checksum=0xBD; "},
    {"Denon-K",
     0,
     {{"address", 2}, {"subdevice", 1}, {"command", 0x0A5}},
     "Denon-K",
     "address=0x2; subdevice=0x1; command=0xA5; checksum=0x7B; "},
    {"JVC-48",
     0,
     {{"address", 0x15}, {"subdevice", 0}, {"command", 0x2E}},
     "JVC-48",
     "address=0x15; subdevice=0x0; command=0x2E; checksum=0x3B; "},
    {"Mitsubishi-K",
     0,
     {{"address", 0x47}, {"subdevice", 1}, {"command", 0x12}},
     "Mitsubishi-K",
     "address=0x47; subdevice=0x1; command=0x12; checksum=0xB; "},
    {"Fujitsu",
     0,
     {{"extended", 0}, {"address", 0x30}, {"subdevice", 0x30}, {"command", 0x21}},
     "Fujitsu",
     "extended=0x0; address=0x30; subdevice=0x30; command=0x21; "},
    {"Kaseikyo",
     0,
     {{"vendor", 0x3927}, {"address", 3}, {"subdevice", 0x44}, {"command", 0x51}, {"extended", 0}},
     "Kaseikyo",
     "vendor=0x3927; vendor_parity=0xF; address=0x3; subdevice=0x44; command=0x51; "
     "extended=0x0; checksum=0x7; "},
    {"Emerson",
     0,
     {{"address", 0x0B}, {"command", 0x24}},
     "Emerson",
     "address=0xB; command=0x24; address_inv=0x34; command_inv=0x1B; "},
    {"Sharp", 0, {{"address", 1}, {"command", 0x91}}, "Sharp", "address=0x1; command=0x91; "},
    {"Sharp (2nd frame)",
     0,
     {{"address", 1}, {"command", 0x91}},
     "Sharp (2nd frame)",
     "address=0x1; command_inv=0x6E; "},
    {"Denon", 0, {{"address", 2}, {"command", 0x4C}}, "Denon", "address=0x2; command=0x4C; "},
    {"Denon (2nd frame)",
     0,
     {{"address", 2}, {"command", 0x4C}},
     "Denon (2nd frame)",
     "address=0x2; command_inv=0xB3; "},
    {"Mitsubishi",
     0,
     {{"address", 0x47}, {"command", 0x1D}},
     "Mitsubishi",
     "address=0x47; command=0x1D; "},
    {"RCA",
     0,
     {{"address", 0xA}, {"command", 0x68}},
     "RCA",
     "address=0xA; command=0x68; address_inv=0x5; command_inv=0x97; "},
    {"Thomson",
     0,
     {{"address", 3}, {"toggle", 0}, {"command", 0x1D}},
     "Thomson",
     "address=0x3; toggle=0x0; command=0x1D; "},
    {"Bose", 0, {{"command", 0x07}}, "Bose", "command=0x7; command_inv=0xF8; "},
    {"NRC17",
     0,
     {{"command", 0x5C}, {"address", 6}, {"subcode", 1}},
     "NRC17",
     "command=0x5C; address=0x6; subcode=0x1; "},
    {"NRC17",
     0,
     {{"command", 0xFE}, {"address", 0xF}, {"subcode", 0xF}},
     "NRC17",
     "command=0xFE; address=0xF; subcode=0xF; "},
    {"Grundig", 0, {{"command", 0x0A3}}, "Grundig", "command=0xA3; "},
};

void ExpectVectors(const TRenderConditions& conditions, uint64_t seed) {
  TDecodeRig rig(ShippedLibrary());
  TTestRandom random(seed);
  std::vector<TCode> codes;
  for (const TVector& v : Vectors) codes.push_back(FactsOf(v.Facts).Encode(v.Inputs, v.Source));
  const std::vector<TDecoded> decoded = rig.Run(RenderStream(codes, conditions, random));
  ASSERT_EQ(decoded.size(), Vectors.size());
  for (size_t i = 0; i < Vectors.size(); ++i) {
    SCOPED_TRACE(Vectors[i].Facts + " #" + std::to_string(i + 1));
    EXPECT_EQ(codes[i].Entry, Vectors[i].Entry);
    EXPECT_EQ(FieldText(codes[i].Fields), Vectors[i].Fields);  // the encoder itself
    EXPECT_EQ(decoded[i].Name, Vectors[i].Entry);
    EXPECT_EQ(FieldText(decoded[i].Fields), Vectors[i].Fields);
  }
}
}  // namespace

TEST(PublishedVectors, DecodeFromCleanRenderings) {
  ExpectVectors(CleanConditions(), 1);
}

TEST(PublishedVectors, DecodeThroughSoftEdgesAndNoise) {
  for (uint64_t seed = 2; seed < 6; ++seed) ExpectVectors(EdgeConditions(), seed);
}
