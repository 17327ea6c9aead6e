#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include "TMarkText.h"
#include "TSample.h"

TEST(MarkText, EqualTextsShareAHandleAndReadBackAsWritten) {
  const std::vector<std::string> texts = {
      "", "address", "bit0", "bit1", "Address", "a b", std::string(300, 'x'), "µs"};
  for (size_t i = 0; i < texts.size(); ++i) {
    const TMarkText mark(texts[i]);
    EXPECT_EQ(mark.str(), texts[i]);
    EXPECT_EQ(mark.empty(), texts[i].empty());
    EXPECT_EQ(mark, TMarkText(texts[i].c_str()));
    for (size_t j = 0; j < texts.size(); ++j)
      EXPECT_EQ(mark == TMarkText(texts[j]), i == j) << texts[i] << " / " << texts[j];
  }
  std::ostringstream out;
  out << TMarkText("stop");
  EXPECT_EQ(out.str(), "stop");
  EXPECT_EQ(TMarkText().str(), "");
}

TEST(MarkText, AMarkTakesFourBytes) {
  EXPECT_LE(sizeof(TSampleMark), 4u);  // a packet keeps dozens
  TSample sample;
  sample.AddMark(TSample::FieldRow, 748, "lead");
  EXPECT_EQ(sample.FieldMarks()[0].Text, "lead");
  EXPECT_EQ(sample.FieldMarks()[0].Position, 748);
}

TEST(MarkText, ThreadsThatKeepTheSameTextsAgreeOnTheirHandles) {
  constexpr int Threads = 4, Texts = 500;
  std::vector<std::vector<TMarkText>> seen(Threads);
  std::vector<std::thread> workers;
  for (int t = 0; t < Threads; ++t)
    workers.emplace_back([&seen, t] {
      for (int i = 0; i < Texts; ++i) seen[t].emplace_back("field" + std::to_string(i));
    });
  for (std::thread& worker : workers) worker.join();
  for (int i = 0; i < Texts; ++i) {
    for (int t = 1; t < Threads; ++t) EXPECT_EQ(seen[t][i], seen[0][i]);
    EXPECT_EQ(seen[Threads - 1][i].str(), "field" + std::to_string(i));
  }
}

TEST(MarkText, AFullTableLosesOnlyTheNewLabels) {
  const TMarkText kept("kept before");
  std::vector<TMarkText> marks;
  for (size_t i = 0; i < TMarkText::MostTexts; ++i) marks.emplace_back("t" + std::to_string(i));
  EXPECT_EQ(TMarkText("one too many").str(), "");
  EXPECT_EQ(kept.str(), "kept before");
  EXPECT_EQ(TMarkText("kept before"), kept);
  EXPECT_EQ(marks[10].str(), "t10");
}
