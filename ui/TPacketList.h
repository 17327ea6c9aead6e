#pragma once
// What the packet list shows of the processor's packets and in which rows: one row per
// packet, or (folding, the default) one row per held key, where consecutive packets with the
// same protocol and data, and a protocol's repeat frames after its frame, share the row of the
// first with their count and the time the key was held; sorted by a column or in capture
// order; only the rows that contain a filter text. It is the samples grid's model: model row
// r shows Rows()[r] (grid row r + 1), and one blank row follows the rows; the cells are made
// from the packets when they are asked for. The packets themselves are never changed.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "TSample.h"

class TPacketList : public QAbstractTableModel {
 public:
  using TSamples = std::vector<std::unique_ptr<TSample>>;

  // The columns, in the grid's order.
  enum class TColumn { Time, Protocol, Data, Length, Gap, Name, Repeats, Source };
  static constexpr int Columns = 8;
  static const char* Header(TColumn Column);
  // Packets closer than this continue a held key's row.
  static constexpr float MaxRepeatGapSeconds = 0.25f;
  static constexpr const char* RepeatSuffix = " repeat";  // "NEC repeat" repeats "NEC"

  // One row: the packets it stands for, consecutive in capture order (indices First to
  // First + Count - 1 into the samples; the first is the one shown), and the time from the
  // first one's start to the last one's end.
  struct TRow {
    int First = 0;
    int Count = 0;  // 0: no row
    double HeldSeconds = 0;
  };

  // An empty list: no rows but the blank one.
  TPacketList() = default;

  // True when Next, following Held directly, is the same key held: both known, the same
  // protocol (or Next its repeat frame) and data, and no longer a pause between them than
  // MaxRepeatGapSeconds. Never fails.
  static bool Continues(const TSample& Held, const TSample& Next);
  // The text of Column for Row. Never fails.
  static QString CellText(const TSamples& Samples, const TRow& Row, TColumn Column);

  // Lists every packet of Samples anew (their grouping, filter and order). Never fails.
  void Show(const TSamples& Samples);
  // Lists Samples[FirstNew..], appended since the last Show or Append; a packet that continues
  // the last row joins it. Never fails.
  void Append(const TSamples& Samples, int FirstNew);
  // Folds held keys into one row (On) or lists every packet; lists Samples anew.
  void SetFolding(bool On, const TSamples& Samples);
  bool Folding() const { return Fold; }
  // Sorts by Column: a second call for the same column reverses the order; -1 gives capture
  // order. Ties keep capture order, so the rows of one import stay in their order.
  void SortBy(int Column, const TSamples& Samples);
  int SortColumn() const { return SortedBy; }
  bool Descending() const { return Reversed; }
  // Lists only the rows one of whose cells contains Text (case aside); "" lists all.
  void SetFilter(const QString& Text, const TSamples& Samples);

  // The rows listed, top to bottom.
  const std::vector<TRow>& Rows() const { return Visible; }
  // The first packet of grid row GridRow (1..), or -1 for the header, the blank row or none.
  int PacketAt(int GridRow) const;
  // Every packet of grid row GridRow, in capture order; empty as PacketAt.
  std::vector<int> PacketsAt(int GridRow) const;
  // The grid row that lists packet Index, or -1 when none does (filtered out).
  int RowOf(int Index) const;
  // The cells of grid row GridRow joined by tabs; "" outside the rows.
  QString RowText(int GridRow) const;
  // Forgets every row; the blank row stays.
  void Clear();

  // The model: the rows and the blank row, Columns columns, the headers; a listed row's cells
  // have their text, the Protocol cell its match's colour and italics, every cell the source
  // file as tooltip. An index outside the rows has no data.
  int rowCount(const QModelIndex& Parent = {}) const override;
  int columnCount(const QModelIndex& Parent = {}) const override;
  QVariant data(const QModelIndex& Cell, int Role) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;

 private:
  std::vector<TRow> Group(const TSamples& Samples, int FirstNew);
  bool Passes(const TSamples& Samples, const TRow& Row) const;
  void Sort(const TSamples& Samples);
  void Publish(size_t From);
  void Index();
  const TSample* ShownSample(const TRow& Row) const;
  static QVariant Style(const TSample& Sample, int Role);

  const TSamples* Shown = nullptr;  // the packets of the last listing; the processor's
  int Published = 0;                // the rows the views know of (the blank one aside)
  bool Fold = true;
  int SortedBy = -1;
  bool Reversed = false;
  QString Filter;
  TRow Last;                  // the newest row, listed or not; no packets before the first
  std::vector<TRow> Visible;  // the rows listed
  std::vector<int> RowOfPacket;
};
