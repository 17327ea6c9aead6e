#pragma once
// The "Decoding settings" dialog: timing tolerance, trigger level (or automatic), ending
// silence and the second pass, with a button that restores the defaults. A value outside its
// range is shown as typed, named under the fields with the allowed range, and OK refuses it.

#include <QDialog>

#include "TDecodeSettings.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TSettingsDialog : public QDialog {
 public:
  // Shows Settings; Settings' InvertInput is kept as it is. Never fails.
  TSettingsDialog(QWidget* Owner, const TDecodeSettings& Settings);

  // What the dialog shows now, out-of-range values included (Problem() names them).
  TDecodeSettings Settings() const;
  // Shows Settings' values.
  void Show(const TDecodeSettings& Settings);
  // Why OK is refused: the first value out of its range with the range; "" when none.
  QString Problem() const;
  // Closes with Accepted unless a value is out of range; then that value is named, gets the
  // focus and the dialog stays open.
  void accept() override;

  QDoubleSpinBox* Tolerance;
  QCheckBox* AutomaticLevel;
  QSpinBox* TriggerLevel;
  QDoubleSpinBox* EndSilence;
  QCheckBox* SecondPass;
  QLabel* ProblemNote;  // the value refused, in the error colour; hidden when none
  QPushButton* Ok;
  QPushButton* RestoreDefaults;
  QCheckBox* Generic;

 private:
  void ShowProblem();
  QWidget* Field(TDecodeSettings::TItem Item) const;

  TDecodeSettings Original;
};
