#include "TInputMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "TSettingsStore.h"
#include "TSoundSystem.h"

namespace {
const char* const MenuCaption = "&Input";
}  // namespace

std::unique_ptr<QSettings> TInputMenu::Settings() {
  return TSettingsStore::File();
}

TInputMenu::TInputMenu(QMenuBar* Bar, QAction* Before, TSoundSystem& SoundSystem,
                       std::function<void()> Changed)
    : QObject(Bar), Menu(new QMenu(MenuCaption, Bar)), Sound(SoundSystem), OnChanged(Changed) {
  Menu->setObjectName("InputMenu");
  Bar->insertMenu(Before, Menu);
  Sound.SelectInput(Settings()->value(SettingsKey).toString().toStdString());
  connect(Menu, &QMenu::aboutToShow, this, [this] { Refill(); });
  Fill({}, false);  // the inputs are looked for when the menu opens: that takes a moment
}

void TInputMenu::Refill() {
  Fill(Sound.InputDevices(), true);
}

void TInputMenu::Fill(const std::vector<TCaptureDevice>& Inputs, bool Looked) {
  Menu->clear();
  for (QActionGroup* old : findChildren<QActionGroup*>()) delete old;
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  group->addAction(AddEntry(DefaultCaption, ""));
  Menu->addSeparator();
  const std::string chosen = Sound.SelectedInputName();
  bool present = chosen.empty();
  for (const TCaptureDevice& device : Inputs) {
    group->addAction(AddEntry(QString::fromStdString(device.Name), device.Name));
    present = present || device.Name == chosen;
  }
  if (!present) group->addAction(AddEntry(QString::fromStdString(chosen) + MissingSuffix, chosen));
  if (Looked && Inputs.empty() && Sound.GetNumDevs() == 0)
    Menu->addAction(NoDeviceCaption)->setEnabled(false);
}

QAction* TInputMenu::AddEntry(const QString& Caption, const std::string& Name) {
  QAction* entry = Menu->addAction(Caption);
  entry->setCheckable(true);
  entry->setChecked(Name == Sound.SelectedInputName());
  entry->setData(QString::fromStdString(Name));
  connect(entry, &QAction::triggered, this, [this, Name] { Choose(Name); });
  return entry;
}

void TInputMenu::Choose(const std::string& Name) {
  if (Name == Sound.SelectedInputName()) return;
  Sound.SelectInput(Name);
  std::unique_ptr<QSettings> settings = Settings();
  settings->setValue(SettingsKey, QString::fromStdString(Name));
  settings->sync();
  // The entries stay (one of them may be running this); only their checks change.
  for (QAction* entry : Menu->actions())
    if (entry->isCheckable()) entry->setChecked(entry->data().toString().toStdString() == Name);
  if (OnChanged) OnChanged();
}
