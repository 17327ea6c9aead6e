#pragma once
// The "Decoding settings" dialog: timing tolerance, trigger level (or automatic), ending
// silence and the second pass, with a button that restores the defaults.

#include <QDialog>

#include "TDecodeSettings.h"

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

class TSettingsDialog : public QDialog {
 public:
  // Shows Settings; Settings' InvertInput is kept as it is. Never fails.
  TSettingsDialog(QWidget* Owner, const TDecodeSettings& Settings);

  // What the dialog shows now (values are always within their ranges).
  TDecodeSettings Settings() const;
  // Shows Settings' values.
  void Show(const TDecodeSettings& Settings);

  QDoubleSpinBox* Tolerance;
  QCheckBox* AutomaticLevel;
  QSpinBox* TriggerLevel;
  QDoubleSpinBox* EndSilence;
  QCheckBox* SecondPass;
  QCheckBox* Generic;

 private:
  TDecodeSettings Original;
};
