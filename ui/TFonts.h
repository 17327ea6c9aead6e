#pragma once
// The window's typefaces with their stand-ins: where Arial or MS Sans Serif is missing, a
// face of similar width takes its place so that captions fit the controls' pixel bounds.

#include <QFont>

class TFonts {
 public:
  // Arial at Pixels character height; else Liberation Sans; else condensed DejaVu Sans.
  static QFont Arial(int Pixels, bool Underline = false);
  // MS Sans Serif at Pixels character height; else DejaVu Sans.
  static QFont SansSerif(int Pixels);
};
