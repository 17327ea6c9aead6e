#pragma once
// The samples grid: a view of the packet list's rows whose cells are made when they are
// drawn, so a kept packet costs the grid nothing. Rows are counted with the header row as row
// 0, as in TStringGrid: grid row r shows the model's row r - 1.

#include <QColor>
#include <QString>
#include <QTableView>

class QAbstractItemModel;

class TPacketGrid : public QTableView {
  Q_OBJECT

 public:
  // A view of Model (which outlives it) with the look of TGridLook; rows are selected whole.
  TPacketGrid(QWidget* Parent, QAbstractItemModel& Model);

  // Rows including the header row.
  int RowCount() const;
  // The text of a cell, the header's in row 0; "" for a cell outside the grid.
  QString Cell(int Column, int Row) const;
  // The colour the cell's text is shown in; invalid when it has the usual one or is outside.
  QColor CellColour(int Column, int Row) const;
  // The current row, header included in the count; -1 when none.
  int CurrentRow() const;
  // Makes Row (1..RowCount - 1) current, highlighted and scrolled into view; another value
  // leaves no row current.
  void SetCurrentRow(int Row);

 signals:
  // The grid is about to make (Column, Row) the current cell (by mouse, keys or program).
  void SelectCell(int Column, int Row);

 protected:
  // Typing letters moves nowhere: rows are chosen by mouse, arrow and paging keys only.
  void keyboardSearch(const QString&) override {}

 private:
  QVariant CellData(int Column, int Row, int Role) const;
};
