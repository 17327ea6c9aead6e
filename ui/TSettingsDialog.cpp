#include "TSettingsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const char* const Title = "Decoding settings";
const char* const ToleranceCaption = "Timing &tolerance:";
const char* const LevelCaption = "Trigger &level:";
const char* const AutomaticCaption = "&Automatic (for weak signals)";
const char* const EndSilenceCaption = "&Ending silence:";
const char* const SecondPassCaption = "&Second, tolerant pass for packets left unknown";
const char* const GenericCaption = "&Generic decoding of packets still unknown (bits as hex)";
const char* const Hint =
    "A packet starts at a value of the trigger level or more (the line rests at 128) and ends "
    "after the ending silence; 10 ms lets protocols with long spaces arrive whole. Each "
    "duration is matched within the tolerance. The defaults are %1 µs, level %2, %3 ms and "
    "the second pass and generic decoding on.";
constexpr int ToleranceDecimals = 1, SilenceDecimals = 1;
constexpr double SilenceStep = 0.5;  // ms
constexpr int HintWidth = 360;       // pixels
}  // namespace

TSettingsDialog::TSettingsDialog(QWidget* Owner, const TDecodeSettings& Settings)
    : QDialog(Owner), Original(Settings) {
  setObjectName("SettingsDialog");
  setWindowTitle(Title);
  Tolerance = new QDoubleSpinBox(this);
  Tolerance->setObjectName("Tolerance");
  Tolerance->setRange(TDecodeSettings::MinToleranceMicros, TDecodeSettings::MaxToleranceMicros);
  Tolerance->setDecimals(ToleranceDecimals);
  Tolerance->setSuffix(" µs");
  TriggerLevel = new QSpinBox(this);
  TriggerLevel->setObjectName("TriggerLevel");
  TriggerLevel->setRange(TDecodeSettings::MinTriggerLevel, TDecodeSettings::MaxTriggerLevel);
  AutomaticLevel = new QCheckBox(AutomaticCaption, this);
  AutomaticLevel->setObjectName("AutomaticLevel");
  EndSilence = new QDoubleSpinBox(this);
  EndSilence->setObjectName("EndSilence");
  EndSilence->setRange(TDecodeSettings::MinEndSilenceMillis, TDecodeSettings::MaxEndSilenceMillis);
  EndSilence->setDecimals(SilenceDecimals);
  EndSilence->setSingleStep(SilenceStep);
  EndSilence->setSuffix(" ms");
  SecondPass = new QCheckBox(SecondPassCaption, this);
  SecondPass->setObjectName("SecondPass");
  Generic = new QCheckBox(GenericCaption, this);
  Generic->setObjectName("Generic");

  auto* level = new QHBoxLayout;
  level->addWidget(TriggerLevel);
  level->addWidget(AutomaticLevel);
  auto* form = new QFormLayout;
  form->addRow(ToleranceCaption, Tolerance);
  form->addRow(LevelCaption, level);
  form->addRow(EndSilenceCaption, EndSilence);
  form->addRow(SecondPass);
  form->addRow(Generic);
  const TDecodeSettings defaults;
  auto* hint = new QLabel(QString(Hint)
                              .arg(defaults.ToleranceMicros)
                              .arg(defaults.TriggerLevel)
                              .arg(defaults.EndSilenceMillis),
                          this);
  hint->setWordWrap(true);
  hint->setFixedWidth(HintWidth);
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
  buttons->button(QDialogButtonBox::RestoreDefaults)->setObjectName("RestoreDefaults");
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
          [this] { Show(TDecodeSettings()); });
  connect(AutomaticLevel, &QCheckBox::toggled, TriggerLevel, &QWidget::setDisabled);
  Show(Settings);
}

void TSettingsDialog::Show(const TDecodeSettings& Settings) {
  Tolerance->setValue(Settings.ToleranceMicros);
  TriggerLevel->setValue(Settings.TriggerLevel);
  AutomaticLevel->setChecked(Settings.AutomaticLevel);
  TriggerLevel->setDisabled(Settings.AutomaticLevel);
  EndSilence->setValue(Settings.EndSilenceMillis);
  SecondPass->setChecked(Settings.SecondPass);
  Generic->setChecked(Settings.Generic);
}

TDecodeSettings TSettingsDialog::Settings() const {
  TDecodeSettings settings = Original;
  settings.ToleranceMicros = Tolerance->value();
  settings.AutomaticLevel = AutomaticLevel->isChecked();
  settings.TriggerLevel = TriggerLevel->value();
  settings.EndSilenceMillis = EndSilence->value();
  settings.SecondPass = SecondPass->isChecked();
  settings.Generic = Generic->isChecked();
  return settings;
}
