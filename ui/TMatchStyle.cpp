#include "TMatchStyle.h"

#include <algorithm>
#include <cmath>

namespace {
// A dark amber: 6.1:1 on white, and not the grey of a disabled control.
const QColor LikelyColour(0x9A, 0x4D, 0x00);
// A dark teal for a generic reading: the bits of a coding, not a protocol of the library.
const QColor GenericColour(0x00, 0x5F, 0x73);

const TMatchStyle Styles[] = {
    {TProtocol::TMatch::Exact, QColor(), false, "exact", ""},
    {TProtocol::TMatch::Likely, LikelyColour, true, "likely", "Likely match"},
    {TProtocol::TMatch::Generic, GenericColour, true, "generic", "Generic decoding"},
};

// The relative luminance of one sRGB channel (0..1).
double Linear(double Channel) {
  return Channel <= 0.03928 ? Channel / 12.92 : std::pow((Channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& Colour) {
  return 0.2126 * Linear(Colour.redF()) + 0.7152 * Linear(Colour.greenF()) +
         0.0722 * Linear(Colour.blueF());
}
}  // namespace

const TMatchStyle& TMatchStyle::For(TProtocol::TMatch Kind) {
  for (const TMatchStyle& style : Styles) {
    if (style.Kind == Kind) return style;
  }
  return Styles[0];
}

std::span<const TMatchStyle> TMatchStyle::All() {
  return Styles;
}

double TMatchStyle::Contrast(const QColor& A, const QColor& B) {
  const double a = Luminance(A), b = Luminance(B);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QString TMatchStyle::Heading(const std::string& Note) const {
  if (Plain()) return {};
  QString note = QString::fromStdString(Note).trimmed();
  const QString ownWord = QString(Word) + ':';
  if (note.startsWith(ownWord, Qt::CaseInsensitive)) note = note.mid(ownWord.size()).trimmed();
  return note.isEmpty() ? QString(Title) + '.' : QString("%1: %2").arg(Title, note);
}
