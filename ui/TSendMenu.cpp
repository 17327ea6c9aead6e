#include "TSendMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "TSendError.h"
#include "TSendJob.h"
#include "TSettingsStore.h"
#include "TSignalSource.h"
#include "TSoundOutput.h"

namespace {
const char* const MenuCaption = "&Output";
const char* const NothingSelected = "Select a packet to send.";
const char* const StillSending = "A send is still playing.";
const char* const MonoName = "mono";
constexpr double SilenceBetweenPackets = 0.1;  // seconds between the packets sent
}  // namespace

std::unique_ptr<QSettings> TSendMenu::Settings() {
  return TSettingsStore::File();
}

TSendMenu::TSendMenu(QMenuBar* Bar, QAction* Before, THooks HooksIn)
    : QObject(Bar), Menu(new QMenu(MenuCaption, Bar)), Hooks(std::move(HooksIn)) {
  Menu->setObjectName("OutputMenu");
  Bar->insertMenu(Before, Menu);
  Chosen = Settings()->value(SettingsKey).toString().toStdString();
  SendAction = new QAction(SendCaption, this);
  SendAction->setObjectName("SendAction");
  SendAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  connect(SendAction, &QAction::triggered, this, [this] { Send(); });
  MonoAction = new QAction(MonoCaption, this);
  MonoAction->setCheckable(true);
  MonoAction->setChecked(Settings()->value(ModeKey).toString() == MonoName);
  connect(MonoAction, &QAction::toggled, this, [](bool Mono) {
    std::unique_ptr<QSettings> settings = Settings();
    settings->setValue(ModeKey, Mono ? MonoName : "antiphase");
    settings->sync();
  });
  connect(Menu, &QMenu::aboutToShow, this, [this] { Refill(); });
  Fill({});  // the outputs are looked for when the menu opens
}

TSendMenu::~TSendMenu() = default;  // the worker stops and joins first

TSendJob& TSendMenu::Job() {
  if (!Output) Output = Hooks.MakeOutput();
  if (!Worker) Worker = std::make_unique<TSendJob>(Output);
  return *Worker;
}

bool TSendMenu::Sending() const {
  return Worker && Worker->Busy();
}

void TSendMenu::Refill() {
  if (!Output) Output = Hooks.MakeOutput();
  Fill(Output->OutputDevices());
}

void TSendMenu::Fill(const std::vector<TCaptureDevice>& Outputs) {
  Menu->clear();
  Menu->addAction(SendAction);
  Menu->addAction(MonoAction);
  Menu->addSeparator();
  for (QActionGroup* old : findChildren<QActionGroup*>()) delete old;
  auto* group = new QActionGroup(this);
  const auto add = [&](const QString& Caption, const std::string& Name) {
    QAction* entry = Menu->addAction(Caption);
    entry->setCheckable(true);
    entry->setChecked(Name == Chosen);
    entry->setData(QString::fromStdString(Name));
    connect(entry, &QAction::triggered, this, [this, Name] { Choose(Name); });
    group->addAction(entry);
  };
  add(DefaultCaption, "");
  bool present = Chosen.empty();
  for (const TCaptureDevice& device : Outputs) {
    add(QString::fromStdString(device.Name), device.Name);
    present = present || device.Name == Chosen;
  }
  if (!present) add(QString::fromStdString(Chosen) + " (not present)", Chosen);
}

void TSendMenu::Choose(const std::string& Name) {
  Chosen = Name;
  std::unique_ptr<QSettings> settings = Settings();
  settings->setValue(SettingsKey, QString::fromStdString(Name));
  settings->sync();
  for (QAction* entry : Menu->actions())
    if (entry->isCheckable() && entry != MonoAction)
      entry->setChecked(entry->data().toString().toStdString() == Name);
}

void TSendMenu::Send() {
  const std::vector<const TSample*> samples = Hooks.Selected();
  if (samples.empty()) return Hooks.Report(NothingSelected);
  if (Sending()) return Hooks.Report(StillSending);
  TCarrierRenderer::TOptions options;
  if (MonoAction->isChecked()) {
    options.Mode = TCarrierRenderer::TMode::Mono;
    options.Rate = TCarrierRenderer::DefaultMonoRate;
  }
  TCarrierRenderer::TPcm all;
  try {
    const TSignalSource source(Hooks.Library());
    for (const TSample* sample : samples) {
      const TCarrierRenderer::TPcm pcm =
          TCarrierRenderer::Render(source.FromSample(*sample), options);
      all.Rate = pcm.Rate;
      all.Samples.insert(all.Samples.end(), pcm.Samples.begin(), pcm.Samples.end());
      all.Samples.resize(all.Samples.size() +
                         2 * static_cast<size_t>(SilenceBetweenPackets * pcm.Rate));
    }
  } catch (const TSendError& e) {
    return Hooks.Report(e.what());
  }
  // The report goes back to the window's thread.
  Job().Start(std::move(all), Chosen, [this](const std::string& Problem) {
    if (Problem.empty()) return;
    QMetaObject::invokeMethod(
        this, [this, Problem] { Hooks.Report(Problem); }, Qt::QueuedConnection);
  });
}
