#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "DecodeRig.h"
#include "LibraryPath.h"
#include "TReceiverGrid.h"

namespace {
struct TTempDir {
  TTempDir() { std::filesystem::create_directories(Path); }
  ~TTempDir() { std::filesystem::remove_all(Path); }
  std::string Path =
      std::filesystem::temp_directory_path() / ("vorlent-grid-" + std::to_string(getpid()));
};

const TGridCondition& ConditionNamed(const std::string& Name) {
  for (const TGridCondition& c : GridConditions())
    if (c.Name == Name) return c;
  throw std::out_of_range(Name);
}

// The least share of codes decoded right under each condition with these few codes (today's
// figures with the second pass and, for weak signals, the automatic level, less a margin;
// receiver_grid gives the full table), and no false decode anywhere.
struct TFloor {
  std::string Condition;
  double MinRight;
};
constexpr int CodesPerProtocol = 3;
void PrintTo(const TFloor& Floor, std::ostream* Out) {
  *Out << Floor.Condition;
}

class ReceiverGridFloor : public testing::TestWithParam<TFloor> {};
}  // namespace

TEST_P(ReceiverGridFloor, EveryProtocolDecodesAtLeastTodaysShareAndNothingFalse) {
  TTempDir dir;
  TReceiverGrid grid(ShippedLibrary(), dir.Path);
  const TGridCondition& condition = ConditionNamed(GetParam().Condition);
  TCellCount column;
  uint64_t seed = 40;
  for (const TProtocolFacts& facts : ProtocolCatalogue()) {
    TCellCount cell = grid.Measure(facts, condition, CodesPerProtocol, ++seed);
    if (!CountsIn(facts, condition)) cell.Total = cell.Right = 0;
    column.Add(cell);
  }
  std::cout << condition.Name << ": " << column.Right << "/" << column.Total << " right\n";
  EXPECT_GE(column.Right, GetParam().MinRight * column.Total);
  EXPECT_EQ(column.FalseExact + column.FalseLikely, 0) << column.Wrong.front();
}

INSTANTIATE_TEST_SUITE_P(Conditions, ReceiverGridFloor,
                         testing::Values(TFloor{"clean", 1.0}, TFloor{"soft edges", 1.0},
                                         TFloor{"typical", 0.97}, TFloor{"inverted", 0.97},
                                         TFloor{"44.1 kHz", 0.97}, TFloor{"weak", 0.95},
                                         TFloor{"long-space 10 ms", 1.0},
                                         TFloor{"real clean", 0.95}, TFloor{"real typical", 0.95}),
                         [](const testing::TestParamInfo<TFloor>& Param) {
                           std::string name;
                           for (char c : Param.param.Condition)
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

// Published codes of the protocols with spaces over 5 ms: whole, and right, with a 10 ms ending
// silence; with 5 ms cut into pieces that decode as nothing.
TEST(ReceiverGrid, LongSpaceCodesDecodeOnlyWithATenMillisecondEndingSilence) {
  struct TVector {
    std::string Entry;
    TValues Inputs;
    std::string Fields;
  };
  const std::vector<TVector> vectors{
      {"Samsung36",
       {{"address", 0x20}, {"subdevice", 0x20}, {"extended", 1}, {"command", 0x3C}},
       "address=0x20; subdevice=0x20; extended=0x1; command=0x3C; command_inv=0xC3; "},
      {"Dish Network",
       {{"command", 0x1C}, {"subdevice", 3}, {"address", 1}},
       "command_inv=0x23; subdevice_inv=0x1C; address_inv=0x1E; "},
      {"Velleman",
       {{"toggle", 0}, {"address", 5}, {"command", 0x21}},
       "toggle=0x0; address=0x5; command=0x21; "},
      {"RECS80",
       {{"toggle", 1}, {"address", 3}, {"command", 0x0C}},
       "toggle=0x1; address=0x3; command=0xC; "},
      {"RC5X",
       {{"address", 0x1C}, {"command", 0x20}, {"data", 0x2B}, {"toggle", 0}},
       "field=0x1; toggle=0x0; address=0x1C; command=0x20; data=0x2B; "}};
  TTempDir dir;
  TReceiverGrid grid(ShippedLibrary(), dir.Path);
  std::vector<TCode> codes;
  for (const TVector& v : vectors) {
    codes.push_back(FactsOf(v.Entry).Encode(v.Inputs, 0));
    EXPECT_EQ(FieldText(codes.back().Fields), v.Fields) << v.Entry;
  }
  const TRendered whole = grid.Render(codes, ConditionNamed("long-space 10 ms"), 5);
  const TCellCount right = TReceiverGrid::Score(whole, grid.RecognitionFor(TGridSettings{}));
  EXPECT_EQ(right.Right, right.Total);
  const TRendered cut = grid.Render(codes, ConditionNamed("clean"), 5);
  const TCellCount none = TReceiverGrid::Score(cut, grid.RecognitionFor(TGridSettings{}));
  EXPECT_EQ(none.Right, 0);
  EXPECT_EQ(none.FalseExact, 0) << none.Wrong.front();
  EXPECT_GT(cut.Packets.size(), whole.Packets.size());
}

TEST(ReceiverGrid, AMissingLibraryIsNamedWithTheReason) {
  TTempDir dir;
  try {
    TReceiverGrid grid(dir.Path + "/none.xml", dir.Path);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(dir.Path + "/none.xml: Error loading"),
              std::string::npos)
        << error.what();
  }
}

TEST(ReceiverGrid, TheGenericPassReadsNoNoiseBurstOrRandomPulseTrain) {
  TTempDir dir;
  TReceiverGrid grid(ShippedLibrary(), dir.Path);
  const TCellCount noise = grid.MeasureNoise(400, 11);
  EXPECT_EQ(noise.Generic, 0) << noise.Wrong.front();
  EXPECT_GT(noise.GenericCut, 0);  // frames cut short are regular frames, only shorter
}
