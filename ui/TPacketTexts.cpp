#include "TPacketTexts.h"

#include <QLocale>
#include <QTime>
#include <algorithm>

#include "TDecodeSettings.h"
#include "TTimeTexts.h"

namespace {
// The locale's long time format without its time-zone part.
QString LongTimeFormat() {
  const QString format = QLocale().timeFormat(QLocale::LongFormat);
  QString kept;
  bool quoted = false;
  for (QChar c : format) {
    if (c == '\'') quoted = !quoted;
    if (c == 't' && !quoted) continue;
    kept += c;
  }
  kept.remove("()");
  return kept.simplified();
}

QString InLocale(const std::string& Text) {
  return QString::fromStdString(Text).replace('.', QLocale().decimalPoint());
}
}  // namespace

QString TPacketTexts::TimePeriod(float Seconds) {
  return InLocale(TTimeTexts::niceTimePeriod(Seconds));
}

QString TPacketTexts::Binary(uint64_t Value) {
  if (Value == 0) return "0";
  QString text;
  for (; Value != 0; Value >>= 1) text.prepend(Value & 1 ? '1' : '0');
  return text;
}

QString TPacketTexts::TimeOfDay(double CaptureTime) {
  const int64_t millis = std::max<int64_t>(TTimeTexts::TimeOfDayMillis(CaptureTime), 0);
  return QLocale().toString(QTime::fromMSecsSinceStartOfDay(static_cast<int>(millis)),
                            LongTimeFormat());
}

QString TPacketTexts::SampleTime(const TSample& Sample) {
  if (Sample.Source.empty() || Sample.StreamIndex < 0) return TimeOfDay(Sample.CaptureTime);
  const double seconds = static_cast<double>(Sample.StreamIndex) / TDecodeSettings::SampleRate;
  return InLocale(TTimeTexts::ClockText(seconds));
}
