#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
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
};

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
    vectors.push_back(std::move(vector));
  }
  return vectors;
}

bool Expressible(const TVector& Vector) {
  return !Vector.Entry.empty() && Vector.Entry.find("(chips)") == std::string::npos;
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
  for (size_t i = 0; i < vectors.size(); ++i) {
    const TVector& vector = vectors[i];
    if (!Expressible(vector)) continue;
    SCOPED_TRACE(vector.Protocol + " #" + std::to_string(i + 1));
    const TDecoded decoded = DecodeVector(vector);
    EXPECT_EQ(decoded.Name, vector.Entry);
    std::map<std::string, uint32_t> fields(decoded.Fields.begin(), decoded.Fields.end());
    EXPECT_EQ(fields, vector.Fields) << FieldText(decoded.Fields);
  }
}
