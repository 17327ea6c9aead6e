#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "DecodeRig.h"
#include "LibraryPath.h"

namespace {
// Reference vectors of the protocols added to the library: each is a protocol's first frame at
// its nominal timing (mark first, spaces negative, ending with the lead-out), the ending silence
// it needs, and the entry and fields it decodes to. They are rendered as audio and go the
// program's whole way: the signal processor cuts them, the library decodes them.
const std::string VectorsFile =
    std::string(VORLENT_SOURCE_DIR) + "/tests/protocols/data/protocol-vectors.jsonl";

struct TVector {
  std::string Protocol;
  std::string Entry;
  std::map<std::string, uint32_t> Fields;
  std::vector<double> TimingUs;
  double EndSilenceMillis = 0;
  bool Subset = false;  // Fields are some of the entry's (the rest are check values)
};

// The reference gives no entry (or one that slices the frame into chips) for the protocols
// whose symbols stand for 2 bits; the library has entries for them, with the IRP's parameters
// as fields (D address, S subdevice, F command, T toggle, X or E extended).
const std::map<std::string, std::string> SymbolEntries{
    {"Nokia32", "Nokia32"}, {"Nokia12", "Nokia12"},
    {"Nokia", "Nokia"},     {"Sejin-1-38", "Sejin-1-38"},
    {"DirecTV", "DirecTV"}, {"Grundig16-30", "Grundig16"},
    {"XMP-1", "XMP-1"}};
const std::map<std::string, std::string> ParameterFields{{"D", "address"},  {"S", "subdevice"},
                                                         {"F", "command"},  {"T", "toggle"},
                                                         {"X", "extended"}, {"E", "extended"}};
// Where the library names a parameter's bits otherwise: the reference's Sejin IRP sends F as the
// second byte and S as the third, but real remotes send the key in the third byte and 0 in the
// second (D, S, F, as the remotes' database reads them), so the library reads them that way.
const std::map<std::string, std::map<std::string, std::string>> RenamedParameters{
    {"Sejin-1-38", {{"F", "subdevice"}, {"S", "command"}}}};
// XMP-1's halves, 13.8 ms apart, arrive as two packets at the vector's ending silence; its
// entry joins them (LongSpaceVectorsDecodeWholeAtTheDefaultSilence). It sends the subdevice as
// two nibbles.
const std::set<std::string> NotInTheLibrary{"XMP-1"};

std::vector<TVector> ReadVectors() {
  std::ifstream in(VectorsFile);
  EXPECT_TRUE(in) << VectorsFile;
  std::vector<TVector> vectors;
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json v = nlohmann::json::parse(line);
    TVector vector{v.at("protocol"),
                   v.at("expected_entry").is_null() ? "" : v.at("expected_entry"),
                   {},
                   v.at("timing_us"),
                   v.at("ending_silence_ms")};
    for (const auto& [name, value] : v.at("expected_fields").items()) {
      if (value.is_number_unsigned()) vector.Fields[name] = value;
    }
    const auto symbols = SymbolEntries.find(vector.Protocol);
    if (symbols != SymbolEntries.end()) {
      vector.Entry = symbols->second;
      vector.Fields.clear();
      vector.Subset = true;
      const auto renamed = RenamedParameters.find(vector.Protocol);
      for (const auto& [parameter, value] : v.at("params").items()) {
        const bool own = renamed != RenamedParameters.end() && renamed->second.count(parameter);
        vector.Fields[own ? renamed->second.at(parameter) : ParameterFields.at(parameter)] = value;
      }
    }
    if (vector.Protocol == "XMP-1") {
      vector.Fields["subdevice_hi"] = vector.Fields["subdevice"] >> 4;
      vector.Fields["subdevice_lo"] = vector.Fields["subdevice"] & 0xF;
      vector.Fields.erase("subdevice");
    }
    vectors.push_back(std::move(vector));
  }
  return vectors;
}

// Every packet of Codes, cut at EndSilenceMillis, joined where an entry asks for a longer
// silence when Join.
std::vector<TDecoded> DecodeCodes(const std::vector<TCode>& Codes, double EndSilenceMillis,
                                  bool Join) {
  TDecodeRig rig(ShippedLibrary());
  TDecodeSettings settings;
  settings.EndSilenceMillis = EndSilenceMillis;
  rig.Configure(settings);
  rig.JoinSilences = Join;
  TTestRandom random(1);
  return rig.Run(RenderStream(Codes, CleanConditions(), random));
}

TCode CodeOf(const TVector& Vector) {
  TCode code;
  for (double us : Vector.TimingUs) code.Frame.Add(us);
  return code;
}

TDecoded DecodeVector(const TVector& Vector) {
  const std::vector<TDecoded> decoded =
      DecodeCodes({CodeOf(Vector)}, Vector.EndSilenceMillis, false);
  EXPECT_EQ(decoded.size(), 1u);
  return decoded.empty() ? TDecoded{} : decoded.front();
}

// Whether a space inside the frame is as long as the default ending silence.
bool CutByDefault(const TVector& Vector) {
  const double cutUs = TDecodeSettings::DefaultEndSilenceMillis * 1000;
  const auto& us = Vector.TimingUs;
  return std::any_of(us.begin(), us.end() - 1, [cutUs](double d) { return -d >= cutUs; });
}

void ExpectFields(const TVector& Vector, const TDecoded& Decoded) {
  EXPECT_EQ(Decoded.Name, Vector.Entry);
  std::map<std::string, uint32_t> fields(Decoded.Fields.begin(), Decoded.Fields.end());
  if (Vector.Subset) {
    for (const auto& [name, value] : Vector.Fields)
      EXPECT_EQ(fields[name], value) << name << " in " << FieldText(Decoded.Fields);
  } else {
    EXPECT_EQ(fields, Vector.Fields) << FieldText(Decoded.Fields);
  }
}
}  // namespace

TEST(AddedProtocols, EveryReferenceVectorDecodesToItsEntryAndFields) {
  const std::vector<TVector> vectors = ReadVectors();
  ASSERT_EQ(vectors.size(), 103u);
  size_t checked = 0;
  for (size_t i = 0; i < vectors.size(); ++i) {
    const TVector& vector = vectors[i];
    if (NotInTheLibrary.count(vector.Protocol)) continue;
    SCOPED_TRACE(vector.Protocol + " #" + std::to_string(i + 1));
    ++checked;
    ExpectFields(vector, DecodeVector(vector));
  }
  EXPECT_EQ(checked, 100u);
}

// The default ending silence cuts the frames with longer spaces into pieces; their entries ask
// for the silence they need (end-silence), and the pieces are read together again.
TEST(AddedProtocols, LongSpaceVectorsDecodeWholeAtTheDefaultSilence) {
  const double cut = TDecodeSettings::DefaultEndSilenceMillis;
  size_t checked = 0;
  for (const TVector& vector : ReadVectors()) {
    if (!CutByDefault(vector)) continue;
    SCOPED_TRACE(vector.Protocol + " " + FieldText({vector.Fields.begin(), vector.Fields.end()}));
    ++checked;
    const std::vector<TDecoded> joined = DecodeCodes({CodeOf(vector)}, cut, true);
    ASSERT_EQ(joined.size(), 1u);
    ExpectFields(vector, joined.front());
    for (const TDecoded& piece : DecodeCodes({CodeOf(vector)}, cut, false))
      EXPECT_NE(piece.Name, vector.Entry);
  }
  EXPECT_EQ(checked, 18u);
}

// Frames of entries that ask for no longer silence stay apart, however close they follow.
TEST(AddedProtocols, CloseFramesOfOtherEntriesStayApart) {
  for (const TVector& vector : ReadVectors()) {
    if (CutByDefault(vector)) continue;
    SCOPED_TRACE(vector.Protocol);
    TCode first = CodeOf(vector), second = CodeOf(vector);
    ASSERT_FALSE(first.Frame.Runs.back().Mark);
    first.Frame.Runs.back().Us = 6000;  // its lead-out: the next frame follows after 6 ms
    const std::vector<TDecoded> decoded =
        DecodeCodes({first, second}, TDecodeSettings::DefaultEndSilenceMillis, true);
    ASSERT_EQ(decoded.size(), 2u);
    for (const TDecoded& frame : decoded) ExpectFields(vector, frame);
  }
}

namespace {
// A Sejin frame as real remotes send it: chips of ChipUs (310 at the IRP's clock), marks
// MarkShiftUs long and spaces as much short; bytes D, S, F, then E and the checksum C (the
// nibbles of D, S and F and E added), each 2 bits a chip of four that is a mark.
TCode SejinCode(double ChipUs, double MarkShiftUs, uint32_t D, uint32_t S, uint32_t F) {
  const uint32_t c = ((D & 15) + (D >> 4) + (S & 15) + (S >> 4) + (F & 15) + (F >> 4)) & 15;
  std::string chips = "1110001";  // the lead-in: 3 units of mark, 3 of space, symbol 3
  const uint32_t bytes[] = {D, S, F, c};
  for (const uint32_t byte : bytes)
    for (int shift = 6; shift >= 0; shift -= 2) {
      std::string symbol = "0000";
      symbol[byte >> shift & 3] = '1';
      chips += symbol;
    }
  TCode code;
  for (size_t i = 0; i < chips.size();) {
    const size_t end = std::min(chips.find(chips[i] == '1' ? '0' : '1', i), chips.size());
    const double us = static_cast<double>(end - i) * ChipUs;
    code.Frame.Add(chips[i] == '1' ? us + MarkShiftUs : -(us - MarkShiftUs));
    i = end;
  }
  code.Frame.Add(-25000);
  return code;
}

struct TRealRemote {
  const char* What;
  TCode Code;
  TFields Fields;
};
}  // namespace

// Real remotes of the added protocols whose timing lies off the reference's: each decodes to
// its entry with the fields a user of that remote expects.
TEST(AddedProtocols, RealRemotesTimingsDecode) {
  const std::vector<TRealRemote> remotes{
      // The key is the third byte, 0 the second (the remotes' database: D, S, F).
      {"Sejin, 4 % slow, marks +50 us",
       SejinCode(323, 50, 16, 0, 89),
       {{"address", 16}, {"subdevice", 0}, {"command", 89}, {"extended", 0}, {"checksum", 15}}},
      {"Sejin, 2 % slow, marks +110 us",
       SejinCode(316, 110, 88, 0, 126),
       {{"address", 88}, {"subdevice", 0}, {"command", 126}, {"extended", 0}, {"checksum", 2}}},
  };
  for (const TRealRemote& remote : remotes) {
    SCOPED_TRACE(remote.What);
    const std::vector<TDecoded> decoded =
        DecodeCodes({remote.Code}, TDecodeSettings::DefaultEndSilenceMillis, true);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].Name, "Sejin-1-38");
    EXPECT_EQ(decoded[0].Fields, remote.Fields) << FieldText(decoded[0].Fields);
  }
}
