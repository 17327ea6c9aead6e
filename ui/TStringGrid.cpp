#include "TStringGrid.h"

#include <QStandardItemModel>
#include <algorithm>

TStringGrid::TStringGrid(QWidget* Parent, int Columns)
    : TGridView(Parent, *new QStandardItemModel(1, Columns)),
      Cells(static_cast<QStandardItemModel&>(*model())) {
  Cells.setParent(this);
  for (int c = 0; c < Columns; ++c) Cells.setHorizontalHeaderItem(c, new QStandardItem());
}

void TStringGrid::SetRowCount(int Count) {
  Cells.setRowCount(std::max(Count, 1) - 1);
}

void TStringGrid::SetCell(int Column, int Row, const QString& Text) {
  if (Column < 0 || Column >= Cells.columnCount() || Row < 0 || Row >= RowCount()) return;
  if (Row == 0) {
    Cells.horizontalHeaderItem(Column)->setText(Text);
    return;
  }
  if (QStandardItem* cell = Item(Column, Row)) {
    cell->setText(Text);
    return;
  }
  if (!Text.isEmpty()) Cells.setItem(Row - 1, Column, new QStandardItem(Text));
}

void TStringGrid::ClearRow(int Row) {
  for (int c = 0; c < Cells.columnCount(); ++c) SetCell(c, Row, QString());
}

// The item of a cell below the header; null outside the grid or where nothing was written.
QStandardItem* TStringGrid::Item(int Column, int Row) const {
  return Row > 0 ? Cells.item(Row - 1, Column) : nullptr;
}
