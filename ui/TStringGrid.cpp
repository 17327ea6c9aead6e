#include "TStringGrid.h"

#include "TGridLook.h"

TStringGrid::TStringGrid(QWidget* Parent, int Columns) : QTableWidget(1, Columns, Parent) {
  TGridLook::Apply(*this);
  for (int c = 0; c < Columns; ++c) setHorizontalHeaderItem(c, new QTableWidgetItem());
  connect(this, &QTableWidget::currentCellChanged, this, [this](int Row, int Column, int, int) {
    if (Row >= 0) emit SelectCell(Column, Row + 1);
  });
}

void TStringGrid::SetRowCount(int Count) {
  setRowCount(std::max(Count, 1) - 1);
}

QString TStringGrid::Cell(int Column, int Row) const {
  if (Column < 0 || Column >= columnCount() || Row < 0 || Row >= RowCount()) return {};
  const QTableWidgetItem* cell = Row == 0 ? horizontalHeaderItem(Column) : item(Row - 1, Column);
  return cell ? cell->text() : QString();
}

void TStringGrid::SetCell(int Column, int Row, const QString& Text) {
  if (Column < 0 || Column >= columnCount() || Row < 0 || Row >= RowCount()) return;
  if (Row == 0) {
    horizontalHeaderItem(Column)->setText(Text);
    return;
  }
  if (QTableWidgetItem* cell = item(Row - 1, Column)) {
    cell->setText(Text);
    return;
  }
  if (!Text.isEmpty()) setItem(Row - 1, Column, new QTableWidgetItem(Text));
}

void TStringGrid::SetCellStyle(int Column, int Row, const QColor& Colour, bool Italic) {
  QTableWidgetItem* cell = Row > 0 ? item(Row - 1, Column) : nullptr;
  if (!cell) return;
  if (Colour.isValid())
    cell->setForeground(Colour);
  else if (cell->data(Qt::ForegroundRole).isValid())
    cell->setData(Qt::ForegroundRole, QVariant());
  if (this->font() != StyleBase) {  // made once, and again when the grid's font changes
    StyleBase = UprightFont = ItalicFont = this->font();
    UprightFont.setItalic(false);
    ItalicFont.setItalic(true);
  }
  cell->setFont(Italic ? ItalicFont : UprightFont);  // one copy for every cell of a style
}

QColor TStringGrid::CellColour(int Column, int Row) const {
  const QTableWidgetItem* cell = Row > 0 ? item(Row - 1, Column) : nullptr;
  if (!cell || !cell->data(Qt::ForegroundRole).isValid()) return {};
  return cell->foreground().color();
}

void TStringGrid::SetRowToolTip(int Row, const QString& Text) {
  if (Row < 1 || Row >= RowCount()) return;
  for (int c = 0; c < columnCount(); ++c) {
    QTableWidgetItem* cell = item(Row - 1, c);
    if (cell && (!Text.isEmpty() || !cell->toolTip().isEmpty())) cell->setToolTip(Text);
  }
}

void TStringGrid::ClearRow(int Row) {
  for (int c = 0; c < columnCount(); ++c) SetCell(c, Row, QString());
  SetRowToolTip(Row, QString());
}

void TStringGrid::SetCurrentRow(int Row) {
  if (Row < 1 || Row >= RowCount()) {
    setCurrentCell(-1, -1);
    return;
  }
  setCurrentCell(Row - 1, std::max(currentColumn(), 0));
  scrollTo(model()->index(Row - 1, std::max(currentColumn(), 0)));
}
