#include <gtest/gtest.h>

#include "TSignalProcessor.h"

namespace {
std::vector<uint16_t> PulsesOf(std::vector<uint8_t> signal) {
  TSignalProcessor processor;
  TSample sample;
  sample.Signal = std::move(signal);
  processor.ExtractPulses(sample);
  return sample.Pulses;
}

std::vector<uint8_t> Runs(std::initializer_list<std::pair<int, uint8_t>> runs) {
  std::vector<uint8_t> out;
  for (auto [count, value] : runs) out.insert(out.end(), count, value);
  return out;
}
}  // namespace

TEST(ExtractPulses, RunLengthsAddUpToTheLastIndex) {
  EXPECT_EQ(PulsesOf({128}), (std::vector<uint16_t>{0}));
  EXPECT_EQ(PulsesOf({200}), (std::vector<uint16_t>{0, 0}));
  EXPECT_EQ(PulsesOf(Runs({{120, 128}, {50, 200}, {240, 128}})),
            (std::vector<uint16_t>{120, 50, 239}));
  EXPECT_EQ(PulsesOf({128, 142, 143, 142}), (std::vector<uint16_t>{2, 1, 0}));
}

TEST(ExtractPulses, EmptySignalGivesNoRuns) {
  EXPECT_TRUE(PulsesOf({}).empty());
}

TEST(ExtractPulses, LongestSignalStaysInSixteenBits) {
  auto pulses = PulsesOf(Runs({{100, 128}, {65435, 200}}));
  EXPECT_EQ(pulses, (std::vector<uint16_t>{100, 65434}));
}

TEST(GetDataText, SummaryOfFields) {
  TProtocol protocol;
  EXPECT_EQ(protocol.GetDataText(), "");
  protocol.AddField("a", 0);
  EXPECT_EQ(protocol.GetDataText(), "a=0; ");
  TProtocol two;
  two.AddField("address", 5);
  two.AddField("command", 12);
  EXPECT_EQ(two.GetDataText(), "address=5; command=12; ");
  TProtocol max;
  max.AddField("v", 65535);
  EXPECT_EQ(max.GetDataText(), "v=65535; ");
}

TEST(AddField, KeepsAtMost256Fields) {
  TProtocol protocol;
  for (int i = 0; i < 300; ++i) {
    std::string name = "f";
    name += std::to_string(i);
    protocol.AddField(name, static_cast<uint16_t>(i));
  }
  ASSERT_EQ(protocol.Fields.size(), 256u);
  EXPECT_EQ(protocol.Fields[0].Name, "f0");
  EXPECT_EQ(protocol.Fields[255].Value, 255u);
}

TEST(AddMark, OnlyRowsZeroAndOne) {
  TSample sample;
  sample.AddMark(0, 3, "bit0");
  sample.AddMark(1, 7, "address");
  sample.AddMark(2, 9, "ignored");
  ASSERT_EQ(sample.BitMarks().size(), 1u);
  EXPECT_EQ(sample.BitMarks()[0].Position, 3);
  ASSERT_EQ(sample.FieldMarks().size(), 1u);
  EXPECT_EQ(sample.FieldMarks()[0].Text, "address");
}
