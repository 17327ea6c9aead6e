#include "TPacketGrid.h"

#include <QAbstractItemModel>
#include <algorithm>

#include "TGridLook.h"

TPacketGrid::TPacketGrid(QWidget* Parent, QAbstractItemModel& Model) : QTableView(Parent) {
  TGridLook::Apply(*this);
  setModel(&Model);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& Current, const QModelIndex&) {
            if (Current.isValid()) emit SelectCell(Current.column(), Current.row() + 1);
          });
}

int TPacketGrid::RowCount() const {
  return model()->rowCount() + 1;
}

QString TPacketGrid::Cell(int Column, int Row) const {
  return CellData(Column, Row, Qt::DisplayRole).toString();
}

QColor TPacketGrid::CellColour(int Column, int Row) const {
  if (Row < 1) return {};
  return CellData(Column, Row, Qt::ForegroundRole).value<QColor>();
}

int TPacketGrid::CurrentRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() + 1 : -1;
}

void TPacketGrid::SetCurrentRow(int Row) {
  if (Row < 1 || Row >= RowCount()) {
    setCurrentIndex(QModelIndex());
    return;
  }
  const QModelIndex cell = model()->index(Row - 1, std::max(currentIndex().column(), 0));
  setCurrentIndex(cell);
  scrollTo(cell);
}

QVariant TPacketGrid::CellData(int Column, int Row, int Role) const {
  if (Column < 0 || Column >= model()->columnCount() || Row < 0 || Row >= RowCount()) return {};
  if (Row == 0) return model()->headerData(Column, Qt::Horizontal, Role);
  return model()->index(Row - 1, Column).data(Role);
}
