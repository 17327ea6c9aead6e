#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSettings>

#include "TInputMenu.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
std::vector<QString> Entries(const TInputMenu& Menu, bool CheckedOnly) {
  std::vector<QString> texts;
  for (QAction* entry : Menu.Menu->actions())
    if (entry->isCheckable() && (!CheckedOnly || entry->isChecked()))
      texts.push_back(entry->text());
  return texts;
}

QAction* Entry(const TInputMenu& Menu, const QString& Text) {
  for (QAction* entry : Menu.Menu->actions())
    if (entry->text() == Text) return entry;
  return nullptr;
}
}  // namespace

TEST(InputMenu, ChoosesAnInputRemembersItAndRecordsFromIt) {
  UseScratchSettings();
  ASSERT_EQ(TInputMenu::Settings()->fileName().toStdString().find(fs::temp_directory_path()), 0u);
  {
    TWindowRig rig;
    TInputMenu& menu = *rig.Gui->InputMenu;
    rig.Sound->Inputs = {{0, "Built-in Audio", 44100, true}, {2, "USB Audio", 48000, false}};
    menu.Refill();
    EXPECT_EQ(Entries(menu, false),
              (std::vector<QString>{"&Default input", "Built-in Audio", "USB Audio"}));
    EXPECT_EQ(Entries(menu, true), (std::vector<QString>{"&Default input"}));
    rig.Record();
    EXPECT_EQ(rig.Sound->OpenedInput, "");

    Entry(menu, "USB Audio")->trigger();  // while recording: goes on from the USB input
    EXPECT_EQ(rig.Sound->OpenedInput, "USB Audio");
    EXPECT_TRUE(rig.Gui->Processor->WaveIn->Recording);
    EXPECT_EQ(Entries(menu, true), (std::vector<QString>{"USB Audio"}));
    EXPECT_EQ(TInputMenu::Settings()->value(TInputMenu::SettingsKey).toString(), "USB Audio");
    EXPECT_TRUE(rig.Dialogs->Messages.empty());
  }
  TWindowRig next;  // the next start: the remembered input, unplugged meanwhile
  TInputMenu& menu = *next.Gui->InputMenu;
  EXPECT_EQ(next.Sound->SelectedInputName(), "USB Audio");
  menu.Refill();
  EXPECT_EQ(Entries(menu, true), (std::vector<QString>{"USB Audio (not present)"}));
  next.Record();
  EXPECT_FALSE(next.Gui->Processor->WaveIn->Recording);
  ASSERT_FALSE(next.Dialogs->Messages.empty());
  EXPECT_NE(next.Dialogs->Messages.front().toStdString().find("scripted error 2"),
            std::string::npos);

  Entry(menu, "&Default input")->trigger();
  EXPECT_EQ(TInputMenu::Settings()->value(TInputMenu::SettingsKey).toString(), "");
  next.Record();
  EXPECT_TRUE(next.Gui->Processor->WaveIn->Recording);
}
