#include "TPacketList.h"

#include <QFileInfo>
#include <QFont>
#include <algorithm>
#include <iterator>
#include <numeric>

#include "TMatchStyle.h"
#include "TPacketCells.h"
#include "TPacketTexts.h"

namespace {
// After the columns every front end lists (TPacketCells).
const char* const WindowHeaders[] = {"Name", "Repeats", "Source"};
const char* const RepeatsText = "×%1, %2";  // count, held time

bool SameKey(const TSample& A, const TSample& B) {
  return A.Protocol->ProtocolName == B.Protocol->ProtocolName &&
         A.Protocol->GetDataText() == B.Protocol->GetDataText();
}

bool RepeatOf(const TSample& Frame, const TSample& Repeat) {
  return Repeat.Protocol->ProtocolName == Frame.Protocol->ProtocolName + TPacketList::RepeatSuffix;
}
}  // namespace

const char* TPacketList::Header(TColumn Column) {
  const auto column = static_cast<size_t>(Column);
  if (column < TPacketCells::Count)
    return TPacketCells::Header(static_cast<TPacketCells::TColumn>(column)).c_str();
  return WindowHeaders[column - TPacketCells::Count];
}

bool TPacketList::Continues(const TSample& Held, const TSample& Next) {
  if (!Held.Protocol || !Next.Protocol || !Held.Protocol->Known() || !Next.Protocol->Known())
    return false;
  if (Held.Source != Next.Source || !(Next.Gap <= MaxRepeatGapSeconds)) return false;
  return SameKey(Held, Next) || RepeatOf(Held, Next);
}

QString TPacketList::CellText(const TSamples& Samples, const TRow& Row, TColumn Column) {
  const TSample& sample = *Samples[static_cast<size_t>(Row.First)];
  const TProtocol* protocol = sample.Protocol.get();
  switch (Column) {
    case TColumn::Time:
      return TPacketTexts::SampleTime(sample);
    case TColumn::Protocol:
      return protocol ? QString::fromStdString(protocol->ListName()) : QString();
    case TColumn::Data:
      return protocol ? QString::fromStdString(protocol->GetDataText()) : QString();
    case TColumn::Length:
      return TPacketTexts::TimePeriod(sample.Duration);
    case TColumn::Gap:
      return TPacketTexts::TimePeriod(sample.Gap);
    case TColumn::Name:
      return QString::fromStdString(sample.Name);
    case TColumn::Repeats:
      if (Row.Count < 2) return {};
      return QString(RepeatsText)
          .arg(Row.Count)
          .arg(TPacketTexts::TimePeriod(static_cast<float>(Row.HeldSeconds)));
    case TColumn::Source:
      return QFileInfo(QString::fromStdString(sample.Source)).fileName();
  }
  return {};
}

void TPacketList::Show(const TSamples& Samples) {
  Shown = &Samples;
  Last = {};
  Visible.clear();
  for (TRow& row : Group(Samples, 0)) {
    if (Passes(Samples, row)) Visible.push_back(std::move(row));
  }
  Sort(Samples);
  Publish(0);
}

void TPacketList::Append(const TSamples& Samples, int FirstNew) {
  if (SortedBy >= 0) return Show(Samples);
  Shown = &Samples;
  const int lastSize = Last.Count;
  std::vector<TRow> rows = Group(Samples, FirstNew);
  // The last row may have grown; the rows after it are new. Only they are written.
  size_t from = Visible.size();
  auto next = rows.begin();
  if (lastSize > 0 && (next++)->Count != lastSize) {
    const TRow& grown = rows.front();
    const bool listed = !Visible.empty() && Visible.back().First == grown.First;
    if (listed) {
      Visible.pop_back();
      from = Visible.size();
    }
    if (Passes(Samples, grown)) Visible.push_back(grown);
  }
  for (; next != rows.end(); ++next) {
    if (Passes(Samples, *next)) Visible.push_back(std::move(*next));
  }
  Publish(from);
}

void TPacketList::SetFolding(bool On, const TSamples& Samples) {
  Fold = On;
  Show(Samples);
}

void TPacketList::SortBy(int Column, const TSamples& Samples) {
  if (Column < 0 || Column >= Columns) {
    SortedBy = -1;
    Reversed = false;
  } else {
    Reversed = Column == SortedBy && !Reversed;
    SortedBy = Column;
  }
  Show(Samples);
}

void TPacketList::SetFilter(const QString& Text, const TSamples& Samples) {
  Filter = Text.trimmed();
  Show(Samples);
}

int TPacketList::PacketAt(int GridRow) const {
  if (GridRow < 1 || GridRow > static_cast<int>(Visible.size())) return -1;
  return Visible[static_cast<size_t>(GridRow - 1)].First;
}

std::vector<int> TPacketList::PacketsAt(int GridRow) const {
  if (GridRow < 1 || GridRow > static_cast<int>(Visible.size())) return {};
  const TRow& row = Visible[static_cast<size_t>(GridRow - 1)];
  std::vector<int> packets(static_cast<size_t>(row.Count));
  std::iota(packets.begin(), packets.end(), row.First);
  return packets;
}

int TPacketList::RowOf(int Index) const {
  if (Index < 0 || Index >= static_cast<int>(RowOfPacket.size())) return -1;
  return RowOfPacket[static_cast<size_t>(Index)];
}

QString TPacketList::RowText(int GridRow) const {
  if (GridRow < 1 || GridRow > static_cast<int>(Visible.size())) return {};
  QStringList texts;
  for (int c = 0; c < Columns; ++c)
    texts << data(index(GridRow - 1, c), Qt::DisplayRole).toString();
  return texts.join('\t');
}

void TPacketList::Clear() {
  Last = {};
  Visible.clear();
  RowOfPacket.clear();
  Publish(0);
}

int TPacketList::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : Published + 1;
}

int TPacketList::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : Columns;
}

QVariant TPacketList::data(const QModelIndex& Cell, int Role) const {
  if (!Cell.isValid() || Cell.row() >= std::min(Published, static_cast<int>(Visible.size())))
    return {};
  const TRow& row = Visible[static_cast<size_t>(Cell.row())];
  const TSample* sample = ShownSample(row);
  if (!sample) return {};
  switch (Role) {
    case Qt::DisplayRole:
      return CellText(*Shown, row, static_cast<TColumn>(Cell.column()));
    case Qt::ToolTipRole:
      return sample->Source.empty() ? QVariant() : QString::fromStdString(sample->Source);
    case Qt::ForegroundRole:
    case Qt::FontRole:
      return Cell.column() == static_cast<int>(TColumn::Protocol) ? Style(*sample, Role)
                                                                  : QVariant();
    default:
      return {};
  }
}

QVariant TPacketList::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section >= Columns)
    return {};
  return QString(Header(static_cast<TColumn>(Section)));
}

// Rows for Samples[FirstNew..], the last row before them first (when there is one): each packet
// joins the row before it when folding and it continues that row's last packet, else starts a
// row. Last becomes the newest row.
std::vector<TPacketList::TRow> TPacketList::Group(const TSamples& Samples, int FirstNew) {
  std::vector<TRow> rows;
  if (Last.Count > 0) rows.push_back(Last);
  for (int i = std::max(FirstNew, 0); i < static_cast<int>(Samples.size()); ++i) {
    const TSample& sample = *Samples[static_cast<size_t>(i)];
    if (Fold && !rows.empty() && rows.back().First + rows.back().Count == i &&
        Continues(*Samples[static_cast<size_t>(rows.back().First)], sample)) {
      TRow& row = rows.back();
      ++row.Count;
      row.HeldSeconds += sample.Gap + sample.Duration;
      continue;
    }
    rows.push_back({i, 1, sample.Duration});
  }
  Last = rows.empty() ? TRow() : rows.back();
  return rows;
}

bool TPacketList::Passes(const TSamples& Samples, const TRow& Row) const {
  if (Filter.isEmpty()) return true;
  for (int c = 0; c < Columns; ++c) {
    if (CellText(Samples, Row, static_cast<TColumn>(c)).contains(Filter, Qt::CaseInsensitive))
      return true;
  }
  return false;
}

void TPacketList::Sort(const TSamples& Samples) {
  std::sort(Visible.begin(), Visible.end(),
            [](const TRow& A, const TRow& B) { return A.First < B.First; });
  if (SortedBy < 0) return;
  const auto column = static_cast<TColumn>(SortedBy);
  auto number = [&](const TRow& Row) -> double {
    const TSample& sample = *Samples[static_cast<size_t>(Row.First)];
    switch (column) {
      case TColumn::Length:
        return sample.Duration;
      case TColumn::Gap:
        return sample.Gap;
      case TColumn::Repeats:
        return Row.Count;
      default:
        return Row.First;  // the time: capture order
    }
  };
  const bool numeric = column == TColumn::Time || column == TColumn::Length ||
                       column == TColumn::Gap || column == TColumn::Repeats;
  std::vector<QString> keys;
  if (!numeric) {
    keys.reserve(Visible.size());
    for (const TRow& row : Visible) keys.push_back(CellText(Samples, row, column));
  }
  std::vector<size_t> order(Visible.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  const bool reversed = Reversed;
  std::stable_sort(order.begin(), order.end(), [&](size_t A, size_t B) {
    if (reversed) std::swap(A, B);
    if (numeric) return number(Visible[A]) < number(Visible[B]);
    return keys[A].compare(keys[B], Qt::CaseInsensitive) < 0;
  });
  std::vector<TRow> sorted;
  sorted.reserve(Visible.size());
  for (size_t i : order) sorted.push_back(std::move(Visible[i]));
  Visible = std::move(sorted);
}

// Tells the views the rows from From on are new or changed, and how many there are now.
void TPacketList::Publish(size_t From) {
  const int rows = static_cast<int>(Visible.size());
  if (rows > Published) {
    beginInsertRows({}, Published + 1, rows);
    Published = rows;
    endInsertRows();
  } else if (rows < Published) {
    beginRemoveRows({}, rows + 1, Published);
    Published = rows;
    endRemoveRows();
  }
  Index();
  const int from = static_cast<int>(std::min(From, Visible.size()));
  emit dataChanged(index(from, 0), index(rows, Columns - 1));  // the blank row included
}

void TPacketList::Index() {
  RowOfPacket.assign(Shown ? Shown->size() : 0, -1);
  for (size_t r = 0; r < Visible.size(); ++r) {
    const TRow& row = Visible[r];
    for (int packet = row.First; packet < row.First + row.Count; ++packet) {
      if (static_cast<size_t>(packet) < RowOfPacket.size())
        RowOfPacket[static_cast<size_t>(packet)] = static_cast<int>(r) + 1;
    }
  }
}

const TSample* TPacketList::ShownSample(const TRow& Row) const {
  const auto first = static_cast<size_t>(Row.First);
  return Shown && first < Shown->size() ? (*Shown)[first].get() : nullptr;
}

QVariant TPacketList::Style(const TSample& Sample, int Role) {
  const TMatchStyle& style =
      TMatchStyle::For(Sample.Protocol ? Sample.Protocol->Match : TProtocol::TMatch::Exact);
  if (Role == Qt::ForegroundRole) return style.Colour.isValid() ? style.Colour : QVariant();
  if (!style.Italic) return {};
  QFont italic;  // only the slant: the grid's own font gives the rest
  italic.setItalic(true);
  return italic;
}
