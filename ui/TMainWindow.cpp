#include "TMainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <algorithm>

#include "TAboutBox.h"
#include "TAnchors.h"
#include "TCodeLibrary.h"
#include "TDecodeFlow.h"
#include "TDetailsPane.h"
#include "TDeviceWatch.h"
#include "TDialogs.h"
#include "TElidedLabel.h"
#include "TFileCommands.h"
#include "TFonts.h"
#include "TGraph.h"
#include "TGridView.h"
#include "TInputMenu.h"
#include "TLevelMeter.h"
#include "TLinkLabel.h"
#include "TPacketList.h"
#include "TPacketListControls.h"
#include "TPacketSync.h"
#include "TPortAudioOutput.h"
#include "TProtocolRecognition.h"
#include "TRecordButton.h"
#include "TSendMenu.h"
#include "TSignalProcessor.h"
#include "TStringGrid.h"
#include "TUnsavedSamples.h"

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
constexpr int DefaultFontPixels = 11;
constexpr int HScaleMin = 1, HScaleMax = 6;
constexpr int SampleColumns = TPacketList::Columns;
// Time, Protocol, Data, Length, Gap, Name, Repeats, Source (stretched to the grid's end).
const int SampleColumnWidths[SampleColumns] = {75, 120, 180, 60, 60, 90, 95, 90};
constexpr int GapColumn = static_cast<int>(TPacketList::TColumn::Gap);

// Texts of the window.
const char* RecordingStopped = "Recording stopped";
const char* RecordingActive = "Recording active";
const char* BuffersProcessedText = "Buffers processed: ";
const char* RecordHint = "Click to start or stop collecting samples from the audio input (Ctrl+R)";
const QKeySequence RecordKeys(Qt::CTRL | Qt::Key_R);
const char* WidestGapText = "8888.8ms";
const char* LevelHintStyle = "QLabel { color: #9A4D00; font-weight: bold; padding: 0 4px; }";
}  // namespace

TMainWindow::TMainWindow(std::unique_ptr<TDialogs> DialogsIn, std::unique_ptr<TSoundSystem> Sound,
                         std::vector<std::string> Folders)
    : Dialogs(DialogsIn ? std::move(DialogsIn) : std::make_unique<TQtDialogs>(this)),
      Files(std::make_unique<TFileCommands>(
          *this, [this](const std::function<void()>& Handler) { Guarded(Handler); })),
      PendingSound(std::move(Sound)),
      Anchors(new TAnchors(this)),
      LibraryFolders(std::move(Folders)) {
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
  if (SGprotocolData->Cell(0, 0).isEmpty()) WriteGridHeaders();  // also after a failed start
  aboutForm = new TAboutBox(this, *Dialogs);
}

TMainWindow::~TMainWindow() {
  // The import's worker posts to this window: stop it at its next buffer and wait for it.
  Files.reset();
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

  Details = std::make_unique<TDetailsPane>(client, *Anchors, ClientSize);
  GB_details = Details->Box;
  LProtocolName = Details->Name;
  URLlabel = Details->Link;
  Mdescription = Details->Description;
  SGprotocolData = Details->Fields;
  CreateSamples();

  for (QWidget* w : client->findChildren<QWidget*>()) {
    if (w->objectName().isEmpty()) continue;
    if (qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w)) w->setFocusPolicy(Qt::NoFocus);
  }
  RecordButton->setFocusPolicy(Qt::TabFocus);  // a click leaves the focus where it was
  QWidget* const tabOrder[] = {tbHScale,       RecordButton, FilterBox,    SamplesGrid,
                               SGprotocolData, Mdescription, ClearSamples, ChB_invertInput};
  for (size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
  const std::pair<QWidget*, const char*> names[] = {{GroupBox2, "GroupBox2"},
                                                    {graph, "graph"},
                                                    {tbHScale, "tbHScale"},
                                                    {Label1, "Label1"},
                                                    {RecordButton, "RecordButton"},
                                                    {ClearSamples, "ClearSamples"},
                                                    {ChB_invertInput, "ChB_invertInput"}};
  for (const auto& [widget, name] : names) widget->setObjectName(name);
}

void TMainWindow::CreateSamples() {
  GB_Samples = new QGroupBox(" Samples ", centralWidget());
  GB_Samples->setObjectName("GB_Samples");
  Anchors->Place(GB_Samples, {360, 312, 782, 387}, TAnchors::All, ClientSize);
  PacketList = std::make_unique<TPacketList>();
  SamplesGrid = new TGridView(GB_Samples, *PacketList);
  SamplesGrid->setObjectName("SamplesGrid");
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
  auto bind = [this](auto* Sender, auto Signal, auto Handler) {
    connect(Sender, Signal, this, [this, Handler] { Guarded(Handler); });
  };
  bind(RecordButton, &QPushButton::clicked, [this] { RecordButtonClick(); });
  bind(ClearSamples, &QPushButton::clicked, [this] {
    if (Unsaved->MayDiscard("Clear samples")) ClearSamplesClick();
  });
  bind(tbHScale, &QSlider::valueChanged, [this] {
    graph->SetHScale(static_cast<uint8_t>(tbHScale->value()));
    graph->Draw();
  });
  connect(SamplesGrid, &TGridView::SelectCell, this, [this](int Column, int Row) {
    Guarded([&] {
      bool canSelect = true;
      SamplesGridSelectCell(Column, Row, canSelect);
    });
  });
  bind(URLlabel, &TLinkLabel::Clicked, [this] {
    if (!URLlabel->text().isEmpty()) Dialogs->OpenUrl(URLlabel->text());
  });
  bind(ChB_invertInput, &QCheckBox::toggled, [this] { InvertChanged(); });
  ChB_invertInput->installEventFilter(this);
  bind(About1, &QAction::triggered, [this] { aboutForm->ShowBox(); });
  bind(DecodeSettingsAction, &QAction::triggered, [this] { Flow->EditSettings(); });
  bind(FoldRepeats, &QAction::toggled, [this] { Sync->Fold(FoldRepeats->isChecked()); });
  BindFileMenu();
}

void TMainWindow::BindFileMenu() {
  auto bind = [this](QAction* Action, auto Handler) {
    connect(Action, &QAction::triggered, this, [this, Handler] { Guarded(Handler); });
  };
  bind(SaveSamples, [this] { Files->Save(); });
  bind(loadSamples, [this] { Files->Load(); });
  bind(ImportRecording, [this] { Files->Import(); });
  bind(ExportCodes, [this] { Files->Export({}); });
  bind(LearnProtocol, [this] { Files->Learn(); });
  bind(exportGraph, [this] { Files->ExportGraph(); });
  bind(CopytimingtoClipboard1, [this] { graph->CopyTiming(); });
  bind(Exit, [this] { close(); });
}

bool TMainWindow::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == ChB_invertInput && Event->type() == QEvent::KeyPress) {
    Guarded([this] { InvertChanged(); });
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TMainWindow::InvertChanged() {
  DecodeSettings.InvertInput = ChB_invertInput->isChecked();
  Processor->Configure(DecodeSettings);
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
  auto report = [this](const std::string& Text) {
    Dialogs->ShowMessage(QString::fromStdString(Text));
  };
  Processor = std::make_unique<TSignalProcessor>();
  Processor->OnError = report;
  Processor->OnNewSample = [this] { Sync->ListCaptured(); };
  if (PendingSound)
    Processor->Init(this, SampleRate, std::move(PendingSound));
  else
    Processor->Init(this, SampleRate);                                   // the sound card
  new TDeviceWatch(this, *Processor, [this] { ShowRecordingState(); });  // a lost device
  Unsaved = std::make_unique<TUnsavedSamples>(*Dialogs, Processor->Samples);
  InputMenu = new TInputMenu(menuBar(), About1, Processor->WaveIn->SoundSystem(),
                             [this] { Guarded([this] { InputChanged(); }); });
  SendMenu = new TSendMenu(
      menuBar(), About1,
      {[] { return std::make_shared<TPortAudioOutput>(); },
       [this] { return Sync->SelectedSamples(); },
       [this] { return std::make_shared<const TCodeLibrary>(*Recognition); }, report});
  graph->SampleRate = SampleRate;
  Recognition = std::make_unique<TProtocolRecognition>();
  Recognition->OnReport = report;
  Recognition->SampleRate = SampleRate;
  Flow = std::make_unique<TDecodeFlow>(DecodeSettings, *Dialogs, *Processor, *Recognition,
                                       *SettingsPanel, *LibraryPanel);
  Sync = std::make_unique<TPacketSync>(*Processor, *Recognition, *PacketList, *SamplesGrid,
                                       *Details, *graph, Flow->LibraryProblem);
  Flow->Sync = Sync.get();
  CreateListControls();
  Flow->LoadSettings();
  Flow->LoadLibrary(LibraryFolders);
  WriteGridHeaders();
}

void TMainWindow::SamplesGridSelectCell(int, int Row, bool& CanSelect) {
  CanSelect = true;
  if (const int packet = PacketList->PacketAt(Row); packet >= 0) Sync->Select(packet);
}

const std::string& TMainWindow::LibraryFile() const {
  static const std::string none;
  return Flow ? Flow->LibraryFile : none;
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
  Details->WriteHeaders();  // the samples grid's come from its list
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
  Files->CancelImport();
  aboutForm->hide();
  Event->accept();
}

void TMainWindow::CreateListControls() {
  ListControls = new TPacketListControls(*SamplesGrid, *PacketList, Processor->Samples, *FilterBox);
  Sync->Controls = ListControls;
  ListControls->OnRelisted = [this] { Guarded([this] { Sync->ShowCurrentAgain(); }); };
  ListControls->OnCopyTiming = [this](int Packet) {
    Guarded([this, Packet] {
      Sync->ShowListed(Packet);
      graph->CopyTiming();
    });
  };
  ListControls->OnDelete = [this](const std::vector<int>& Packets) {
    Guarded([this, &Packets] { Sync->Delete(Packets); });
  };
  ListControls->OnExport = [this](const std::vector<int>& Packets) {
    Guarded([this, &Packets] { Files->Export(Packets); });
  };
}
