#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QScrollBar>
#include <QtEndian>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "TGraph.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
const QRgb Black = qRgb(0, 0, 0), Lime = qRgb(0, 255, 0), Yellow = qRgb(255, 255, 0);
const QRgb White = qRgb(255, 255, 255), Green = qRgb(0, 128, 0), Grey = qRgb(128, 128, 128);

// 120 quiet values, 50 high ones, 240 quiet ones: runs 120, 50, 239; a field and two bits.
TSample Packet() {
  TSample s;
  s.Signal.assign(120, 128);
  s.Signal.insert(s.Signal.end(), 50, 200);
  s.Signal.insert(s.Signal.end(), 240, 128);
  s.Pulses = {120, 50, 239};
  s.AddMark(TSample::FieldRow, 120, "");
  s.AddMark(TSample::FieldRow, 170, "data");
  s.AddMark(TSample::BitRow, 120, "");
  s.AddMark(TSample::BitRow, 145, "bit0");
  s.AddMark(TSample::BitRow, 170, "bit1");
  return s;
}

struct GraphRig {
  GraphRig() : Graph(nullptr, Dialogs) {
    Graph.SampleRate = 48000;
    Graph.resize(600, 281);
  }
  QRgb At(int x, int y) const { return Graph.Picture().pixel(x, y); }
  int Count(QRgb Colour, QRect Area) const {
    int n = 0;
    for (int y = Area.top(); y <= Area.bottom(); ++y)
      for (int x = Area.left(); x <= Area.right(); ++x)
        if (Graph.Picture().valid(x, y) && At(x, y) == Colour) ++n;
    return n;
  }
  int Rows(QRgb Colour, QRect Area) const {  // height of the band holding Colour
    int top = -1, bottom = -1;
    for (int y = Area.top(); y <= Area.bottom(); ++y)
      if (Count(Colour, {Area.left(), y, Area.width(), 1}) > 0) {
        if (top < 0) top = y;
        bottom = y;
      }
    return top < 0 ? 0 : bottom - top + 1;
  }
  void Show(const TSample& s, uint8_t Zoom) {
    Graph.SetHScale(Zoom);
    Graph.SetSample(&s);
    Graph.Draw();
  }
  TFakeDialogs Dialogs;
  TGraph Graph;
};
}  // namespace

TEST(GraphView, TimeTextRoundsLikeTheSinglePrecisionQuotient) {
  GraphRig rig;
  const std::vector<std::pair<uint16_t, const char*>> cases = {
      {27, "562"}, {3, "63"}, {15, "312"}, {81, "1688"}, {24, "500"}, {480, "10000"}, {0, "0"}};
  for (auto [count, text] : cases) EXPECT_EQ(rig.Graph.TimeText(count), text) << count;
}

TEST(GraphView, DrawsNothingWithoutASample) {
  GraphRig rig;
  QImage before = rig.Graph.Picture();
  rig.Graph.SetHScale(2);
  rig.Graph.Draw();
  EXPECT_EQ(rig.Graph.Picture(), before);
  EXPECT_EQ(before.size(), QSize(256, 273));
  EXPECT_EQ(rig.Count(Black, before.rect()), 256 * 273);
}

TEST(GraphView, ZoomOneDrawsWaveTicksMarksAndTexts) {
  GraphRig rig;
  TSample s = Packet();
  rig.Show(s, 1);
  EXPECT_EQ(rig.Graph.Picture().size(), QSize(410, 273));
  EXPECT_EQ(rig.At(60, 128), Lime);  // zero line
  EXPECT_EQ(rig.At(150, 56), Lime);  // 200 lies at 256 - 200
  EXPECT_EQ(rig.At(150, 128), Black);
  for (int x : {120, 170, 409}) {
    EXPECT_EQ(rig.At(x, 0), Yellow) << x;
    EXPECT_EQ(rig.At(x, 39), Yellow) << x;
    EXPECT_NE(rig.At(x, 40), Yellow) << x;  // the end point is not drawn
  }
  for (int x : {120, 170}) {
    EXPECT_EQ(rig.At(x, 190), Green) << x;
    EXPECT_EQ(rig.At(x, 229), Green) << x;
    EXPECT_EQ(rig.At(x, 230), Black) << x;
  }
  EXPECT_EQ(rig.At(145, 150), Grey);
  EXPECT_EQ(rig.At(145, 189), Grey);
  EXPECT_GT(rig.Count(White, {1, 10, 40, 14}), 10);     // "2500" right of the left edge
  EXPECT_GT(rig.Count(White, {121, 10, 40, 14}), 10);   // "1042" right of the first tick
  EXPECT_GT(rig.Count(Green, {125, 205, 44, 25}), 20);  // "data" right of the first field line
  EXPECT_GT(rig.Count(Grey, {121, 179, 22, 12}), 5);    // "bit0"
}

TEST(GraphView, ZoomTwoHalvesTheDrawingAndTheFieldFont) {
  GraphRig rig;
  TSample s = Packet();
  rig.Show(s, 1);
  const int big = rig.Rows(Green, {126, 200, 40, 40});
  rig.Show(s, 2);
  EXPECT_EQ(rig.Graph.Picture().width(), 205);
  EXPECT_EQ(rig.At(75, 56), Lime);
  for (int x : {60, 85, 204}) EXPECT_EQ(rig.At(x, 20 + 19), Yellow) << x;
  EXPECT_EQ(rig.At(60, 190), Green);
  EXPECT_EQ(rig.At(72, 150), Grey);
  const int small = rig.Rows(Green, {66, 200, 19, 40});
  EXPECT_GT(small, 0);
  EXPECT_GT(big, small * 3 / 2);  // 14 points against 7
  EXPECT_GT(rig.Count(White, {1, 10, 40, 14}), 10);
}

TEST(GraphView, ZoomThreeDrawsNoTexts) {
  GraphRig rig;
  TSample s = Packet();
  rig.Show(s, 3);
  EXPECT_EQ(rig.Graph.Picture().width(), 136);
  EXPECT_EQ(rig.At(40, 0), Yellow);
  EXPECT_EQ(rig.At(56, 39), Yellow);
  EXPECT_EQ(rig.At(40, 229), Green);
  EXPECT_EQ(rig.At(48, 189), Grey);
  EXPECT_EQ(rig.Count(White, rig.Graph.Picture().rect()), 0);
  EXPECT_EQ(rig.Count(Green, {41, 200, 15, 40}), 0);  // no field texts beside the lines
  EXPECT_EQ(rig.Count(Green, {57, 200, 79, 40}), 0);
}

TEST(GraphView, LongSignalsScaleAndScroll) {
  GraphRig rig;
  TSample s;
  s.Signal.assign(10000, 128);
  s.Pulses = {9999};
  rig.Show(s, 1);
  EXPECT_EQ(rig.Graph.Picture().width(), 10000);
  rig.Show(s, 6);
  EXPECT_EQ(rig.Graph.Picture().width(), 1666);
}

TEST(GraphView, LabelBoxesAreOpaque) {
  GraphRig rig;
  TSample s = Packet();
  // A bit label right of x = 41 runs over the field line at x = 50: its box hides the line's
  // top rows, which lie inside the label's height.
  s.Marks = {};
  s.AddMark(TSample::FieldRow, 50, "");
  s.AddMark(TSample::BitRow, 40, "");
  s.AddMark(TSample::BitRow, 100, "bit12345");
  rig.Show(s, 1);
  EXPECT_EQ(rig.At(50, 190), Black);
  EXPECT_EQ(rig.At(50, 229), Green);
}

TEST(GraphView, CopyTimingPutsRunsWithTabsOnTheClipboard) {
  GraphRig rig;
  QGuiApplication::clipboard()->setText("before");
  rig.Graph.CopyTiming();
  EXPECT_EQ(
      rig.Dialogs.Messages,
      std::vector<QString>{"There is nothing to copy to clipboard. Please open a sample first."});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
  TSample s = Packet();
  rig.Show(s, 1);
  rig.Graph.CopyTiming();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "2500\t1042\t4979\t");
  s.Pulses = {27, 81, 27};
  rig.Graph.CopyTiming();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "562\t1688\t562\t");
}

TEST(GraphView, ExportWritesA24BitBmp256HighUnderTheBmpName) {
  GraphRig rig;
  TSample s = Packet();
  rig.Show(s, 1);
  auto dir = std::filesystem::temp_directory_path() / "vorlent-graph-export";
  std::filesystem::create_directories(dir);
  const QString dirName = QString::fromStdString(dir.string());
  for (const char* chosen : {"/graph.png", "/plain"}) {
    rig.Graph.ExportBitmap(dirName + chosen);
  }
  QFile file(dirName + "/graph.bmp");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bmp = file.readAll();
  EXPECT_TRUE(QFile::exists(dirName + "/plain.bmp"));
  ASSERT_GE(bmp.size(), 54);
  EXPECT_EQ(bmp.left(2), "BM");
  EXPECT_EQ(qFromLittleEndian<qint32>(bmp.constData() + 18), 410);
  EXPECT_EQ(std::abs(qFromLittleEndian<qint32>(bmp.constData() + 22)), 256);
  EXPECT_EQ(qFromLittleEndian<quint16>(bmp.constData() + 28), 24);
  const int stride = (410 * 3 + 3) & ~3;
  EXPECT_EQ(bmp.size(), qFromLittleEndian<qint32>(bmp.constData() + 10) + stride * 256);
  QImage back(dirName + "/graph.bmp");
  EXPECT_EQ(back.pixel(120, 0), Yellow);
  EXPECT_EQ(back.pixel(150, 56), Lime);
  std::filesystem::remove_all(dir);
}

TEST(GraphView, ExportIntoAMissingFolderThrows) {
  GraphRig rig;
  try {
    rig.Graph.ExportBitmap("/nonexistent-folder/x.bmp");
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(
        std::string(error.what()).rfind("Cannot create file \"/nonexistent-folder/x.bmp\".", 0), 0u)
        << error.what();
  }
}

// A write that fails midway (a file-size limit, for the export only) keeps the earlier file.
TEST(GraphView, AFailedExportKeepsTheEarlierFile) {
  GraphRig rig;
  TSample s = Packet();
  rig.Show(s, 1);
  const std::string old = (std::filesystem::temp_directory_path() / "vorlent-keep.bmp").string();
  std::ofstream(old) << "the earlier picture";
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  const rlimit small = {4096, before.rlim_max};
  auto handler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(rig.Graph.ExportBitmap(QString::fromStdString(old)), std::runtime_error);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);
  std::ifstream in(old);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the earlier picture");
  std::filesystem::remove(old);
}

// A short view squeezes the drawing instead of cutting it: the zero line, the bit and the field
// marks all stay inside what the view shows, down to the window's smallest graph.
TEST(GraphView, AShortViewSqueezesTheDrawingToFit) {
  const std::vector<int> heights = {281, 200, 120, 96, 40};
  for (int height : heights) {
    GraphRig rig;
    rig.Graph.resize(600, height);
    TSample s = Packet();
    rig.Show(s, 1);
    const QImage& picture = rig.Graph.Picture();
    const int bar = rig.Graph.horizontalScrollBar()->sizeHint().height();
    const double scale = TGraph::YScaleFor(height, bar);
    EXPECT_EQ(picture.height(), static_cast<int>(std::lround(TGraph::ImageHeight * scale)));
    const int visible =
        std::max(height - bar, static_cast<int>(TGraph::ContentHeight * TGraph::MinYScale));
    const QRect shown(0, 0, picture.width(), visible);
    EXPECT_GT(rig.Count(Lime, {0, 0, 100, visible}), 0) << height;  // the low level
    EXPECT_GT(rig.Count(Grey, shown), 0) << height;                 // bit marks
    EXPECT_GT(rig.Count(Green, shown), 0) << height;                // field marks
    EXPECT_EQ(rig.Count(Green, {0, visible, picture.width(), picture.height()}), 0) << height;
    if (height >= 281) {
      EXPECT_EQ(picture.height(), TGraph::ImageHeight);
    }
  }
  EXPECT_DOUBLE_EQ(TGraph::YScaleFor(20, 15), TGraph::MinYScale);
}
