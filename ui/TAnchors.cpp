#include "TAnchors.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

void TAnchors::Place(QWidget* Control, QRect Bounds, int Edges, QSize DesignSize) {
  Control->setGeometry(Bounds);
  Controls.push_back({Control, Bounds, Edges, DesignSize});
  QWidget* parent = Control->parentWidget();
  parent->removeEventFilter(this);
  parent->installEventFilter(this);
  if (parent->size() != DesignSize) Control->setGeometry(Follow(Controls.back(), parent->size()));
}

QRect TAnchors::Follow(const TAnchored& Anchored, QSize ParentSize) {
  const int dw = ParentSize.width() - Anchored.DesignSize.width();
  const int dh = ParentSize.height() - Anchored.DesignSize.height();
  QRect r = Anchored.Bounds;
  const bool left = Anchored.Edges & Left, right = Anchored.Edges & Right;
  const bool top = Anchored.Edges & Top, bottom = Anchored.Edges & Bottom;
  if (left && right)
    r.setWidth(std::max(0, r.width() + dw));
  else if (right)
    r.moveLeft(r.left() + dw);
  if (top && bottom)
    r.setHeight(std::max(0, r.height() + dh));
  else if (bottom)
    r.moveTop(r.top() + dh);
  return r;
}

bool TAnchors::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() != QEvent::Resize) return false;
  auto* parent = static_cast<QWidget*>(Watched);
  for (const TAnchored& anchored : Controls) {
    if (anchored.Control->parentWidget() == parent) {
      anchored.Control->setGeometry(Follow(anchored, parent->size()));
    }
  }
  return false;
}
