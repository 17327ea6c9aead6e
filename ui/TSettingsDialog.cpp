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
const char* const RefusedText = "Not accepted: %1.";
const QColor ErrorColour(0xB0, 0x00, 0x20);
constexpr int ToleranceDecimals = 1, SilenceDecimals = 1;
constexpr double SilenceStep = 0.5;  // ms
constexpr int HintWidth = 360;       // pixels
// What the boxes take while typing: any value of up to five digits, so that a value out of
// range stays as typed and is named, never cut to the nearest one allowed.
constexpr int TypableMaximum = 99999;

QLabel* Caption(const char* Text, QWidget* Buddy, QWidget* Parent) {
  auto* label = new QLabel(Text, Parent);
  label->setBuddy(Buddy);
  return label;
}
}  // namespace

TSettingsDialog::TSettingsDialog(QWidget* Owner, const TDecodeSettings& Settings)
    : QDialog(Owner), Original(Settings) {
  setObjectName("SettingsDialog");
  setWindowTitle(Title);
  Tolerance = new QDoubleSpinBox(this);
  Tolerance->setObjectName("Tolerance");
  Tolerance->setRange(0, TypableMaximum);
  Tolerance->setDecimals(ToleranceDecimals);
  Tolerance->setSuffix(" µs");
  TriggerLevel = new QSpinBox(this);
  TriggerLevel->setObjectName("TriggerLevel");
  TriggerLevel->setRange(0, TypableMaximum);
  AutomaticLevel = new QCheckBox(AutomaticCaption, this);
  AutomaticLevel->setObjectName("AutomaticLevel");
  EndSilence = new QDoubleSpinBox(this);
  EndSilence->setObjectName("EndSilence");
  EndSilence->setRange(0, TypableMaximum);
  EndSilence->setDecimals(SilenceDecimals);
  EndSilence->setSingleStep(SilenceStep);
  EndSilence->setSuffix(" ms");
  SecondPass = new QCheckBox(SecondPassCaption, this);
  SecondPass->setObjectName("SecondPass");
  Generic = new QCheckBox(GenericCaption, this);
  Generic->setObjectName("Generic");
  ProblemNote = new QLabel(this);
  ProblemNote->setObjectName("ProblemNote");
  ProblemNote->setWordWrap(true);
  QPalette error = ProblemNote->palette();
  error.setColor(QPalette::WindowText, ErrorColour);
  ProblemNote->setPalette(error);

  // Captions with a buddy: a form row of a layout has none, and would show its "&" as is.
  auto* level = new QHBoxLayout;
  level->addWidget(TriggerLevel);
  level->addWidget(AutomaticLevel);
  auto* form = new QFormLayout;
  form->addRow(Caption(ToleranceCaption, Tolerance, this), Tolerance);
  form->addRow(Caption(LevelCaption, TriggerLevel, this), level);
  form->addRow(Caption(EndSilenceCaption, EndSilence, this), EndSilence);
  form->addRow(SecondPass);
  form->addRow(Generic);
  form->addRow(ProblemNote);
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
  Ok = buttons->button(QDialogButtonBox::Ok);
  Ok->setDefault(true);
  RestoreDefaults = buttons->button(QDialogButtonBox::RestoreDefaults);
  RestoreDefaults->setObjectName("RestoreDefaults");
  RestoreDefaults->setText("&Restore Defaults");
  RestoreDefaults->setAutoDefault(false);  // Enter after it still means OK
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &TSettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(RestoreDefaults, &QPushButton::clicked, this, [this] {
    Show(TDecodeSettings());
    Tolerance->setFocus();
  });
  connect(AutomaticLevel, &QCheckBox::toggled, TriggerLevel, &QWidget::setDisabled);
  for (QAbstractSpinBox* box :
       {static_cast<QAbstractSpinBox*>(Tolerance), static_cast<QAbstractSpinBox*>(TriggerLevel),
        static_cast<QAbstractSpinBox*>(EndSilence)}) {
    connect(box, &QAbstractSpinBox::editingFinished, this, [this] { ShowProblem(); });
  }
  connect(Tolerance, &QDoubleSpinBox::valueChanged, this, [this] { ShowProblem(); });
  connect(TriggerLevel, &QSpinBox::valueChanged, this, [this] { ShowProblem(); });
  connect(EndSilence, &QDoubleSpinBox::valueChanged, this, [this] { ShowProblem(); });
  connect(AutomaticLevel, &QCheckBox::toggled, this, [this] { ShowProblem(); });
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
  ShowProblem();
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

QString TSettingsDialog::Problem() const {
  const std::string problem = Settings().Problem();
  return problem.empty() ? QString() : QString(RefusedText).arg(QString::fromStdString(problem));
}

void TSettingsDialog::accept() {
  ShowProblem();
  const TDecodeSettings settings = Settings();
  for (TDecodeSettings::TItem item : TDecodeSettings::Items) {
    if (settings.Problem(item).empty()) continue;
    if (QWidget* field = Field(item)) field->setFocus();
    return;
  }
  QDialog::accept();
}

void TSettingsDialog::ShowProblem() {
  const QString problem = Problem();
  ProblemNote->setText(problem);
  ProblemNote->setVisible(!problem.isEmpty());
  Ok->setToolTip(problem);
}

QWidget* TSettingsDialog::Field(TDecodeSettings::TItem Item) const {
  switch (Item) {
    case TDecodeSettings::TItem::Tolerance:
      return Tolerance;
    case TDecodeSettings::TItem::Level:
      return TriggerLevel;
    case TDecodeSettings::TItem::EndSilence:
      return EndSilence;
    case TDecodeSettings::TItem::SecondPass:
      return SecondPass;
    case TDecodeSettings::TItem::Generic:
      return Generic;
  }
  return nullptr;
}
