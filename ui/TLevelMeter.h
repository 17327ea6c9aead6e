#pragma once
// A small live level meter for the recording input: the span of the recent peaks as a bar,
// the resting level as a tick and the trigger level as a red line across (none when the level
// is automatic), over the whole range of values 0..255. It also words the hint the window
// shows when pulses arrive that the trigger never sees.

#include <QString>
#include <QWidget>

#include "TInputLevel.h"

class TLevelMeter : public QWidget {
 public:
  static constexpr const char* BelowTriggerText =
      "Signal seen, below the trigger: try automatic level";
  static constexpr const char* InvertedText = "Pulses go down: try Invert input";

  explicit TLevelMeter(QWidget* Parent);

  // Measures a buffer of raw input values (see TInputLevel::Add) and shows the result with
  // Trigger (Automatic: the signal's own level). Never fails.
  void Measure(const uint8_t* Data, size_t Size, unsigned Rate, bool Invert, int Trigger,
               bool Automatic);
  // Shows nothing measured (recording stopped).
  void Reset();
  // The hint for the status bar; "" when all is well or nothing was measured.
  QString HintText() const;
  // The x coordinate of Value (0..255) inside the meter's frame.
  int XOf(int Value) const;
  const TInputLevel& Level() const { return Input; }

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  void Describe();

  TInputLevel Input;
  int TriggerLevel = 0;
  bool AutomaticLevel = false;
};
