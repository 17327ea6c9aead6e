#pragma once
// The packet list's own controls: sorting by a click on a column's header, the filter box
// and the context menu (copy rows, copy timing, delete, export the selection). It changes
// what the list shows; what the window does with packets it asks through the callbacks.

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "TPacketList.h"

class QAction;
class QLineEdit;
class QMenu;
class QPoint;
class TGridView;

class TPacketListControls : public QObject {
 public:
  using TPackets = std::vector<int>;  // indices into the samples, ascending

  // Works on Grid, which List fills from Samples; Filter is the filter box. All are the
  // window's and outlive this object.
  TPacketListControls(TGridView& Grid, TPacketList& List, const TPacketList::TSamples& Samples,
                      QLineEdit& Filter);

  // Every packet of the selected rows (a folded row's all), ascending; the current row's
  // when none is selected.
  TPackets SelectedPackets() const;
  // The first packet of each selected row, ascending: one per key.
  TPackets SelectedKeys() const;
  // The selected rows' cells, a line of tab-separated cells per row; "" when none.
  QString SelectedText() const;
  // Puts SelectedText on the clipboard (nothing when it is ""). Never fails.
  void CopyRows() const;
  // Builds the context menu for the rows selected now (its owner deletes it).
  QMenu* ContextMenu(QWidget* Owner);

  // What the menu's commands and the list's changes ask of the window.
  std::function<void()> OnRelisted;  // rows were sorted or filtered: show the current one
  std::function<void(int Packet)> OnCopyTiming;
  std::function<void(const TPackets&)> OnDelete;
  std::function<void(const TPackets&)> OnExport;

 private:
  std::vector<int> SelectedRows() const;
  void ShowMenu(const QPoint& At);

  TGridView& Grid;
  TPacketList& List;
  const TPacketList::TSamples& Samples;
};
