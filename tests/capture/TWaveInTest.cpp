#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TMessageQueue.h"
#include "TScriptedSoundSystem.h"
#include "TWaveIn.h"

namespace {
constexpr int Size = 65534;
using Op = TScriptedSoundSystem::Op;

// A TWaveIn over a scripted sound system, with every reported error collected.
struct Rig {
  explicit Rig(unsigned devices = 1, int buffers = 4) {
    auto sound = std::make_unique<TScriptedSoundSystem>();
    sound->DeviceCount = devices;
    Sound = sound.get();
    WaveIn = std::make_unique<TWaveIn>(&Queue, buffers, Size, std::move(sound));
    WaveIn->OnError = [this](const std::string& text) { Errors.push_back(text); };
  }
  std::vector<std::string> LogSince(size_t from) const {
    return {Sound->Log.begin() + static_cast<long>(from), Sound->Log.end()};
  }
  TMessageQueue Queue;
  TScriptedSoundSystem* Sound;
  std::unique_ptr<TWaveIn> WaveIn;
  std::vector<std::string> Errors;
};

using Lines = std::vector<std::string>;
}  // namespace

TEST(TWaveInConstruction, NoDeviceLeavesNotReadyAndShowsNothing) {
  Rig rig(0);
  EXPECT_FALSE(rig.WaveIn->Ready);
  EXPECT_EQ(rig.WaveIn->LastError, "No wave audio recording devices found");
  EXPECT_TRUE(rig.Errors.empty());
  EXPECT_EQ(rig.WaveIn->Headers[0], nullptr);
  EXPECT_FALSE(rig.WaveIn->Open());
  EXPECT_EQ(rig.Errors,
            (Lines{"Could not open the input device for recording: \r scripted error 6"}));
}

TEST(TWaveInConstruction, ADeviceThatAppearsLaterIsUsedByTheNextOpen) {
  Rig rig(0);
  rig.Sound->DeviceCount = 1;
  EXPECT_TRUE(rig.WaveIn->Open());
  EXPECT_TRUE(rig.WaveIn->Ready);
  EXPECT_TRUE(rig.WaveIn->Start());
  EXPECT_EQ(rig.Sound->QueuedCount(), 3u);
  EXPECT_TRUE(rig.Errors.empty());
}

TEST(TWaveInConstruction, FormatDefaultsAndHeadersPointAtBuffers) {
  Rig rig;
  ASSERT_TRUE(rig.WaveIn->Ready);
  const TWaveFormatEx& f = *rig.WaveIn->Format;
  EXPECT_EQ(f.wFormatTag, 1);
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.nAvgBytesPerSec, 44100u);
  EXPECT_EQ(f.nBlockAlign, 1);
  EXPECT_EQ(f.wBitsPerSample, 8);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(rig.WaveIn->Headers[i]->lpData, rig.WaveIn->Buffers[i].get());
  EXPECT_EQ(rig.WaveIn->Headers[4], nullptr);
}

TEST(TWaveInRing, OpenQueuesNothingStartQueuesThreeOfFour) {
  Rig rig;
  size_t mark = rig.Sound->Log.size();
  ASSERT_TRUE(rig.WaveIn->Open());
  EXPECT_EQ(rig.LogSince(mark),
            (Lines{"open", "prepare 0", "prepare 1", "prepare 2", "prepare 3"}));
  EXPECT_EQ(rig.WaveIn->BufferLength, Size);
  mark = rig.Sound->Log.size();
  ASSERT_TRUE(rig.WaveIn->Start());
  EXPECT_EQ(rig.LogSince(mark), (Lines{"start", "add 0", "add 1", "add 2"}));
  EXPECT_TRUE(rig.WaveIn->Recording);
  EXPECT_EQ(rig.WaveIn->NextBuffer, 3);
}

TEST(TWaveInRing, EachNotificationQueuesTheNextBufferAndTheIndexWraps) {
  Rig rig;
  rig.WaveIn->Open();
  rig.WaveIn->Start();
  std::vector<uint8_t> data(Size, 128);
  rig.Sound->Feed(data);
  auto message = rig.Queue.Take();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->Msg, MM_WIM_DATA);
  EXPECT_EQ(message->LParam, rig.WaveIn->Headers[0].get());
  size_t mark = rig.Sound->Log.size();
  ASSERT_TRUE(rig.WaveIn->AddNextBuffer());
  EXPECT_EQ(rig.LogSince(mark), (Lines{"add 3"}));
  EXPECT_EQ(rig.WaveIn->NextBuffer, 0);
  rig.Sound->Feed(data);
  rig.WaveIn->AddNextBuffer();
  EXPECT_EQ(rig.Sound->Log.back(), "add 0");
  EXPECT_EQ(rig.WaveIn->NextBuffer, 1);
}

// The target sees Recording already false when Stop hands back the queued buffers.
TEST(TWaveInStop, HandsBackQueuedBuffersAfterRecordingIsFalse) {
  struct Watcher : TWaveNotifyTarget {
    void Post(const TMessage&) override { SeenRecording.push_back(WaveIn->Recording); }
    TWaveIn* WaveIn = nullptr;
    std::vector<bool> SeenRecording;
  } watcher;
  auto sound = std::make_unique<TScriptedSoundSystem>();
  TScriptedSoundSystem* script = sound.get();
  TWaveIn waveIn(&watcher, 4, Size, std::move(sound));
  watcher.WaveIn = &waveIn;
  waveIn.Open();
  waveIn.Start();
  waveIn.Stop();
  EXPECT_EQ(watcher.SeenRecording, (std::vector<bool>{false, false, false}));
  EXPECT_FALSE(waveIn.DeviceOpen);
  size_t mark = script->Log.size();
  EXPECT_TRUE(waveIn.AddNextBuffer());
  EXPECT_EQ(script->Log.size(), mark) << "nothing is queued after Stop";
}

TEST(TWaveInStop, StopAndCloseDoNothingOnAClosedDevice) {
  Rig rig;
  size_t mark = rig.Sound->Log.size();
  rig.WaveIn->Stop();
  rig.WaveIn->CloseDevice();
  EXPECT_EQ(rig.Sound->Log.size(), mark);
  EXPECT_TRUE(rig.Errors.empty());
}

TEST(TWaveInStop, FailedResetAndCloseAreReportedAndLeaveTheDeviceClosed) {
  Rig rig;
  rig.WaveIn->Open();
  rig.WaveIn->Start();
  rig.Sound->Fail(Op::Reset, 11);
  rig.Sound->Fail(Op::Close, 12);
  rig.WaveIn->Stop();
  EXPECT_FALSE(rig.WaveIn->DeviceOpen);
  EXPECT_FALSE(rig.WaveIn->Recording);
  // The reset failed, so the three buffers are still queued: unprepare says so for them.
  EXPECT_EQ(rig.Errors, (Lines{"Error in waveInReset",
                               "Error in waveInUnprepareHeader Buffer still being propcessed",
                               "Error in waveInUnprepareHeader Buffer still being propcessed",
                               "Error in waveInUnprepareHeader Buffer still being propcessed",
                               "Error closing input device"}));
}

struct UnprepareCase {
  TMMResult Code;
  const char* Text;
};
class TWaveInUnprepare : public ::testing::TestWithParam<UnprepareCase> {};

TEST_P(TWaveInUnprepare, ReasonTextsAsTheyStand) {
  Rig rig(1, 1);
  rig.WaveIn->Open();
  rig.Sound->Fail(Op::Unprepare, GetParam().Code);
  rig.WaveIn->CloseDevice();
  EXPECT_EQ(rig.Errors, (Lines{GetParam().Text}));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, TWaveInUnprepare,
    ::testing::Values(
        UnprepareCase{5, "Error in waveInUnprepareHeader  Specified device handle is invalid "},
        UnprepareCase{6, "Error in waveInUnprepareHeader \tNo device driver is present"},
        UnprepareCase{7, "Error in waveInUnprepareHeader  Unable to allocate or lock memory"},
        UnprepareCase{33, "Error in waveInUnprepareHeader Buffer still being propcessed"},
        UnprepareCase{99, "Error in waveInUnprepareHeader Uknown Error"}));

TEST(TWaveInFailures, OpenFailureReportsTheSoundSystemText) {
  Rig rig;
  rig.Sound->Fail(Op::Open, 4);
  EXPECT_FALSE(rig.WaveIn->Open());
  EXPECT_FALSE(rig.WaveIn->DeviceOpen);
  EXPECT_EQ(rig.Errors,
            (Lines{"Could not open the input device for recording: \r scripted error 4"}));
}

TEST(TWaveInFailures, PrepareFailureClosesThenReports) {
  Rig rig;
  rig.Sound->Fail(Op::Prepare, 11);
  size_t mark = rig.Sound->Log.size();
  EXPECT_FALSE(rig.WaveIn->Open());
  EXPECT_FALSE(rig.WaveIn->DeviceOpen);
  EXPECT_EQ(rig.LogSince(mark), (Lines{"open", "prepare 0", "unprepare 0", "unprepare 1",
                                       "unprepare 2", "unprepare 3", "close"}));
  EXPECT_EQ(rig.Errors, (Lines{"Error preparing header for recording: \rscripted error 11"}));
}

TEST(TWaveInFailures, StartFailureClosesAndStaysNotRecording) {
  Rig rig;
  rig.WaveIn->Open();
  rig.Sound->Fail(Op::Start, 8);
  EXPECT_FALSE(rig.WaveIn->Start());
  EXPECT_FALSE(rig.WaveIn->Recording);
  EXPECT_FALSE(rig.WaveIn->DeviceOpen);
  EXPECT_EQ(rig.Errors, (Lines{"Error starting wavein, close attempted: scripted error 8"}));
}

TEST(TWaveInFailures, StartOnAClosedDeviceFails) {
  Rig rig;
  EXPECT_FALSE(rig.WaveIn->Start());
  EXPECT_FALSE(rig.WaveIn->Recording);
  ASSERT_EQ(rig.Errors.size(), 1u);
  EXPECT_EQ(rig.Errors[0].rfind("Error starting wavein, close attempted: ", 0), 0u);
}

TEST(TWaveInFailures, QueueFailureDuringStartStopsThenReportsBothTexts) {
  Rig rig;
  rig.WaveIn->Open();
  rig.Sound->Fail(Op::AddBuffer, 13);
  EXPECT_FALSE(rig.WaveIn->Start());
  EXPECT_FALSE(rig.WaveIn->Recording);
  EXPECT_FALSE(rig.WaveIn->DeviceOpen);
  EXPECT_EQ(rig.Errors, (Lines{"Error adding buffer, recording stopped: scripted error 13",
                               "AddNextBuffer failed from open"}));
  // Everything survives: the next start works.
  rig.Sound->Fail(Op::AddBuffer, 0);
  EXPECT_TRUE(rig.WaveIn->Open());
  EXPECT_TRUE(rig.WaveIn->Start());
}

TEST(TWaveInLifecycle, OpenWhileRecordingStopsAndClosesFirst) {
  Rig rig;
  rig.WaveIn->Open();
  rig.WaveIn->Start();
  size_t mark = rig.Sound->Log.size();
  ASSERT_TRUE(rig.WaveIn->Open());
  auto log = rig.LogSince(mark);
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "reset");
  EXPECT_NE(std::find(log.begin(), log.end(), "close"), log.end());
  EXPECT_EQ(rig.WaveIn->NextBuffer, 0);
  EXPECT_TRUE(rig.WaveIn->DeviceOpen);
  EXPECT_FALSE(rig.WaveIn->Recording);
}

// A sound system that outlives nothing: it records into a log the test keeps, and it
// writes into every still-queued buffer when it dies, as a device thread would.
class OutlivedSound : public TScriptedSoundSystem {
 public:
  explicit OutlivedSound(std::vector<std::string>* Entries) : Kept(Entries) {}
  TMMResult Reset(TDeviceHandle h) override {
    Kept->push_back("reset");
    return TScriptedSoundSystem::Reset(h);
  }
  TMMResult Close(TDeviceHandle h) override {
    Kept->push_back("close");
    return TScriptedSoundSystem::Close(h);
  }

 private:
  std::vector<std::string>* Kept;
};

TEST(TWaveInLifecycle, DestructorStopsAndClosesARunningDevice) {
  std::vector<std::string> kept;
  TMessageQueue queue;
  {
    TWaveIn waveIn(&queue, 4, Size, std::make_unique<OutlivedSound>(&kept));
    ASSERT_TRUE(waveIn.Open());
    ASSERT_TRUE(waveIn.Start());
  }
  EXPECT_EQ(kept, (Lines{"reset", "close"}));
}
