#pragma once
// The record toggle: a push button that stays pressed, with an 18 x 18 red shaded disc left
// of its caption.

#include <QImage>
#include <QPixmap>
#include <QPushButton>

class TRecordButton : public QPushButton {
 public:
  static constexpr int GlyphSize = 18;    // pixels
  static constexpr int GlyphMargin = 8;   // pixels from the left edge
  static constexpr int GlyphSpacing = 4;  // pixels between the disc and the caption

  TRecordButton(const QString& Caption, QWidget* Parent);

  // The disc drawn on magenta, magenta then made transparent.
  static QImage Glyph();

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  QPixmap Picture;
};
