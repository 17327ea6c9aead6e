#include "Measure.h"

void TTally::Add(const TTally& other) {
  Total += other.Total;
  Right += other.Right;
  Unknown += other.Unknown;
  Wrong.insert(Wrong.end(), other.Wrong.begin(), other.Wrong.end());
}

TValues RandomValues(const TProtocolFacts& Facts, TTestRandom& Random) {
  for (;;) {
    TValues values;
    for (const TInput& input : Facts.Inputs)
      values[input.Name] = input.High >= input.Low
                               ? static_cast<uint32_t>(Random.Int(input.Low, input.High))
                               : Random.Bits(input.Bits);
    if (!Facts.Receivable || Facts.Receivable(values)) return values;
  }
}

TTally Measure(TDecodeRig& Rig, const TProtocolFacts& Facts, int Source,
               const TRenderConditions& Conditions, int Count, uint64_t Seed) {
  TTestRandom random(Seed);
  std::vector<TCode> codes;
  for (int i = 0; i < Count; ++i)
    codes.push_back(Facts.Encode(RandomValues(Facts, random), Source));
  const std::vector<TDecoded> decoded = Rig.Run(RenderStream(codes, Conditions, random));
  TTally tally;
  tally.Total = Count;
  if (decoded.size() != codes.size()) {
    tally.Wrong.push_back(Facts.Entry + ": " + std::to_string(codes.size()) + " frames gave " +
                          std::to_string(decoded.size()) + " packets");
    return tally;
  }
  for (size_t i = 0; i < codes.size(); ++i) {
    const TDecoded& d = decoded[i];
    if (d.Name == codes[i].Entry && d.Fields == codes[i].Fields) {
      ++tally.Right;
    } else if (d.Name == "unknown") {
      ++tally.Unknown;
    } else {
      tally.Wrong.push_back(codes[i].Entry + " {" + FieldText(codes[i].Fields) + "} as " + d.Name +
                            " {" + FieldText(d.Fields) + "}");
    }
  }
  return tally;
}
