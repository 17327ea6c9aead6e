#pragma once
// A grid of the window over a table model: rows are counted with the header row as row 0, so
// grid row r shows the model's row r - 1. Fixed rows of one height, a header row of the same
// height with left-aligned texts, grid lines, no header column, not editable, no word wrap.

#include <QColor>
#include <QString>
#include <QTableView>

class QAbstractItemModel;

class TGridView : public QTableView {
  Q_OBJECT

 public:
  static constexpr int RowHeight = 18;  // pixels, header row included

  // A view of Model, which outlives it (or is handed to it as a child); resizable columns.
  TGridView(QWidget* Parent, QAbstractItemModel& Model);

  // Rows including the header row; at least 1.
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
  void ApplyLook();
  QVariant CellData(int Column, int Row, int Role) const;
};
