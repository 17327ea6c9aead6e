#include "TLevelMeter.h"

#include <QPainter>
#include <algorithm>

namespace {
const QColor Frame(0x70, 0x70, 0x70), Background(Qt::white), PeakBar(0x2E, 0x8B, 0x57);
const QColor RestTick(Qt::black), TriggerLine(0xD0, 0x00, 0x00);
constexpr int Border = 1;  // pixels of frame
const char* const ToolTipText = "Input level: rests at %1, recent peaks %2..%3, trigger %4";
const char* const ToolTipIdle = "Input level: shown while recording";
const char* const AutomaticText = "automatic";
constexpr int MaxValue = 255;
}  // namespace

TLevelMeter::TLevelMeter(QWidget* Parent) : QWidget(Parent) {
  setObjectName("LevelMeter");
  setFocusPolicy(Qt::NoFocus);
  Describe();
}

void TLevelMeter::Measure(const uint8_t* Data, size_t Size, unsigned Rate, bool Invert, int Trigger,
                          bool Automatic) {
  Input.Add(Data, Size, Rate, Invert);
  TriggerLevel = Trigger;
  AutomaticLevel = Automatic;
  Describe();
  update();
}

void TLevelMeter::Reset() {
  Input.Reset();
  Describe();
  update();
}

QString TLevelMeter::HintText() const {
  switch (Input.Hint(TriggerLevel, AutomaticLevel)) {
    case TInputLevel::THint::BelowTrigger:
      return BelowTriggerText;
    case TInputLevel::THint::Inverted:
      return InvertedText;
    case TInputLevel::THint::None:
      break;
  }
  return {};
}

int TLevelMeter::XOf(int Value) const {
  const int inner = std::max(width() - 2 * Border - 1, 1);
  return Border + std::clamp(Value, 0, MaxValue) * inner / MaxValue;
}

void TLevelMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Background);
  painter.setPen(Frame);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  const int top = Border + 1, bottom = height() - Border - 2;
  if (Input.Measured()) {
    const int low = XOf(Input.PeakLow()), high = XOf(Input.PeakHigh());
    painter.fillRect(QRect(QPoint(low, top + 2), QPoint(high, bottom - 2)), PeakBar);
    painter.setPen(QPen(RestTick, 2));
    painter.drawLine(XOf(Input.Resting()), top, XOf(Input.Resting()), bottom);
  }
  if (!AutomaticLevel && TriggerLevel > 0) {
    painter.setPen(QPen(TriggerLine, 2));
    painter.drawLine(XOf(TriggerLevel), Border, XOf(TriggerLevel), height() - Border - 1);
  }
}

void TLevelMeter::Describe() {
  if (!Input.Measured()) {
    setToolTip(ToolTipIdle);
    return;
  }
  setToolTip(QString(ToolTipText)
                 .arg(int{Input.Resting()})
                 .arg(int{Input.PeakLow()})
                 .arg(int{Input.PeakHigh()})
                 .arg(AutomaticLevel ? QString(AutomaticText) : QString::number(TriggerLevel)));
}
