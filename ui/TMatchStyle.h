#pragma once
// How the list and the details show a packet's kind of match: an exact one plainly, every
// other kind in its own colour (readable on the list's white: a contrast of 4.5:1 or more),
// italic, with a heading that names the kind in the details. One table entry per kind.

#include <QColor>
#include <QString>
#include <span>
#include <string>

#include "TSample.h"

class TMatchStyle {
 public:
  static constexpr double MinimumContrast = 4.5;  // WCAG AA for normal text

  // The style of Kind; a kind without an entry is shown as an exact one. Never fails.
  static const TMatchStyle& For(TProtocol::TMatch Kind);
  // Every kind's style, the exact one first.
  static std::span<const TMatchStyle> All();
  // The contrast ratio of two opaque colours (1..21) as WCAG 2 computes it. Never fails.
  static double Contrast(const QColor& A, const QColor& B);

  // True when the list shows the kind as the plain text does.
  bool Plain() const { return !Colour.isValid(); }
  // The details' opening paragraph about Note (what made the packet fit): "Likely match:
  // marks +60 µs, ..."; a note that starts with the kind's own word does not repeat it. ""
  // for a plain kind.
  QString Heading(const std::string& Note) const;

  TProtocol::TMatch Kind;
  QColor Colour;      // the text's colour in the list; invalid: the list's own
  bool Italic;        // the text is set in italics in the list
  const char* Word;   // the kind's word as the recogniser writes it ("likely")
  const char* Title;  // the heading's words ("Likely match")
};
