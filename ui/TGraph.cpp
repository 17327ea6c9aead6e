#include "TGraph.h"

#include <QClipboard>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "TDialogs.h"
#include "TTimeTexts.h"

namespace {
constexpr int DotsPerMeter = 3780;  // 96 dots per inch, so point sizes match the screen
constexpr int ZeroLineY = 128;      // the waveform's entry point, at the zero line
constexpr int WaveBase = 256;       // y = WaveBase - value
constexpr int TextsBelowScale = 3;  // texts are drawn at zoom 1 and 2 only
constexpr int SmallPoints = 8;      // run durations and bit marks
constexpr int FieldPoints = 14;     // field marks at zoom 1; divided by the zoom
constexpr int TickTop = 0, TickBottom = 40, DurationTop = 10;
constexpr int BitTextTop = 179, BitLineTop = 150, BitLineBottom = 190;
constexpr int FieldTextTop = 205, FieldLineTop = 190, FieldLineBottom = 230;
constexpr int BitTextIndent = 1, FieldTextIndent = 5, DurationIndent = 1;
const QColor Lime(0, 255, 0), Yellow(255, 255, 0), White(255, 255, 255);
const QColor Green(0, 128, 0), Grey(128, 128, 128), Black(0, 0, 0);
const char* NothingToCopy = "There is nothing to copy to clipboard. Please open a sample first.";

// Row Y of the full-height drawing in a drawing squeezed by YScale.
int Row(int Y, double YScale) {
  return static_cast<int>(std::lround(Y * YScale));
}

int Points(int PointSize, double YScale) {
  if (YScale >= 1) return PointSize;
  return std::max(TGraph::MinTextPoints, static_cast<int>(std::lround(PointSize * YScale)));
}

QImage BlankPicture(int Width, double YScale = 1) {
  QImage picture(std::max(Width, 1), std::max(Row(TGraph::ImageHeight, YScale), 1),
                 QImage::Format_RGB32);
  picture.setDotsPerMeterX(DotsPerMeter);
  picture.setDotsPerMeterY(DotsPerMeter);
  picture.fill(Black);
  return picture;
}

// A one-pixel line from (X0, Y0) up to, but not including, (X1, Y1); clipped to the picture.
void Line(QImage& Picture, int X0, int Y0, int X1, int Y1, QColor Colour) {
  const QRgb rgb = Colour.rgb();
  const int dx = std::abs(X1 - X0), dy = -std::abs(Y1 - Y0);
  const int sx = X0 < X1 ? 1 : -1, sy = Y0 < Y1 ? 1 : -1;
  int error = dx + dy;
  while (X0 != X1 || Y0 != Y1) {
    if (Picture.valid(X0, Y0)) Picture.setPixel(X0, Y0, rgb);
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      X0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      Y0 += sy;
    }
  }
}

QFont GraphFont(int PointSize) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "DejaVu Sans"});
  font.setPointSize(std::max(PointSize, 1));
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// Text with its top-left corner at (X, Y) on an opaque black box, in the painter's font and pen.
void Text(QPainter& Painter, int X, int Y, const QString& Text) {
  if (Text.isEmpty()) return;
  const QFontMetrics metrics = Painter.fontMetrics();
  Painter.fillRect(X, Y, metrics.horizontalAdvance(Text), metrics.height(), Black);
  Painter.drawText(X, Y + metrics.ascent(), Text);
}

// A painter for the texts of one pass over a picture.
void Prepare(QPainter& Painter, int PointSize, QColor Colour) {
  Painter.setFont(GraphFont(PointSize));
  Painter.setPen(Colour);
}
}  // namespace

TGraphImage::TGraphImage(QWidget* Parent) : QWidget(Parent) {
  SetPicture(BlankPicture(TGraph::InitialWidth));
}

void TGraphImage::SetPicture(const QImage& Value) {
  Image = Value;
  setFixedSize(Image.size());
  update();
}

void TGraphImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, Image);
}

TGraph::TGraph(QWidget* Parent, TDialogs& Boxes)
    : QScrollArea(Parent), img(new TGraphImage(this)), Dialogs(Boxes) {
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  horizontalScrollBar()->setTracking(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setBackgroundRole(QPalette::Dark);
  QPalette black = palette();
  black.setColor(QPalette::Dark, Black);
  black.setColor(QPalette::Window, Black);
  setPalette(black);
  viewport()->setAutoFillBackground(true);
  setWidgetResizable(false);
  setWidget(img);
}

void TGraph::SetHScale(uint8_t Value) {
  HScale = std::clamp<uint8_t>(Value, 1, MaxHScale);
}

void TGraph::SetSample(const TSample* Value) {
  Sample = Value;
  Signal.clear();
  if (!Sample) return;
  const std::vector<uint8_t>& values = Sample->SignalValues(Signal);
  if (&values != &Signal) Signal = values;
}

void TGraph::Clear() {
  Sample = nullptr;
  Signal.clear();
  img->SetPicture(BlankPicture(InitialWidth));
}

void TGraph::Draw() {
  if (!Sample) return;
  img->SetPicture(Render(FittedYScale()));
}

double TGraph::YScaleFor(int Height, int ScrollBarHeight) {
  const double room = static_cast<double>(Height - ScrollBarHeight) / ContentHeight;
  return std::clamp(room, MinYScale, 1.0);
}

double TGraph::FittedYScale() const {
  return YScaleFor(height(), horizontalScrollBar()->sizeHint().height());
}

void TGraph::resizeEvent(QResizeEvent* Event) {
  QScrollArea::resizeEvent(Event);
  if (Sample && Row(ImageHeight, FittedYScale()) != img->Picture().height()) Draw();
}

QImage TGraph::Render(double YScale) const {
  const int width = static_cast<int>(Signal.size() / HScale);
  QImage picture = BlankPicture(width, YScale);

  int x = -1, y = Row(ZeroLineY, YScale);
  for (size_t i = 0; i < Signal.size(); i += HScale) {
    const int nextX = static_cast<int>(i / HScale), nextY = Row(WaveBase - Signal[i], YScale);
    Line(picture, x, y, nextX, nextY, Lime);
    x = nextX;
    y = nextY;
  }
  DrawRunBoundaries(picture, YScale);
  DrawMarks(picture, Sample->FieldMarks(), FieldPoints / HScale, Green, FieldTextTop, FieldLineTop,
            FieldLineBottom, FieldTextIndent, YScale);
  DrawMarks(picture, Sample->BitMarks(), SmallPoints, Grey, BitTextTop, BitLineTop, BitLineBottom,
            BitTextIndent, YScale);
  return picture;
}

void TGraph::DrawRunBoundaries(QImage& Picture, double YScale) const {
  QPainter painter(&Picture);
  Prepare(painter, Points(SmallPoints, YScale), White);
  uint16_t sum = 0;
  int x = 0;
  for (uint16_t run : Sample->Pulses) {
    if (HScale < TextsBelowScale)
      Text(painter, x + DurationIndent, Row(DurationTop, YScale), TimeText(run));
    sum = static_cast<uint16_t>(sum + run);
    x = sum / HScale;
    Line(Picture, x, Row(TickTop, YScale), x, Row(TickBottom, YScale), Yellow);
  }
}

void TGraph::DrawMarks(QImage& Picture, const std::vector<TSampleMark>& Marks, int PointSize,
                       QColor Colour, int TextTop, int LineTop, int LineBottom, int TextIndent,
                       double YScale) const {
  QPainter painter(&Picture);
  Prepare(painter, Points(PointSize, YScale), Colour);
  int x = 0;
  for (const TSampleMark& mark : Marks) {
    if (HScale < TextsBelowScale) {
      Text(painter, x + TextIndent, Row(TextTop, YScale), QString::fromStdString(mark.Text.str()));
    }
    x = mark.Position / HScale;
    Line(Picture, x, Row(LineTop, YScale), x, Row(LineBottom, YScale), Colour);
  }
}

QString TGraph::TimeText(uint16_t Count) const {
  if (SampleRate == 0) return "0";
  return QString::fromStdString(TTimeTexts::TimeText(Count, SampleRate));
}

QString TGraph::BitmapFileName(const QString& FileName) {
  const qsizetype slash = FileName.lastIndexOf('/');
  const qsizetype dot = FileName.lastIndexOf('.');
  const QString stem = dot > slash ? FileName.left(dot) : FileName;
  return stem + ".bmp";
}

void TGraph::ExportBitmap(const QString& FileName) const {
  const QImage picture = Sample ? Render(1) : img->Picture();
  QImage bitmap(picture.width(), ExportHeight, QImage::Format_RGB888);
  bitmap.fill(Black);
  {
    QPainter painter(&bitmap);
    painter.drawImage(0, 0, picture);
  }
  const QString name = BitmapFileName(FileName);
  // Written under a temporary name and renamed when complete: a failure keeps an earlier file.
  QSaveFile file(name);
  if (!file.open(QIODevice::WriteOnly)) {
    throw std::runtime_error("Cannot create file \"" + name.toStdString() + "\". " +
                             file.errorString().toStdString());
  }
  if (!bitmap.save(&file, "BMP") || !file.commit()) {
    throw std::runtime_error("Cannot write file \"" + name.toStdString() + "\". " +
                             file.errorString().toStdString());
  }
}

void TGraph::CopyTiming() const {
  if (!Sample) {
    Dialogs.ShowMessage(NothingToCopy);
    return;
  }
  QString text;
  for (uint16_t run : Sample->Pulses) text += TimeText(run) + '\t';
  QGuiApplication::clipboard()->setText(text);
}
