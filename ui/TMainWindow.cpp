#include "TMainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "TAboutBox.h"
#include "TAnchors.h"
#include "TCodeExport.h"
#include "TCodeLibrary.h"
#include "TDeviceWatch.h"
#include "TDialogs.h"
#include "TElidedLabel.h"
#include "TExportMemory.h"
#include "TFonts.h"
#include "TGraph.h"
#include "TInputDecoder.h"
#include "TInputMenu.h"
#include "TIrFormats.h"
#include "TLearnDialog.h"
#include "TLevelMeter.h"
#include "TLibraryLocator.h"
#include "TLinkLabel.h"
#include "TMatchStyle.h"
#include "TNoPacketsText.h"
#include "TPacketList.h"
#include "TPacketListControls.h"
#include "TPortAudioOutput.h"
#include "TRecordButton.h"
#include "TRecordingDecoder.h"
#include "TSendMenu.h"
#include "TSettingsStore.h"
#include "TStringGrid.h"
#include "TTimeTexts.h"
#include "TUnsavedSamples.h"
#include "U_protocolRecognition.h"
#include "U_signalProcessor.h"

namespace {
// Window geometry at 96 dots per inch.
const QPoint WindowPosition(262, 152);
const QSize ClientSize(1146, 699);        // between the menu bar and the status bar
constexpr int MinimumWidth = 652;         // 660 with the window's frame
constexpr int MinimumClientHeight = 407;  // the graph at its least, the details at theirs
constexpr int GraphMinimumHeight = 120;   // the graph's frame, before anything else shrinks
constexpr int TitleBarAllowance = 32;     // what a window manager's title bar usually takes
constexpr int GapTextPadding = 12;        // pixels around a grid cell's text
constexpr int StatusHeight = 21, PanelWidth = 150;
constexpr int DefaultFontPixels = 11, NameFontPixels = 17;
constexpr int HScaleMin = 1, HScaleMax = 6;
constexpr int SampleColumns = TPacketList::Columns, DataColumns = 4;
// Time, Protocol, Data, Length, Gap, Name, Repeats, Source (stretched to the grid's end).
const int SampleColumnWidths[SampleColumns] = {75, 120, 180, 60, 60, 90, 95, 90};
constexpr int GapColumn = static_cast<int>(TPacketList::TColumn::Gap);
const int DataColumnWidths[DataColumns] = {97, 64, 59, 83};
const char* DataHeaders[DataColumns] = {"data name", "dec", "hex", "bin"};
const QColor Navy(0, 0, 128);

// Texts of the window.
const char* RecordingStopped = "Recording stopped";
const char* RecordingActive = "Recording active";
const char* BuffersProcessedText = "Buffers processed: ";
const char* NoSampleSelected = "Please select a packet.";
const char* RecordHint = "Click to start or stop collecting samples from the audio input (Ctrl+R)";
const QKeySequence RecordKeys(Qt::CTRL | Qt::Key_R);
const char* WidestGapText = "8888.8ms";
const char* SamplesFilter = "Sample MAP files (*.map);;All files (*)";
const char* SaveTitle = "Save samples (a .map and a .dat file)";
const char* MapSuffix = ".map";
const char* LoadTitle = "Load samples (pick the .map file)";
const char* ImportTitle = "Import a recording or a code file";
const char* LibraryPrefix = "Library: ";
const char* NoLibrary = "No protocol library loaded";
const char* NoLibraryNote =
    "No protocol library is loaded, so no packet can be recognised.\n\n%1\n\nPut a "
    "protocols.xml into one of these folders and start the program again.";
const char* ImportedFrom = "Imported from %1 at %2.\n\n";
const char* InvertName = "Invert input";
const char* BitmapTitle = "Export graph image";
const char* BitmapFilter = "Bitmap image (*.BMP) (*.bmp)";
const char* UnableToOpen = "Unable to open samples, file ";
const char* NotFound = " not found";
const char* RecordingsFilter =
    "Recordings and code files (*.wav *.flac *.aiff *.aif *.ogg *.au *.caf *.ir *.txt *.conf "
    "*.mode2);;All files (*)";
const char* DetailsTitle = " Packet details ";
const char* NamedDetailsTitle = " Packet details: %1 ";
const char* NothingToExport = "There are no packets to export.";
const char* CannotWrite = "Cannot write %1: %2";
const char* LeftOut = "These signals were left out:\n%1";
constexpr int MaxProblemsShown = 10;
const char* ImportingText = "Importing %1...";
const char* LevelHintStyle = "QLabel { color: #9A4D00; font-weight: bold; padding: 0 4px; }";
const char* ImportedOne = "%1 packet imported";
const char* ImportedMany = "%1 packets imported";
const char* ImportedSummaryTip = "%1 imported from %2";
const char* SettingsText = "Settings: %1";
const char* LearnedInto = "Learned protocol added to %1";

constexpr double MillisecondsPerDay = 86400000.0;
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

QString DescriptionText(const std::string& Text) {
  QString text = QString::fromStdString(Text);
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  return text;
}
}  // namespace

TMainWindow::TMainWindow(std::unique_ptr<TDialogs> DialogsIn, std::unique_ptr<TSoundSystem> Sound,
                         std::vector<std::string> Folders)
    : Dialogs(DialogsIn ? std::move(DialogsIn) : std::make_unique<TQtDialogs>(this)),
      PendingSound(std::move(Sound)),
      Anchors(new TAnchors(this)),
      Importer(std::make_unique<TImportWorker>()),
      LibraryFolders(std::move(Folders)) {
  Importer->OnProgress = [this](double Fraction) {
    if (ImportProgress) ImportProgress->SetFraction(Fraction);
  };
  Importer->OnDone = [this](TImportWorker::TOutcome& Outcome) {
    Guarded([&] { FinishImport(Outcome); });
  };
  setObjectName("gui");
  setWindowTitle("Vorlent");
  setFont(TFonts::SansSerif(DefaultFontPixels));
  CreateControls();
  CreateMenu();
  CreateStatusBar();
  BindEvents();
  move(WindowPosition);
  resize(ClientSize.width(), menuBar()->sizeHint().height() + ClientSize.height() + StatusHeight);
  setMinimumSize(SmallestSize(menuBar()->sizeHint().height()));
  if (const QScreen* screen = QGuiApplication::screenAt(WindowPosition)) {
    FitInto(screen->availableGeometry());
  } else if (const QScreen* primary = QGuiApplication::primaryScreen()) {
    FitInto(primary->availableGeometry());
  }
  Guarded([this] { FormCreate(); });
  if (SamplesGrid->Cell(0, 0).isEmpty()) WriteGridHeaders();  // also after a failed start
  aboutForm = new TAboutBox(this, *Dialogs);
}

TMainWindow::~TMainWindow() {
  // The import's worker posts to this window: stop it at its next buffer and wait for it.
  Importer.reset();
  // The sound system's thread posts to this window: end it while the window is whole.
  if (Processor) Processor->OnError = nullptr;
  Processor.reset();
}

void TMainWindow::CreateControls() {
  auto* client = new QWidget(this);
  client->resize(ClientSize);
  setCentralWidget(client);
  const int lt = TAnchors::Left | TAnchors::Top;

  GroupBox2 = new QGroupBox(" Graph ", client);
  Anchors->Place(GroupBox2, {8, 0, 1134, 305}, lt | TAnchors::Right, ClientSize);
  graph = new TGraph(GroupBox2, *Dialogs);
  Anchors->Place(graph, {8, 16, 1116, 281}, TAnchors::All, {1134, 305});
  Anchors->GiveHeightFirst(GroupBox2, GraphMinimumHeight);

  tbHScale = new QSlider(Qt::Horizontal, client);
  tbHScale->setRange(HScaleMin, HScaleMax);
  tbHScale->setValue(HScaleMin);
  tbHScale->setPageStep(2);
  tbHScale->setTickInterval(1);
  tbHScale->setTickPosition(QSlider::TicksAbove);
  Anchors->Place(tbHScale, {16, 320, 89, 25}, lt, ClientSize);
  Label1 = new QLabel("zoom", client);
  Anchors->Place(Label1, {48, 344, Label1->sizeHint().width(), Label1->sizeHint().height()}, lt,
                 ClientSize);

  RecordButton = new TRecordButton("Recording", client);
  RecordButton->setToolTip(RecordHint);
  RecordButton->setShortcut(RecordKeys);
  Anchors->Place(RecordButton, {128, 320, 97, 33}, lt, ClientSize);
  ClearSamples = new QPushButton("Clear samples", client);
  Anchors->Place(ClearSamples, {240, 320, 97, 33}, lt, ClientSize);
  ChB_invertInput = new QCheckBox("Invert input", client);
  Anchors->Place(ChB_invertInput, {136, 360, 97, 17}, lt, ClientSize);
  LevelMeter = new TLevelMeter(client);
  Anchors->Place(LevelMeter, {240, 360, 97, 15}, lt, ClientSize);

  CreateDetails();
  CreateSamples();

  for (QWidget* w : client->findChildren<QWidget*>()) {
    if (w->objectName().isEmpty()) continue;
    if (qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w)) w->setFocusPolicy(Qt::NoFocus);
  }
  RecordButton->setFocusPolicy(Qt::TabFocus);  // a click leaves the focus where it was
  setTabOrder(tbHScale, RecordButton);
  setTabOrder(RecordButton, FilterBox);
  setTabOrder(FilterBox, SamplesGrid);
  setTabOrder(SamplesGrid, SGprotocolData);
  setTabOrder(SGprotocolData, Mdescription);
  setTabOrder(Mdescription, ClearSamples);
  setTabOrder(ClearSamples, ChB_invertInput);

  GroupBox2->setObjectName("GroupBox2");
  graph->setObjectName("graph");
  tbHScale->setObjectName("tbHScale");
  Label1->setObjectName("Label1");
  RecordButton->setObjectName("RecordButton");
  ClearSamples->setObjectName("ClearSamples");
  ChB_invertInput->setObjectName("ChB_invertInput");
}

void TMainWindow::CreateDetails() {
  const QSize design(345, 323);
  GB_details = new QGroupBox(DetailsTitle, centralWidget());
  GB_details->setObjectName("GB_details");
  Anchors->Place(GB_details, {8, 376, 345, 323}, TAnchors::Left | TAnchors::Top | TAnchors::Bottom,
                 ClientSize);

  LProtocolName = new QLabel(NoSampleSelected, GB_details);
  LProtocolName->setTextFormat(Qt::PlainText);
  LProtocolName->setObjectName("LProtocolName");
  LProtocolName->setFont(TFonts::Arial(NameFontPixels));
  Anchors->Place(LProtocolName, {16, 24, design.width() - 24, LProtocolName->sizeHint().height()},
                 TAnchors::Left | TAnchors::Top, design);

  URLlabel = new TLinkLabel(QString(), GB_details);
  URLlabel->setObjectName("URLlabel");
  QFont underlined = URLlabel->font();
  underlined.setUnderline(true);
  URLlabel->setFont(underlined);
  QPalette navy = URLlabel->palette();
  navy.setColor(QPalette::WindowText, Navy);
  URLlabel->setPalette(navy);
  URLlabel->setCursor(Qt::PointingHandCursor);
  Anchors->Place(URLlabel, {8, 48, design.width() - 16, URLlabel->fontMetrics().height()},
                 TAnchors::Left | TAnchors::Top, design);

  Mdescription = new QPlainTextEdit(GB_details);
  Mdescription->setObjectName("Mdescription");
  Mdescription->setReadOnly(true);
  Mdescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Anchors->Place(Mdescription, {8, 64, 329, 147}, TAnchors::All, design);

  SGprotocolData = new TStringGrid(GB_details, DataColumns);
  SGprotocolData->setObjectName("SGprotocolData");
  SGprotocolData->SetRowCount(2);
  SGprotocolData->setSelectionBehavior(QAbstractItemView::SelectItems);
  SGprotocolData->setSelectionMode(QAbstractItemView::ContiguousSelection);
  for (int c = 0; c < DataColumns; ++c) SGprotocolData->setColumnWidth(c, DataColumnWidths[c]);
  Anchors->Place(SGprotocolData, {8, 218, 329, 97},
                 TAnchors::Left | TAnchors::Right | TAnchors::Bottom, design);
}

void TMainWindow::CreateSamples() {
  GB_Samples = new QGroupBox(" Samples ", centralWidget());
  GB_Samples->setObjectName("GB_Samples");
  Anchors->Place(GB_Samples, {360, 312, 782, 387}, TAnchors::All, ClientSize);
  SamplesGrid = new TStringGrid(GB_Samples, SampleColumns);
  SamplesGrid->setObjectName("SamplesGrid");
  SamplesGrid->SetRowCount(2);
  SamplesGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  SamplesGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (int c = 0; c < SampleColumns; ++c) SamplesGrid->setColumnWidth(c, SampleColumnWidths[c]);
  const int gapWidth = SamplesGrid->fontMetrics().horizontalAdvance(WidestGapText) + GapTextPadding;
  SamplesGrid->setColumnWidth(GapColumn, std::max(SampleColumnWidths[GapColumn], gapWidth));
  SamplesGrid->horizontalHeader()->setStretchLastSection(true);
  Anchors->Place(SamplesGrid, {8, 16, 766, 337}, TAnchors::All, {782, 387});
  FilterBox = new QLineEdit(GB_Samples);
  FilterBox->setObjectName("FilterBox");
  Anchors->Place(FilterBox, {8, 358, 766, 22}, TAnchors::Left | TAnchors::Right | TAnchors::Bottom,
                 {782, 387});
  PacketList = std::make_unique<TPacketList>(*SamplesGrid);
}

void TMainWindow::CreateMenu() {
  menuBar()->setObjectName("MainMenu");
  File1 = menuBar()->addMenu("&File");
  File1->setObjectName("File1");
  auto add = [this](const char* Name, const char* Caption, QKeySequence Keys) {
    QAction* action = File1->addAction(Caption);
    action->setObjectName(Name);
    action->setShortcut(Keys);
    return action;
  };
  SaveSamples = add("SaveSamples", "&Save samples", QKeySequence(Qt::CTRL | Qt::Key_S));
  loadSamples = add("loadSamples", "&Load samples", QKeySequence(Qt::CTRL | Qt::Key_L));
  ImportRecording =
      add("ImportRecording", "&Import recording...", QKeySequence(Qt::CTRL | Qt::Key_I));
  ExportCodes =
      add("ExportCodes", "Export &codes...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
  LearnProtocol = add("LearnProtocol", "Lea&rn protocol...", QKeySequence());
  exportGraph = add("exportGraph", "&Export graph", QKeySequence(Qt::CTRL | Qt::Key_E));
  CopytimingtoClipboard1 = add("CopytimingtoClipboard1", "Copy &timing to Clipboard",
                               QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C));
  Exit = add("Exit", "Cl&ose", QKeySequence());  // C is Export codes'
  About1 = menuBar()->addAction("&About");
  About1->setObjectName("About1");
  SettingsMenu = new QMenu("&Settings", this);
  SettingsMenu->setObjectName("SettingsMenu");
  menuBar()->insertMenu(About1, SettingsMenu);
  DecodeSettingsAction = SettingsMenu->addAction("&Decoding settings...");
  DecodeSettingsAction->setObjectName("DecodeSettingsAction");
  ViewMenu = new QMenu("&View", this);
  ViewMenu->setObjectName("ViewMenu");
  menuBar()->insertMenu(SettingsMenu->menuAction(), ViewMenu);
  FoldRepeats = ViewMenu->addAction("&Fold repeats");
  FoldRepeats->setObjectName("FoldRepeats");
  FoldRepeats->setCheckable(true);
  FoldRepeats->setChecked(true);
}

void TMainWindow::CreateStatusBar() {
  statusBar()->setObjectName("StatusBar");
  statusBar()->setFixedHeight(StatusHeight);
  const Qt::Alignment alignments[3] = {Qt::AlignCenter, Qt::AlignCenter,
                                       Qt::AlignLeft | Qt::AlignVCenter};
  for (int i = 0; i < 3; ++i) {
    StatusPanels[i] = new QLabel(statusBar());
    StatusPanels[i]->setObjectName(QString("StatusPanel%1").arg(i));
    StatusPanels[i]->setFixedWidth(PanelWidth);
    StatusPanels[i]->setAlignment(alignments[i]);
    StatusPanels[i]->setFrameShape(QFrame::Panel);
    StatusPanels[i]->setFrameShadow(QFrame::Sunken);
    statusBar()->addWidget(StatusPanels[i]);
  }
  StatusPanels[0]->setText(RecordingStopped);
  LevelHint = new QLabel(statusBar());
  LevelHint->setObjectName("LevelHint");
  LevelHint->setStyleSheet(LevelHintStyle);
  LevelHint->hide();
  statusBar()->addWidget(LevelHint);
  SettingsPanel = new QLabel(statusBar());
  SettingsPanel->setObjectName("SettingsPanel");
  statusBar()->addPermanentWidget(SettingsPanel);
  // The rest of the bar; a long path loses its middle, never widens the window (the tooltip
  // has it all).
  LibraryPanel = new TElidedLabel(statusBar());
  LibraryPanel->setObjectName("LibraryPanel");
  statusBar()->addWidget(LibraryPanel, 1);
}

QString TMainWindow::PanelText(int Index) const {
  return StatusPanels[Index]->text();
}

void TMainWindow::BindEvents() {
  connect(RecordButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { RecordButtonClick(); }); });
  connect(ClearSamples, &QPushButton::clicked, this, [this] {
    Guarded([this] {
      if (Unsaved->MayDiscard("Clear samples")) ClearSamplesClick();
    });
  });
  connect(tbHScale, &QSlider::valueChanged, this,
          [this] { Guarded([this] { tbHScaleChange(); }); });
  connect(SamplesGrid, &TStringGrid::SelectCell, this, [this](int Column, int Row) {
    Guarded([&] {
      bool canSelect = true;
      SamplesGridSelectCell(Column, Row, canSelect);
    });
  });
  connect(URLlabel, &TLinkLabel::Clicked, this, [this] { Guarded([this] { URLlabelClick(); }); });
  connect(ChB_invertInput, &QCheckBox::toggled, this,
          [this] { Guarded([this] { ChB_invertInputClick(); }); });
  ChB_invertInput->installEventFilter(this);
  connect(About1, &QAction::triggered, this, [this] { Guarded([this] { About1Click(); }); });
  connect(SaveSamples, &QAction::triggered, this,
          [this] { Guarded([this] { SaveSamplesClick(); }); });
  connect(loadSamples, &QAction::triggered, this,
          [this] { Guarded([this] { loadSamplesClick(); }); });
  connect(ImportRecording, &QAction::triggered, this,
          [this] { Guarded([this] { ImportRecordingClick(); }); });
  connect(ExportCodes, &QAction::triggered, this,
          [this] { Guarded([this] { ExportCodesClick(); }); });
  connect(LearnProtocol, &QAction::triggered, this,
          [this] { Guarded([this] { LearnProtocolClick(); }); });
  connect(exportGraph, &QAction::triggered, this,
          [this] { Guarded([this] { exportGraphClick(); }); });
  connect(CopytimingtoClipboard1, &QAction::triggered, this,
          [this] { Guarded([this] { CopytimingtoClipboard1Click(); }); });
  connect(Exit, &QAction::triggered, this, [this] { Guarded([this] { ExitClick(); }); });
  connect(DecodeSettingsAction, &QAction::triggered, this,
          [this] { Guarded([this] { DecodeSettingsClick(); }); });
  connect(FoldRepeats, &QAction::toggled, this,
          [this] { Guarded([this] { FoldRepeatsClick(); }); });
}

bool TMainWindow::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == ChB_invertInput && Event->type() == QEvent::KeyPress) {
    Guarded([this] { ChB_invertInputKeyPress(); });
  }
  return QMainWindow::eventFilter(Watched, Event);
}

template <typename Handler>
void TMainWindow::Guarded(Handler&& Run) {
  try {
    Run();
  } catch (const std::exception& error) {
    ApplicationShowException(error);
  } catch (...) {
    ApplicationShowException(std::runtime_error("Unknown error"));
  }
}

void TMainWindow::ApplicationShowException(const std::exception& Error) {
  QString text = QString::fromStdString(Error.what());
  if (!text.isEmpty() && text.back() > QChar('.')) text += '.';
  Dialogs->ShowError(text);
}

void TMainWindow::FormCreate() {
  Processor = std::make_unique<TSignalProcessor>();
  Processor->OnError = [this](const std::string& Text) { ReportError(Text); };
  Processor->OnNewSample = [this] { NewSample(); };
  Processor->Init(this, SampleRate, std::move(PendingSound));
  new TDeviceWatch(this, *Processor, [this] { ShowRecordingState(); });  // a lost device
  Unsaved = std::make_unique<TUnsavedSamples>(*Dialogs, Processor->Samples);
  InputMenu = new TInputMenu(menuBar(), About1, Processor->WaveIn->SoundSystem(),
                             [this] { Guarded([this] { InputChanged(); }); });
  SendMenu = new TSendMenu(
      menuBar(), About1,
      {[] { return std::make_shared<TPortAudioOutput>(); }, [this] { return SelectedSamples(); },
       [this] { return std::make_shared<const TCodeLibrary>(*Recognition); },
       [this](const std::string& Text) { ReportError(Text); }});
  graph->SampleRate = SampleRate;
  CreateListControls();
  Recognition = std::make_unique<TProtocolRecognition>();
  Recognition->OnReport = [this](const std::string& Text) {
    Dialogs->ShowMessage(QString::fromStdString(Text));
  };
  Recognition->SampleRate = SampleRate;
  LoadDecodeSettings();
  LoadLibrary(LibraryFolders);
  WriteGridHeaders();
}

// The first library found is used and shown in the status bar; none found, or a broken one,
// is reported once and the window runs with an empty library.
void TMainWindow::LoadLibrary(const std::vector<std::string>& Folders) {
  const TLibraryLocator locator(Folders);
  const std::string file = locator.Find();
  std::string report;
  if (file.empty()) {
    report = locator.NotFoundText();
  } else {
    Recognition->OnReport = [&report, &file](const std::string& Text) {
      report = file + ":\r" + Text;
    };
    Recognition->LoadProtocols(file);
    Recognition->OnReport = [this](const std::string& Text) {
      Dialogs->ShowMessage(QString::fromStdString(Text));
    };
  }
  LoadedLibrary = report.empty() ? file : std::string();
  LibraryProblem = report;
  LibraryPanel->setText(LoadedLibrary.empty() ? NoLibrary
                                              : LibraryPrefix + QString::fromStdString(file));
  LibraryPanel->setToolTip(QString::fromStdString(report.empty() ? file : report));
  if (!report.empty()) Dialogs->ShowMessage(QString::fromStdString(report));
}

QSize TMainWindow::SmallestSize(int MenuHeight) {
  return {MinimumWidth, MenuHeight + MinimumClientHeight + StatusHeight};
}

void TMainWindow::FitInto(const QRect& Available) {
  if (Available.isEmpty()) return;
  const QSize room(Available.width(), Available.height() - TitleBarAllowance);
  const QSize fitted = size().boundedTo(room).expandedTo(minimumSize());
  resize(fitted);
  QPoint at = pos();
  at.setX(std::clamp(at.x(), Available.left(),
                     std::max(Available.left(), Available.right() + 1 - fitted.width())));
  at.setY(std::clamp(
      at.y(), Available.top(),
      std::max(Available.top(), Available.bottom() + 1 - TitleBarAllowance - fitted.height())));
  move(at);
}

void TMainWindow::WriteGridHeaders() {
  for (int c = 0; c < SampleColumns; ++c)
    SamplesGrid->SetCell(c, 0, TPacketList::Header(static_cast<TPacketList::TColumn>(c)));
  for (int c = 0; c < DataColumns; ++c) SGprotocolData->SetCell(c, 0, DataHeaders[c]);
}

void TMainWindow::InputChanged() {
  if (!Processor->WaveIn->Recording) return;
  RecordButtonClick();  // stops
  RecordButtonClick();  // and starts again, on the chosen input
}

void TMainWindow::RecordButtonClick() {
  if (Processor->WaveIn->Recording)
    Processor->StopRecording();
  else
    Processor->StartRecording();
  ShowRecordingState();
}

// What the capture really does, not what was asked: a failed start stays "stopped".
void TMainWindow::ShowRecordingState() {
  const bool recording = Processor->WaveIn->Recording;
  if (!recording) LevelMeter->Reset();
  ShowLevelHint();
  RecordButton->setChecked(recording);
  StatusPanels[0]->setText(recording ? RecordingActive : RecordingStopped);
}

void TMainWindow::Post(const TMessage& Message) {
  QMetaObject::invokeMethod(
      this, [this, Message] { DeliverBuffer(Message); }, Qt::QueuedConnection);
}

void TMainWindow::DeliverBuffer(const TMessage& Message) {
  // A message box opened while a buffer is handled runs a nested event loop; buffers that
  // arrive meanwhile wait until that buffer is done.
  WaitingBuffers.push_back(Message);
  if (InBufferfull) return;
  InBufferfull = true;
  while (!WaitingBuffers.empty()) {
    const TMessage next = WaitingBuffers.front();
    WaitingBuffers.pop_front();
    Guarded([&] { Bufferfull(next); });
  }
  InBufferfull = false;
}

void TMainWindow::Bufferfull(const TMessage& Message) {
  WatchLevel(Message);
  Processor->ProcessBuffer(Message);
  StatusPanels[1]->setText(BuffersProcessedText + QString::number(Processor->BuffersProcessed));
}

QString TMainWindow::SampleTimeText(const TSample& Sample) {
  if (Sample.Source.empty() || Sample.StreamIndex < 0) return TimeOfDayText(Sample.CaptureTime);
  const double seconds = static_cast<double>(Sample.StreamIndex) / SampleRate;
  return QString::fromStdString(TTimeTexts::ClockText(seconds))
      .replace('.', QLocale().decimalPoint());
}

// The level meter sees each buffer as it arrives, before the packet cutter turns it over.
void TMainWindow::WatchLevel(const TMessage& Message) {
  const TWaveHdr* header = Message.LParam;
  if (!Processor->WaveIn->Recording || !header || !header->lpData) return;
  const size_t size =
      std::min<size_t>(header->dwBufferLength, static_cast<size_t>(Processor->CaptureBufferSize));
  LevelMeter->Measure(header->lpData, size, SampleRate, ChB_invertInput->isChecked(),
                      DecodeSettings.TriggerLevel, DecodeSettings.AutomaticLevel);
  ShowLevelHint();
}

void TMainWindow::ShowLevelHint() {
  const QString hint = LevelMeter->HintText();
  LevelHint->setText(hint);
  LevelHint->setVisible(!hint.isEmpty());
}

void TMainWindow::NewSample() {
  ListNewSamples(static_cast<int>(Processor->Samples.size()) - 1);
}

// Decodes Samples[First..] where needed, lists them and shows the newest one's row.
void TMainWindow::ListNewSamples(int First) {
  const int count = static_cast<int>(Processor->Samples.size());
  if (First < 0 || First >= count) return;
  for (int i = First; i < count; ++i) {
    if (!Processor->Samples[i]->Protocol) Recognition->Decode(*Processor->Samples[i]);
  }
  PacketList->Append(Processor->Samples, First);
  ShowListedPacket(count - 1);
}

// Makes the row of packet Index current and shows that row's packet (a folded row shows its
// first); a packet no row lists (filtered out) is shown all the same.
void TMainWindow::ShowListedPacket(int Index) {
  const int row = PacketList->RowOf(Index);
  const bool moves = row > 0 && SamplesGrid->CurrentRow() != row;
  SamplesGrid->SetCurrentRow(row);  // a new current row shows its packet through the grid
  if (!moves) SelectSample(row > 0 ? PacketList->PacketAt(row) : Index);
}

void TMainWindow::AppendSamples(std::vector<std::unique_ptr<TSample>> Samples) {
  const int first = static_cast<int>(Processor->Samples.size());
  for (auto& sample : Samples) Processor->AddSample(std::move(sample));
  ListNewSamples(first);
}

void TMainWindow::SelectSample(int Index) {
  if (Index < 0 || Index >= static_cast<int>(Processor->Samples.size())) return;
  TSample& sample = *Processor->Samples[Index];
  if (!sample.Protocol) Recognition->Decode(sample);  // never show an undecoded sample
  const TProtocol& protocol = *sample.Protocol;
  LProtocolName->setText(QString::fromStdString(protocol.ListName()));
  GB_details->setTitle(sample.Name.empty()
                           ? QString(DetailsTitle)
                           : QString(NamedDetailsTitle).arg(QString::fromStdString(sample.Name)));
  std::string url, description;
  Recognition->GetDescription(protocol.ProtocolName, url, description);
  QString details = DescriptionText(description);
  if (const TMatchStyle& style = TMatchStyle::For(protocol.Match); !style.Plain())
    details = style.Heading(protocol.MatchNote) + "\n\n" + details;
  if (LoadedLibrary.empty()) details = QString(NoLibraryNote).arg(DescriptionText(LibraryProblem));
  if (!sample.Source.empty()) {
    details.prepend(
        QString(ImportedFrom).arg(QString::fromStdString(sample.Source), SampleTimeText(sample)));
  }
  Mdescription->setPlainText(details);
  URLlabel->setText(QString::fromStdString(url));
  if (protocol.Fields.empty()) {
    SGprotocolData->SetRowCount(2);
    SGprotocolData->ClearRow(1);
  } else {
    SGprotocolData->SetRowCount(static_cast<int>(protocol.Fields.size()) + 1);
    for (size_t i = 0; i < protocol.Fields.size(); ++i) {
      const TProtocolField& field = protocol.Fields[i];
      const int row = static_cast<int>(i) + 1;
      SGprotocolData->SetCell(0, row, QString::fromStdString(field.Name));
      if (!field.Text.empty()) {  // shown as it is (hex bytes); no single number to convert
        SGprotocolData->SetCell(1, row, QString::fromStdString(field.Text));
        SGprotocolData->SetCell(2, row, "");
        SGprotocolData->SetCell(3, row, "");
        continue;
      }
      SGprotocolData->SetCell(1, row, QString::number(field.Value));
      SGprotocolData->SetCell(2, row, "0x" + QString::number(field.Value, 16).toUpper());
      SGprotocolData->SetCell(3, row, ConvertToBin(field.Value));
    }
  }
  graph->SetSample(&sample);
  graph->Draw();
}

void TMainWindow::UpdateSamplesGrid() {
  const int count = static_cast<int>(Processor->Samples.size());
  PacketList->Show(Processor->Samples);
  if (count == 0) {
    SamplesGrid->SetCurrentRow(-1);  // nothing to select; the details stay as they are
    return;
  }
  ShowListedPacket(count - 1);
}

void TMainWindow::ClearSamplesClick() {
  graph->Clear();  // it must not draw a freed sample
  Processor->ClearSamples();
  PacketList->Clear();
  ClearDetails();
}

// The details pane as at start: no packet selected.
void TMainWindow::ClearDetails() {
  LProtocolName->setText(NoSampleSelected);
  URLlabel->setText(QString());
  Mdescription->clear();
  SGprotocolData->SetRowCount(2);
  SGprotocolData->ClearRow(1);
}

void TMainWindow::SamplesGridSelectCell(int, int Row, bool& CanSelect) {
  CanSelect = true;
  if (const int packet = PacketList->PacketAt(Row); packet >= 0) SelectSample(packet);
}

void TMainWindow::tbHScaleChange() {
  graph->SetHScale(static_cast<uint8_t>(tbHScale->value()));
  graph->Draw();
}

void TMainWindow::ChB_invertInputClick() {
  Processor->InvertInput = ChB_invertInput->isChecked();
}

void TMainWindow::ChB_invertInputKeyPress() {
  Processor->InvertInput = ChB_invertInput->isChecked();
}

void TMainWindow::URLlabelClick() {
  if (!URLlabel->text().isEmpty()) Dialogs->OpenUrl(URLlabel->text());
}

void TMainWindow::ReportError(const std::string& Text) {
  Dialogs->ShowMessage(QString::fromStdString(Text));
}

void TMainWindow::About1Click() {
  aboutForm->ShowBox();
}

void TMainWindow::SaveSamplesClick() {
  QString name = Dialogs->GetSaveFileName(SaveTitle, SamplesFilter, false);
  if (name.isEmpty()) return;
  // The name is the pair's base: a chosen "x.map" writes x.map and x.dat, not x.map.map.
  if (name.endsWith(MapSuffix, Qt::CaseInsensitive) && name.size() > 4) name.chop(4);
  if (!Unsaved->MayReplace(name.toStdString())) return;
  Processor->SaveSamples(name.toStdString());
  Unsaved->Saved();
}

void TMainWindow::loadSamplesClick() {
  const QString name = Dialogs->GetOpenFileName(SamplesFilter, LoadTitle, SamplesFolder.Get());
  if (name.isEmpty()) return;
  SamplesFolder.Remember(name);
  const QString dataFile =
      QString::fromStdString(TSignalProcessor::DataFileName(name.toStdString()));
  if (!QFileInfo(dataFile).isFile()) {
    Dialogs->ShowMessage(UnableToOpen + QFileInfo(dataFile).absoluteFilePath() + NotFound);
    return;
  }
  // Read the whole pair first: a failed load throws here and loses nothing.
  std::string note;
  std::vector<std::unique_ptr<TSample>> loaded = Processor->ReadSamples(name.toStdString(), &note);
  if (!Unsaved->MayDiscard(loadSamples->text().remove('&'))) return;
  ClearSamplesClick();
  for (auto& sample : loaded) Processor->AddSample(std::move(sample));
  Unsaved->Saved();
  for (auto& sample : Processor->Samples) {
    if (!sample->Protocol) Recognition->Decode(*sample);
  }
  UpdateSamplesGrid();
  if (!note.empty()) Dialogs->ShowMessage(QString::fromStdString(note + "."));
}

// The file is read by the import worker so that a long recording never stalls the window:
// live buffers, the grid and the graph keep working, and the progress box is not modal. Its
// packets come back to this thread, where they are decoded and appended at once, so grid rows
// and list positions match throughout, whatever live recording appends meanwhile.
void TMainWindow::ImportRecordingClick() {
  if (ImportRunning()) return;  // one import at a time (the menu item is disabled meanwhile)
  const QString name =
      Dialogs->GetOpenFileName(RecordingsFilter, ImportTitle, RecordingsFolder.Get());
  if (name.isEmpty()) return;
  RecordingsFolder.Remember(name);
  TRecordingDecoder::TOptions options;
  static_cast<TDecodeSettings&>(options) = DecodeSettings;
  options.InvertInput = ChB_invertInput->isChecked();
  Importer->Start(name.toStdString(), options, std::make_shared<const TCodeLibrary>(*Recognition));
  ImportRecording->setEnabled(false);
  ImportProgress = Dialogs->OpenProgress(QString(ImportingText).arg(QFileInfo(name).fileName()),
                                         [this] { Importer->Cancel(); });
}

bool TMainWindow::ImportRunning() const {
  return Importer->Running();
}

void TMainWindow::FinishImport(TImportWorker::TOutcome& Outcome) {
  ImportProgress.reset();
  ImportRecording->setEnabled(true);
  if (Outcome.Cancelled) return;
  if (Outcome.Error) std::rethrow_exception(Outcome.Error);  // shown by the error report
  if (Outcome.Samples.empty())
    SayWhenNothingFound(Outcome);
  else
    ShowImportSummary(Outcome.FileName, Outcome.Samples.size());
  if (!Outcome.Samples.empty()) AppendSamples(std::move(Outcome.Samples));
  if (!Outcome.Problems.empty()) ReportLeftOut(Outcome.Problems);
  if (!Outcome.EndsEarly.empty()) Dialogs->ShowError(QString::fromStdString(Outcome.EndsEarly));
}

// The stored settings; a value that cannot be used is reported and its default used.
void TMainWindow::LoadDecodeSettings() {
  std::vector<QString> problems;
  DecodeSettings = TSettingsStore().Load(problems);
  for (const QString& problem : problems) Dialogs->ShowMessage(problem);
  ApplyDecodeSettings();
}

void TMainWindow::ApplyDecodeSettings() {
  Processor->Configure(DecodeSettings);
  Recognition->SetTolerance(DecodeSettings.ToleranceSeconds());
  Recognition->SecondPass = DecodeSettings.SecondPass;
  Recognition->GenericPass = DecodeSettings.Generic;
  const std::string differences = DecodeSettings.DifferencesText();
  SettingsPanel->setText(differences.empty()
                             ? QString()
                             : QString(SettingsText).arg(QString::fromStdString(differences)));
  SettingsPanel->setVisible(!differences.empty());
}

void TMainWindow::DecodeSettingsClick() {
  TDecodeSettings settings = DecodeSettings;
  if (!Dialogs->EditDecodeSettings(settings) || settings == DecodeSettings) return;
  const bool levelChanged = settings.AutomaticLevel != DecodeSettings.AutomaticLevel ||
                            settings.TriggerLevel != DecodeSettings.TriggerLevel;
  DecodeSettings = settings;
  ApplyDecodeSettings();
  const QString failure = TSettingsStore().Save(DecodeSettings);
  DecodeAgain(levelChanged);
  if (!failure.isEmpty()) Dialogs->ShowMessage(failure);
}

// Decodes the listed packets again with the current settings (their runs anew when the
// level changed; a packet without a signal keeps its runs) and keeps the selected row.
void TMainWindow::DecodeAgain(bool LevelChanged) {
  if (Processor->Samples.empty()) return;
  for (auto& sample : Processor->Samples) {
    if (LevelChanged && !sample->Signal.empty()) Processor->ExtractPulses(*sample);
    sample->Protocol.reset();
    for (auto& row : sample->Marks) row.clear();
    Recognition->Decode(*sample);
  }
  const int shown = PacketList->PacketAt(SamplesGrid->CurrentRow());
  UpdateSamplesGrid();
  if (shown >= 0) ShowListedPacket(shown);
}

void TMainWindow::ShowImportSummary(const std::string& FileName, size_t Packets) {
  const QString name = QFileInfo(QString::fromStdString(FileName)).fileName();
  StatusPanels[2]->setText(QString(Packets == 1 ? ImportedOne : ImportedMany).arg(Packets));
  StatusPanels[2]->setToolTip(QString(ImportedSummaryTip).arg(Packets).arg(name));
}

void TMainWindow::SayWhenNothingFound(const TImportWorker::TOutcome& Outcome) {
  const std::string name =
      QFileInfo(QString::fromStdString(Outcome.FileName)).fileName().toStdString();
  Dialogs->ShowMessage(
      QString::fromStdString(TNoPacketsText::For(name, Outcome.Options.InvertInput, InvertName)));
}

// Names the signals of a code file that were not imported, the first few of them.
void TMainWindow::ReportLeftOut(const std::vector<std::string>& Problems) {
  QStringList lines;
  for (size_t i = 0; i < Problems.size() && i < MaxProblemsShown; ++i)
    lines << QString::fromStdString(Problems[i]);
  if (Problems.size() > MaxProblemsShown)
    lines << QString("(%1 more)").arg(Problems.size() - MaxProblemsShown);
  Dialogs->ShowMessage(QString(LeftOut).arg(lines.join('\n')));
}

std::vector<const TSample*> TMainWindow::SelectedSamples() const {
  std::vector<const TSample*> selected;
  if (!ListControls) return selected;
  for (const int packet : ListControls->SelectedKeys()) {
    if (packet >= 0 && packet < static_cast<int>(Processor->Samples.size()))
      selected.push_back(Processor->Samples[static_cast<size_t>(packet)].get());
  }
  return selected;
}

void TMainWindow::ExportCodesClick() {
  ExportPackets({});
}

// Packets (several: the selection's) are all exported; none: the selected row's packet or all.
void TMainWindow::ExportPackets(const std::vector<int>& Packets) {
  const auto& samples = Processor->Samples;
  if (samples.empty()) {
    Dialogs->ShowMessage(NothingToExport);
    return;
  }
  const int row =
      Packets.size() == 1 ? Packets.front() : PacketList->PacketAt(SamplesGrid->CurrentRow());
  const bool selected = row >= 0 && row < static_cast<int>(samples.size());
  const TSample* current = selected ? samples[static_cast<size_t>(row)].get() : nullptr;
  TExportCodesChoice choice;
  choice.AllPackets = !selected;
  choice.CarrierHz = ExportCarrierHz;
  TExportMemory::Recall(choice);
  if (Packets.size() == 1) choice.AllPackets = false;
  if (Packets.size() > 1) choice.AllPackets = true;
  if (current)
    choice.Name = QString::fromStdString(current->Name.empty() ? TCodeExport::DefaultName(*current)
                                                               : current->Name);
  QStringList formats;
  for (const TIrFormat* format : TIrFormats::All())
    formats << QString("%1 (*.%2)").arg(format->Title(), format->Extension());
  if (!Dialogs->AskExportCodes(formats, choice)) return;
  choice.Format = TExportMemory::FormatOfName(formats, choice.FileName, choice.Format);
  ExportCarrierHz = choice.CarrierHz;
  const TIrFormat* format = TIrFormats::All().at(std::clamp<size_t>(
      static_cast<size_t>(std::max(choice.Format, 0)), 0, TIrFormats::All().size() - 1));
  TCodeExport exporter(*format, std::make_shared<const TCodeLibrary>(*Recognition),
                       choice.CarrierHz);
  if (Packets.size() > 1) {
    for (int i : Packets) {
      const TSample& sample = *samples.at(static_cast<size_t>(i));
      exporter.Add(sample, sample.Name);
    }
  } else if (choice.AllPackets || !current) {
    for (const auto& sample : samples) exporter.Add(*sample, sample->Name);
  } else {
    exporter.Add(*current, choice.Name.toStdString());
  }
  std::ostringstream text;
  exporter.Write(text);
  QSaveFile file(choice.FileName);
  const std::string bytes = text.str();
  const bool written = file.open(QIODevice::WriteOnly) &&
                       file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                           static_cast<qint64>(bytes.size()) &&
                       file.commit();
  if (!written)
    throw std::runtime_error(
        QString(CannotWrite).arg(choice.FileName, file.errorString()).toStdString());
  TExportMemory::Remember(choice);
}

// Learns a protocol from the selected packets or every unknown and generic one; a definition
// added to the user's library is loaded from there and every packet is decoded again.
void TMainWindow::LearnProtocolClick() {
  TLearnDialog::TPackets selected, unknown;
  for (const int packet : ListControls->SelectedPackets())
    selected.push_back(Processor->Samples[static_cast<size_t>(packet)]->Pulses);
  for (const auto& item : Processor->Samples) {
    const TSample& sample = *item;
    if (!sample.Protocol || !sample.Protocol->Known() ||
        sample.Protocol->Match == TProtocol::TMatch::Generic)
      unknown.push_back(sample.Pulses);
  }
  TLearnDialog dialog(this, std::move(selected), std::move(unknown), DecodeSettings.ToleranceMicros,
                      LoadedLibrary, TLibraryLocator::UserLibraryFile());
  if (dialog.exec() != QDialog::Accepted || dialog.ChangedFile().empty()) return;
  LoadLibrary({std::filesystem::path(dialog.ChangedFile()).parent_path().string()});
  DecodeAgain(false);
  statusBar()->showMessage(QString(LearnedInto).arg(QString::fromStdString(dialog.ChangedFile())));
}

void TMainWindow::exportGraphClick() {
  const QString name = Dialogs->GetSaveFileName(BitmapTitle, BitmapFilter, true);
  if (name.isEmpty()) return;
  graph->ExportBitmap(name);
}

void TMainWindow::CopytimingtoClipboard1Click() {
  graph->CopyTiming();
}

void TMainWindow::ExitClick() {
  close();
}

void TMainWindow::closeEvent(QCloseEvent* Event) {
  if (Unsaved && !Unsaved->MayDiscard("Close")) return Event->ignore();
  // Release the device before the program ends, not when the process is torn down.
  Guarded([this] {
    if (Processor && Processor->WaveIn && Processor->WaveIn->Recording) {
      Processor->StopRecording();
      RecordButton->setChecked(false);
      StatusPanels[0]->setText(RecordingStopped);
    }
  });
  // Closing ends the program: a running import stops at its next buffer and adds nothing.
  Importer->Cancel();
  ImportProgress.reset();
  aboutForm->hide();
  Event->accept();
}

void TMainWindow::CreateListControls() {
  ListControls = new TPacketListControls(*SamplesGrid, *PacketList, Processor->Samples, *FilterBox);
  ListControls->OnRelisted = [this] { Guarded([this] { ShowCurrentAgain(); }); };
  ListControls->OnCopyTiming = [this](int Packet) {
    Guarded([this, Packet] {
      ShowListedPacket(Packet);
      CopytimingtoClipboard1Click();
    });
  };
  ListControls->OnDelete = [this](const std::vector<int>& Packets) {
    Guarded([this, &Packets] { DeletePackets(Packets); });
  };
  ListControls->OnExport = [this](const std::vector<int>& Packets) {
    Guarded([this, &Packets] { ExportPackets(Packets); });
  };
}

void TMainWindow::FoldRepeatsClick() {
  const int shown = PacketList->PacketAt(SamplesGrid->CurrentRow());
  PacketList->SetFolding(FoldRepeats->isChecked(), Processor->Samples);
  if (shown >= 0) ShowListedPacket(shown);
}

// After a sort or a filter: the packet shown stays current where it is still listed.
void TMainWindow::ShowCurrentAgain() {
  const int shown = graph->ShownSample() ? IndexOf(graph->ShownSample()) : -1;
  SamplesGrid->SetCurrentRow(PacketList->RowOf(shown));
}

int TMainWindow::IndexOf(const TSample* Sample) const {
  const auto& samples = Processor->Samples;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (samples[i].get() == Sample) return static_cast<int>(i);
  }
  return -1;
}

void TMainWindow::DeletePackets(const std::vector<int>& Packets) {
  if (Packets.empty()) return;
  auto& samples = Processor->Samples;
  graph->Clear();  // it must not draw a freed sample
  for (auto i = Packets.rbegin(); i != Packets.rend(); ++i) {
    if (*i >= 0 && *i < static_cast<int>(samples.size())) samples.erase(samples.begin() + *i);
  }
  ClearDetails();
  PacketList->Show(samples);
  const int next = std::min(Packets.front(), static_cast<int>(samples.size()) - 1);
  if (next >= 0) ShowListedPacket(next);
}

QString TMainWindow::niceTimePeriod(float Seconds) {
  return QString::fromStdString(TTimeTexts::niceTimePeriod(Seconds))
      .replace('.', QLocale().decimalPoint());
}

QString TMainWindow::ConvertToBin(uint64_t Value) {
  if (Value == 0) return "0";
  QString text;
  for (; Value != 0; Value >>= 1) text.prepend(Value & 1 ? '1' : '0');
  return text;
}

QString TMainWindow::TimeOfDayText(double CaptureTime) {
  const double fraction = CaptureTime - std::floor(CaptureTime);
  const auto ms = static_cast<int>(std::llround(fraction * MillisecondsPerDay) %
                                   static_cast<long long>(MillisecondsPerDay));
  return QLocale().toString(QTime::fromMSecsSinceStartOfDay(ms), LongTimeFormat());
}
