#include <gtest/gtest.h>

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
    {"Nokia32", "Nokia32"},       {"Nokia12", "Nokia12"}, {"Nokia", "Nokia"},
    {"Sejin-1-38", "Sejin-1-38"}, {"DirecTV", "DirecTV"}, {"Grundig16-30", "Grundig16"}};
const std::map<std::string, std::string> ParameterFields{{"D", "address"},  {"S", "subdevice"},
                                                         {"F", "command"},  {"T", "toggle"},
                                                         {"X", "extended"}, {"E", "extended"}};
// XMP-1 needs its 13.8 ms mid-frame gap joined and splits its subdevice in two nibbles.
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
      for (const auto& [parameter, value] : v.at("params").items())
        vector.Fields[ParameterFields.at(parameter)] = value;
    }
    vectors.push_back(std::move(vector));
  }
  return vectors;
}

TDecoded DecodeVector(const TVector& Vector) {
  TDecodeRig rig(ShippedLibrary());
  TDecodeSettings settings;
  settings.EndSilenceMillis = Vector.EndSilenceMillis;
  rig.Configure(settings);
  TCode code;
  for (double us : Vector.TimingUs) code.Frame.Add(us);
  TTestRandom random(1);
  const std::vector<TDecoded> decoded = rig.Run(RenderStream({code}, CleanConditions(), random));
  EXPECT_EQ(decoded.size(), 1u);
  return decoded.empty() ? TDecoded{} : decoded.front();
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
    const TDecoded decoded = DecodeVector(vector);
    EXPECT_EQ(decoded.Name, vector.Entry);
    std::map<std::string, uint32_t> fields(decoded.Fields.begin(), decoded.Fields.end());
    if (vector.Subset) {
      for (const auto& [name, value] : vector.Fields)
        EXPECT_EQ(fields[name], value) << name << " in " << FieldText(decoded.Fields);
    } else {
      EXPECT_EQ(fields, vector.Fields) << FieldText(decoded.Fields);
    }
  }
  EXPECT_EQ(checked, 100u);
}
