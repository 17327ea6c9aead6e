// The Output menu: the device chosen and remembered, the selected packet played on a worker
// while the window's thread goes on, and the errors reported back on the window's thread.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "TCodeLibrary.h"
#include "TProtocolRecognition.h"
#include "TSendMenu.h"
#include "TSignalSource.h"
#include "TSoundOutput.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
constexpr auto Patience = std::chrono::seconds(10);

// Plays by holding on until released; keeps what it was given.
class THeldOutput : public TSoundOutput {
 public:
  std::vector<TCaptureDevice> OutputDevices() override {
    return {{0, "Card A", 48000, true}, {3, "USB dongle", 96000, false}};
  }
  std::string Play(const std::string& Device, unsigned Rate, const std::vector<int16_t>& Samples,
                   const std::atomic<bool>& Stop) override {
    std::unique_lock lock(Mutex);
    Released.wait_for(lock, Patience, [&] { return Free || Stop; });
    Free = false;
    PlayedDevice = Device;
    Played = {Rate, Samples};
    return Answer;
  }
  void Release() {
    {
      std::lock_guard lock(Mutex);
      Free = true;
    }
    Released.notify_all();
  }
  std::mutex Mutex;
  std::condition_variable Released;
  bool Free = false;
  std::string Answer, PlayedDevice;
  TCarrierRenderer::TPcm Played;
};

std::shared_ptr<const TCodeLibrary> Shipped() {
  TProtocolRecognition engine;
  engine.LoadProtocols(std::string(VORLENT_DATA_DIR) + "/protocols.xml");
  return std::make_shared<const TCodeLibrary>(engine);
}

std::vector<QString> Outputs(const TSendMenu& Menu) {
  std::vector<QString> texts;
  for (QAction* entry : Menu.Menu->actions())
    if (entry->isCheckable() && entry != Menu.MonoAction) texts.push_back(entry->text());
  return texts;
}

bool WaitUntil(const std::function<bool()>& Done) {
  const auto end = std::chrono::steady_clock::now() + Patience;
  while (!Done() && std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return Done();
}
}  // namespace

TEST(SendMenu, SendsTheSelectedPacketWithoutHoldingTheWindow) {
  UseScratchSettings();
  QMainWindow window;
  QAction* about = window.menuBar()->addAction("&About");
  auto output = std::make_shared<THeldOutput>();
  TSample nec;
  nec.Protocol = std::make_unique<TProtocol>();
  nec.Protocol->ProtocolName = "NEC";
  for (auto [name, value] :
       {std::pair{"address", 4}, {"address_inv", 251}, {"command", 8}, {"command_inv", 247}})
    nec.Protocol->AddField(name, static_cast<uint16_t>(value));
  std::vector<const TSample*> selected;
  std::vector<std::string> reports;
  const std::shared_ptr<const TCodeLibrary> library = Shipped();
  auto menu = std::make_unique<TSendMenu>(
      window.menuBar(), about,
      TSendMenu::THooks{[&] { return output; }, [&] { return selected; }, [&] { return library; },
                        [&](const std::string& Text) { reports.push_back(Text); }});
  EXPECT_EQ(window.menuBar()->actions().at(0)->menu(), menu->Menu);  // before About

  menu->Send();  // nothing selected
  ASSERT_EQ(reports.size(), 1u);
  menu->Refill();
  EXPECT_EQ(Outputs(*menu), (std::vector<QString>{"&Default output", "Card A", "USB dongle"}));
  menu->Choose("USB dongle");
  EXPECT_EQ(TSendMenu::Settings()->value(TSendMenu::SettingsKey).toString(), "USB dongle");

  selected = {&nec};
  const auto before = std::chrono::steady_clock::now();
  menu->Send();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
  EXPECT_TRUE(menu->Sending());
  menu->Send();  // a second one while the first plays is refused
  EXPECT_EQ(reports.size(), 2u);
  output->Release();
  ASSERT_TRUE(WaitUntil([&] { return !menu->Sending(); }));
  EXPECT_EQ(output->PlayedDevice, "USB dongle");
  const TCarrierRenderer::TPcm expected = TCarrierRenderer::Render(
      TSignalSource(library).FromFields("NEC", {{"address", 4}, {"command", 8}}), {});
  ASSERT_GE(output->Played.Samples.size(), expected.Samples.size());
  EXPECT_TRUE(
      std::equal(expected.Samples.begin(), expected.Samples.end(), output->Played.Samples.begin()));

  output->Answer = "the card is gone";  // reported on the window's thread
  menu->Send();
  output->Release();
  ASSERT_TRUE(WaitUntil([&] { return reports.size() == 3; }));
  EXPECT_EQ(reports.back(), "the card is gone");

  menu.reset();  // the next start remembers the output
  TSendMenu next(window.menuBar(), about,
                 {[&] { return output; }, [&] { return selected; }, [&] { return library; },
                  [&](const std::string& Text) { reports.push_back(Text); }});
  next.Refill();
  for (QAction* entry : next.Menu->actions())
    if (entry->isCheckable() && entry != next.MonoAction) {
      EXPECT_EQ(entry->isChecked(), entry->text() == "USB dongle") << entry->text().toStdString();
    }
}
