#include "TGridLook.h"

#include <QHeaderView>
#include <QTableView>

void TGridLook::Apply(QTableView& View) {
  View.setEditTriggers(QAbstractItemView::NoEditTriggers);
  View.setShowGrid(true);
  View.setWordWrap(false);
  View.setTabKeyNavigation(false);  // Tab moves on to the next control
  View.setTextElideMode(Qt::ElideNone);
  View.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  QHeaderView* rows = View.verticalHeader();
  rows->hide();
  rows->setMinimumSectionSize(RowHeight);
  rows->setDefaultSectionSize(RowHeight);
  rows->setSectionResizeMode(QHeaderView::Fixed);
  QHeaderView* columns = View.horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setSectionsClickable(false);
  columns->setHighlightSections(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setFixedHeight(RowHeight + 1);
  columns->setStretchLastSection(false);
}
