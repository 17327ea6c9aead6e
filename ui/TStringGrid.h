#pragma once
// A grid of texts written cell by cell, its row 0 the header row: rows are counted header
// included, so row r of the grid is row r - 1 of the table below the header.

#include <QString>

#include "TGridView.h"

class QStandardItem;
class QStandardItemModel;

class TStringGrid : public TGridView {
  Q_OBJECT

 public:
  // A grid of Columns columns and 2 rows (header and one blank row), headers blank.
  TStringGrid(QWidget* Parent, int Columns);

  // Rows beyond Count are dropped; new rows are blank. Count below 1 counts as 1.
  void SetRowCount(int Count);
  // Writes a cell; a cell outside the grid is ignored.
  void SetCell(int Column, int Row, const QString& Text);
  // Empties every cell of Row (the header row included).
  void ClearRow(int Row);

 private:
  QStandardItem* Item(int Column, int Row) const;

  QStandardItemModel& Cells;  // a child of the grid
};
