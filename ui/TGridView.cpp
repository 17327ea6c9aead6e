#include "TGridView.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QHeaderView>
#include <algorithm>

TGridView::TGridView(QWidget* Parent, QAbstractItemModel& Model) : QTableView(Parent) {
  ApplyLook();
  setModel(&Model);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& Current, const QModelIndex&) {
            if (Current.isValid()) emit SelectCell(Current.column(), Current.row() + 1);
          });
}

int TGridView::RowCount() const {
  return model()->rowCount() + 1;
}

QString TGridView::Cell(int Column, int Row) const {
  return CellData(Column, Row, Qt::DisplayRole).toString();
}

QColor TGridView::CellColour(int Column, int Row) const {
  if (Row < 1) return {};
  const QVariant colour = CellData(Column, Row, Qt::ForegroundRole);
  if (colour.typeId() == QMetaType::QBrush) return colour.value<QBrush>().color();
  return colour.value<QColor>();
}

int TGridView::CurrentRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() + 1 : -1;
}

void TGridView::SetCurrentRow(int Row) {
  if (Row < 1 || Row >= RowCount()) {
    setCurrentIndex(QModelIndex());
    return;
  }
  const QModelIndex cell = model()->index(Row - 1, std::max(currentIndex().column(), 0));
  setCurrentIndex(cell);
  scrollTo(cell);
}

void TGridView::ApplyLook() {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setTabKeyNavigation(false);  // Tab moves on to the next control
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setMinimumSectionSize(RowHeight);
  rows->setDefaultSectionSize(RowHeight);
  rows->setSectionResizeMode(QHeaderView::Fixed);
  QHeaderView* columns = horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setSectionsClickable(false);
  columns->setHighlightSections(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setFixedHeight(RowHeight + 1);
  columns->setStretchLastSection(false);
}

QVariant TGridView::CellData(int Column, int Row, int Role) const {
  if (Column < 0 || Column >= model()->columnCount() || Row < 0 || Row >= RowCount()) return {};
  if (Row == 0) return model()->headerData(Column, Qt::Horizontal, Role);
  return model()->index(Row - 1, Column).data(Role);
}
