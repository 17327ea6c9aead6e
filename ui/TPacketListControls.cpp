#include "TPacketListControls.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <algorithm>
#include <set>

#include "TGridView.h"

namespace {
const char* const FilterHint = "Filter: protocol, data, name or file";
const char* const CopyRowsCaption = "&Copy row";
const char* const CopyTimingCaption = "Copy &timing";
const char* const DeleteCaption = "&Delete";
const char* const ExportCaption = "&Export selection...";
}  // namespace

TPacketListControls::TPacketListControls(TGridView& GridIn, TPacketList& ListIn,
                                         const TPacketList::TSamples& SamplesIn, QLineEdit& Filter)
    : QObject(&GridIn), Grid(GridIn), List(ListIn), Samples(SamplesIn) {
  Filter.setPlaceholderText(FilterHint);
  Filter.setClearButtonEnabled(true);
  connect(&Filter, &QLineEdit::textChanged, this, [this](const QString& Text) {
    List.SetFilter(Text, Samples);
    if (OnRelisted) OnRelisted();
  });
  QHeaderView* header = Grid.horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  connect(header, &QHeaderView::sectionClicked, this, [this, header](int Column) {
    List.SortBy(Column, Samples);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(Column, List.Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
    if (OnRelisted) OnRelisted();
  });
  Grid.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&Grid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& At) { ShowMenu(At); });
}

std::vector<int> TPacketListControls::SelectedRows() const {
  std::set<int> rows;
  for (const QModelIndex& index : Grid.selectionModel()->selectedRows())
    rows.insert(index.row() + 1);
  if (rows.empty() && Grid.CurrentRow() > 0) rows.insert(Grid.CurrentRow());
  std::vector<int> listed;
  for (int row : rows) {
    if (List.PacketAt(row) >= 0) listed.push_back(row);
  }
  return listed;
}

TPacketListControls::TPackets TPacketListControls::SelectedPackets() const {
  TPackets packets;
  for (int row : SelectedRows()) {
    const TPackets members = List.PacketsAt(row);
    packets.insert(packets.end(), members.begin(), members.end());
  }
  std::sort(packets.begin(), packets.end());
  return packets;
}

TPacketListControls::TPackets TPacketListControls::SelectedKeys() const {
  TPackets packets;
  for (int row : SelectedRows()) packets.push_back(List.PacketAt(row));
  std::sort(packets.begin(), packets.end());
  return packets;
}

QString TPacketListControls::SelectedText() const {
  QStringList lines;
  for (int row : SelectedRows()) lines << List.RowText(row);
  return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}

void TPacketListControls::CopyRows() const {
  const QString text = SelectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

QMenu* TPacketListControls::ContextMenu(QWidget* Owner) {
  auto* menu = new QMenu(Owner);
  menu->setObjectName("PacketMenu");
  const TPackets keys = SelectedKeys();
  const bool any = !keys.empty();
  menu->addAction(CopyRowsCaption, this, [this] { CopyRows(); })->setEnabled(any);
  menu->addAction(CopyTimingCaption, this,
                  [this, keys] {
                    if (OnCopyTiming && !keys.empty()) OnCopyTiming(keys.front());
                  })
      ->setEnabled(keys.size() == 1);
  menu->addSeparator();
  const TPackets all = SelectedPackets();
  menu->addAction(DeleteCaption, this,
                  [this, all] {
                    if (OnDelete) OnDelete(all);
                  })
      ->setEnabled(any);
  menu->addAction(ExportCaption, this,
                  [this, keys] {
                    if (OnExport) OnExport(keys);
                  })
      ->setEnabled(any);
  return menu;
}

void TPacketListControls::ShowMenu(const QPoint& At) {
  QMenu* menu = ContextMenu(&Grid);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(Grid.viewport()->mapToGlobal(At));
}
