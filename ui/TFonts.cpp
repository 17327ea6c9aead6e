#include "TFonts.h"

#include <QFontInfo>
#include <QStringList>

QFont TFonts::Arial(int Pixels, bool Underline) {
  QFont font;
  font.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
  font.setPixelSize(Pixels);
  font.setUnderline(Underline);
  const QString found = QFontInfo(font).family();
  if (found != "Arial" && found != "Liberation Sans") font.setStretch(QFont::Condensed);
  return font;
}

QFont TFonts::SansSerif(int Pixels) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "DejaVu Sans"});
  font.setPixelSize(Pixels);
  return font;
}
