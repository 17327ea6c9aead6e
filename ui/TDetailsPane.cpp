#include "TDetailsPane.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "TAnchors.h"
#include "TFonts.h"
#include "TLinkLabel.h"
#include "TMatchStyle.h"
#include "TPacketTexts.h"
#include "TStringGrid.h"

namespace {
constexpr int NameFontPixels = 17;
constexpr int DataColumns = 4;
const int DataColumnWidths[DataColumns] = {97, 64, 59, 83};
const char* DataHeaders[DataColumns] = {"data name", "dec", "hex", "bin"};
const QColor Navy(0, 0, 128);
const QRect BoxBounds(8, 376, 345, 323);
const char* NoSampleSelected = "Please select a packet.";
const char* DetailsTitle = " Packet details ";
const char* NamedDetailsTitle = " Packet details: %1 ";
const char* ImportedFrom = "Imported from %1 at %2.\n\n";
const char* NoLibraryNote =
    "No protocol library is loaded, so no packet can be recognised.\n\n%1\n\nPut a "
    "protocols.xml into one of these folders and start the program again.";

QString DescriptionText(const std::string& Text) {
  QString text = QString::fromStdString(Text);
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  return text;
}
}  // namespace

TDetailsPane::TDetailsPane(QWidget* Parent, TAnchors& Anchors, QSize ParentDesign) {
  const QSize design = BoxBounds.size();
  Box = new QGroupBox(DetailsTitle, Parent);
  Box->setObjectName("GB_details");
  Anchors.Place(Box, BoxBounds, TAnchors::Left | TAnchors::Top | TAnchors::Bottom, ParentDesign);

  Name = new QLabel(NoSampleSelected, Box);
  Name->setTextFormat(Qt::PlainText);
  Name->setObjectName("LProtocolName");
  Name->setFont(TFonts::Arial(NameFontPixels));
  Anchors.Place(Name, {16, 24, design.width() - 24, Name->sizeHint().height()},
                TAnchors::Left | TAnchors::Top, design);

  Link = new TLinkLabel(QString(), Box);
  Link->setObjectName("URLlabel");
  QFont underlined = Link->font();
  underlined.setUnderline(true);
  Link->setFont(underlined);
  QPalette navy = Link->palette();
  navy.setColor(QPalette::WindowText, Navy);
  Link->setPalette(navy);
  Link->setCursor(Qt::PointingHandCursor);
  Anchors.Place(Link, {8, 48, design.width() - 16, Link->fontMetrics().height()},
                TAnchors::Left | TAnchors::Top, design);

  Description = new QPlainTextEdit(Box);
  Description->setObjectName("Mdescription");
  Description->setReadOnly(true);
  Description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Anchors.Place(Description, {8, 64, 329, 147}, TAnchors::All, design);

  Fields = new TStringGrid(Box, DataColumns);
  Fields->setObjectName("SGprotocolData");
  Fields->SetRowCount(2);
  Fields->setSelectionBehavior(QAbstractItemView::SelectItems);
  Fields->setSelectionMode(QAbstractItemView::ContiguousSelection);
  for (int c = 0; c < DataColumns; ++c) Fields->setColumnWidth(c, DataColumnWidths[c]);
  Anchors.Place(Fields, {8, 218, 329, 97}, TAnchors::Left | TAnchors::Right | TAnchors::Bottom,
                design);
}

void TDetailsPane::Show(const TSample& Sample, const std::string& Url,
                        const std::string& DescriptionIn, const std::string& LibraryProblem) {
  const TProtocol& protocol = *Sample.Protocol;
  Name->setText(QString::fromStdString(protocol.ListName()));
  Box->setTitle(Sample.Name.empty()
                    ? QString(DetailsTitle)
                    : QString(NamedDetailsTitle).arg(QString::fromStdString(Sample.Name)));
  QString details = DescriptionText(DescriptionIn);
  if (const TMatchStyle& style = TMatchStyle::For(protocol.Match); !style.Plain())
    details = style.Heading(protocol.MatchNote) + "\n\n" + details;
  if (!LibraryProblem.empty())
    details = QString(NoLibraryNote).arg(DescriptionText(LibraryProblem));
  if (!Sample.Source.empty()) {
    details.prepend(
        QString(ImportedFrom)
            .arg(QString::fromStdString(Sample.Source), TPacketTexts::SampleTime(Sample)));
  }
  Description->setPlainText(details);
  Link->setText(QString::fromStdString(Url));
  ShowFields(protocol);
}

void TDetailsPane::ShowFields(const TProtocol& Protocol) {
  if (Protocol.Fields.empty()) {
    Fields->SetRowCount(2);
    Fields->ClearRow(1);
    return;
  }
  Fields->SetRowCount(static_cast<int>(Protocol.Fields.size()) + 1);
  for (size_t i = 0; i < Protocol.Fields.size(); ++i) {
    const TProtocolField& field = Protocol.Fields[i];
    const int row = static_cast<int>(i) + 1;
    Fields->SetCell(0, row, QString::fromStdString(field.Name));
    if (!field.Text.empty()) {  // shown as it is (hex bytes); no single number to convert
      Fields->SetCell(1, row, QString::fromStdString(field.Text));
      Fields->SetCell(2, row, "");
      Fields->SetCell(3, row, "");
      continue;
    }
    Fields->SetCell(1, row, QString::number(field.Value));
    Fields->SetCell(2, row, "0x" + QString::number(field.Value, 16).toUpper());
    Fields->SetCell(3, row, TPacketTexts::Binary(field.Value));
  }
}

void TDetailsPane::Clear() {
  Name->setText(NoSampleSelected);
  Link->setText(QString());
  Description->clear();
  Fields->SetRowCount(2);
  Fields->ClearRow(1);
}

void TDetailsPane::WriteHeaders() {
  for (int c = 0; c < DataColumns; ++c) Fields->SetCell(c, 0, DataHeaders[c]);
}
