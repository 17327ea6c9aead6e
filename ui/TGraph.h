#pragma once
// The graph view: one sample's waveform with its run durations and the decoder's marks, in a
// horizontally scrolling black frame; exports the drawing as BMP and copies the timing.

#include <QImage>
#include <QScrollArea>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "TSample.h"

class TDialogs;

// The picture the graph draws into, shown at its natural size.
class TGraphImage : public QWidget {
 public:
  explicit TGraphImage(QWidget* Parent);
  // Replaces the picture and resizes the widget to it.
  void SetPicture(const QImage& Picture);
  const QImage& Picture() const { return Image; }

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  QImage Image;
};

class TGraph : public QScrollArea {
 public:
  static constexpr int ImageHeight = 273;   // pixels
  static constexpr int InitialWidth = 256;  // pixels, before the first drawing
  static constexpr int ExportHeight = 256;  // pixels; the bottom rows are cut
  static constexpr int MaxHScale = 6;
  // Everything drawn lies above this row at full height; a view too short for it (and the
  // scroll bar) draws everything closer together, down to MinYScale of its height.
  static constexpr int ContentHeight = 246;  // pixels
  static constexpr double MinYScale = 0.25;
  static constexpr int MinTextPoints = 6;  // texts of a squeezed drawing shrink down to this

  // Dialogs shows CopyTiming's message; it must outlive the view.
  TGraph(QWidget* Parent, TDialogs& Dialogs);

  // Stores the zoom divisor (1..MaxHScale; other values are clamped). Does not redraw.
  void SetHScale(uint8_t Value);
  // Stores the sample to show (not owned; null for none) and a copy of its signal, unpacked.
  // Does not redraw.
  void SetSample(const TSample* Value);
  // Redraws the picture from Sample at HScale, squeezed to fit the view's height (see
  // YScaleFor); does nothing without a sample.
  void Draw();
  // The vertical scale a view Height pixels high draws at: 1 when ContentHeight and the scroll
  // bar fit, else what makes them fit, MinYScale at least. Never fails.
  static double YScaleFor(int Height, int ScrollBarHeight);
  // Drops the sample and shows an empty (black) drawing of the starting width.
  void Clear();
  // Count PCM samples as whole microseconds, halves to even. Never fails.
  QString TimeText(uint16_t Count) const;
  // Writes the drawing's top 256 rows, at full height whatever the view's, as a 24-bit BMP under
  // FileName with its extension replaced by ".bmp". Throws std::runtime_error when the file cannot
  // be written.
  void ExportBitmap(const QString& FileName) const;
  // Puts every run length of Sample, each followed by a tab, on the clipboard; without a
  // sample shows "There is nothing to copy..." and leaves the clipboard alone.
  void CopyTiming() const;

  const QImage& Picture() const { return img->Picture(); }
  const TSample* ShownSample() const { return Sample; }
  uint8_t Scale() const { return HScale; }

  uint16_t SampleRate = 0;

 private:
  QImage Render(double YScale) const;
  void DrawRunBoundaries(QImage& Picture, double YScale) const;
  void DrawMarks(QImage& Picture, const std::vector<TSampleMark>& Marks, int PointSize,
                 QColor Colour, int TextTop, int LineTop, int LineBottom, int TextIndent,
                 double YScale) const;
  double FittedYScale() const;

 protected:
  void resizeEvent(QResizeEvent* Event) override;

 private:
  static QString BitmapFileName(const QString& FileName);

  TGraphImage* img;
  uint8_t HScale = 1;
  const TSample* Sample = nullptr;
  std::vector<uint8_t> Signal;  // the sample's PCM values, unpacked for drawing
  TDialogs& Dialogs;
};
