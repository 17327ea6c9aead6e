#include <gtest/gtest.h>

#include <QFile>
#include <functional>

#include "UiTestSupport.h"

using namespace ui_test;

namespace {
struct TDiscardCase {
  const char* Name;
  std::function<void(TWindowRig&)> Act;  // what would discard the packets
  bool Agree;                            // the user's answer
  size_t PacketsAfter;
};

class UnsavedPackets : public testing::TestWithParam<TDiscardCase> {};

// Packets recorded since the last save are not lost without a question; "Cancel" keeps them.
TEST_P(UnsavedPackets, AreDiscardedOnlyWhenTheUserAgrees) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}, {3, 4}});
  rig.Gui->Processor->SaveSamples((rig.Dir / "other").string());
  rig.Dialogs->ConfirmAnswer = GetParam().Agree;
  GetParam().Act(rig);
  ASSERT_EQ(rig.Dialogs->Questions.size(), 1u);
  EXPECT_TRUE(rig.Dialogs->Questions[0].contains("2 packet(s) that have not been saved"))
      << rig.Dialogs->Questions[0].toStdString();
  EXPECT_EQ(rig.Gui->Processor->Samples.size(), GetParam().PacketsAfter);
}

void Clear(TWindowRig& Rig) {
  Rig.Gui->ClearSamples->click();
}
void Load(TWindowRig& Rig) {
  Rig.Dialogs->Answers = {QString::fromStdString((Rig.Dir / "other.map").string())};
  Rig.Gui->loadSamples->trigger();
}
void Close(TWindowRig& Rig) {
  Rig.Gui->show();
  Rig.Gui->close();
  EXPECT_EQ(Rig.Gui->isVisible(), Rig.Dialogs->ConfirmAnswer == false);
}

INSTANTIATE_TEST_SUITE_P(Commands, UnsavedPackets,
                         testing::Values(TDiscardCase{"ClearKeeps", Clear, false, 2},
                                         TDiscardCase{"ClearDiscards", Clear, true, 0},
                                         TDiscardCase{"LoadKeeps", Load, false, 2},
                                         TDiscardCase{"LoadReplaces", Load, true, 2},
                                         TDiscardCase{"CloseKeeps", Close, false, 2}),
                         [](const auto& Case) { return std::string(Case.param.Name); });

// Saved packets go without a question; a save onto an existing pair asks first, and "Cancel"
// leaves the pair as it was.
TEST(UnsavedPackets, SavedOnesGoQuietlyAndAPairIsReplacedOnlyWhenAgreed) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}});
  const QString name = QString::fromStdString((rig.Dir / "set").string());
  rig.Dialogs->Answers = {name};
  rig.Gui->SaveSamples->trigger();
  EXPECT_TRUE(rig.Dialogs->Questions.empty());
  const qint64 size = QFile(name + ".dat").size();
  rig.RecordNec({{3, 4}});
  rig.Dialogs->ConfirmAnswer = false;
  rig.Dialogs->Answers = {name};
  rig.Gui->SaveSamples->trigger();
  ASSERT_EQ(rig.Dialogs->Questions.size(), 1u);
  EXPECT_EQ(rig.Dialogs->Questions[0], "set.map already exists. Replace the saved packets?");
  EXPECT_EQ(QFile(name + ".dat").size(), size);
  rig.Dialogs->ConfirmAnswer = true;
  rig.Dialogs->Answers = {name};
  rig.Gui->SaveSamples->trigger();
  EXPECT_GT(QFile(name + ".dat").size(), size);
  rig.Gui->ClearSamples->click();  // everything is saved: no question
  EXPECT_EQ(rig.Dialogs->Questions.size(), 2u);
  EXPECT_TRUE(rig.Gui->Processor->Samples.empty());
}
}  // namespace
