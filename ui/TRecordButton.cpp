#include "TRecordButton.h"

#include <QPainter>
#include <QRadialGradient>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {
const QColor Magenta(255, 0, 255);  // the glyph's background, drawn transparent
const QColor Highlight(255, 170, 170), Red(230, 0, 0), DarkRed(110, 0, 0);
constexpr double HighlightAt = 0.3;  // of the disc's size, from its top-left
}  // namespace

TRecordButton::TRecordButton(const QString& Caption, QWidget* Parent)
    : QPushButton(Caption, Parent), Picture(QPixmap::fromImage(Glyph())) {
  setCheckable(true);
  setFocusPolicy(Qt::NoFocus);
}

QImage TRecordButton::Glyph() {
  QImage glyph(GlyphSize, GlyphSize, QImage::Format_ARGB32);
  glyph.fill(Magenta);
  {
    QPainter painter(&glyph);
    // Aliased, like a bitmap glyph, so no edge pixel mixes with the magenta background.
    painter.setRenderHint(QPainter::Antialiasing, false);
    QRadialGradient shade(GlyphSize * HighlightAt, GlyphSize * HighlightAt, GlyphSize * 0.75);
    shade.setColorAt(0, Highlight);
    shade.setColorAt(0.45, Red);
    shade.setColorAt(1, DarkRed);
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade);
    painter.drawEllipse(1, 1, GlyphSize - 2, GlyphSize - 2);
  }
  for (int y = 0; y < GlyphSize; ++y) {
    for (int x = 0; x < GlyphSize; ++x) {
      if (glyph.pixelColor(x, y) == Magenta) glyph.setPixelColor(x, y, Qt::transparent);
    }
  }
  return glyph;
}

void TRecordButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  option.icon = QIcon();
  painter.drawControl(QStyle::CE_PushButton, option);
  const int shift = isDown() || isChecked() ? 1 : 0;  // the pressed look moves the contents
  const int top = (height() - GlyphSize) / 2 + shift;
  painter.drawPixmap(GlyphMargin + shift, top, Picture);
  const int textLeft = GlyphMargin + GlyphSize + GlyphSpacing + shift;
  QRect textRect(textLeft, shift, width() - textLeft, height());
  painter.drawItemText(textRect, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), text(),
                       QPalette::ButtonText);
}
