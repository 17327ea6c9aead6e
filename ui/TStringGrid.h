#pragma once
// A string grid whose row 0 is its header row: rows are counted header included, so row r
// of the grid is row r - 1 of the table below the header.

#include <QColor>
#include <QString>
#include <QTableWidget>

class TStringGrid : public QTableWidget {
  Q_OBJECT

 public:
  // A grid of Columns columns and 2 rows (header and one blank row) with the look of
  // TGridLook.
  TStringGrid(QWidget* Parent, int Columns);

  // Rows including the header row; at least 1.
  int RowCount() const { return rowCount() + 1; }
  // Rows beyond Count are dropped; new rows are blank. Count below 1 counts as 1.
  void SetRowCount(int Count);
  // The text of a cell; "" for a cell outside the grid.
  QString Cell(int Column, int Row) const;
  // Writes a cell; a cell outside the grid is ignored.
  void SetCell(int Column, int Row, const QString& Text);
  // Shows a cell's text in Colour (invalid: the usual one), in italics or upright; a cell
  // outside the grid or without text is ignored.
  void SetCellStyle(int Column, int Row, const QColor& Colour, bool Italic);
  // The colour SetCellStyle gave the cell; invalid when it has the usual one.
  QColor CellColour(int Column, int Row) const;
  // Shows Text as the tooltip of every cell of Row (1..RowCount - 1) that has been written;
  // "" removes it. Another row is ignored.
  void SetRowToolTip(int Row, const QString& Text);
  // Empties every cell of Row (the header row included), tooltips too.
  void ClearRow(int Row);
  // The current row, header included in the count; -1 when none.
  int CurrentRow() const { return currentRow() < 0 ? -1 : currentRow() + 1; }
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
  QFont StyleBase;    // the grid's font the two styles below were made from
  QFont UprightFont;  // shared by the cells of SetCellStyle
  QFont ItalicFont;
};
