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
  if (parent->size() != DesignSize) Control->setGeometry(Layout(Controls.back(), parent->size()));
}

void TAnchors::GiveHeightFirst(QWidget* Control, int MinHeight) {
  Yielding = Control;
  YieldMinHeight = MinHeight;
  for (const TAnchored& anchored : Controls) {
    if (anchored.Control->parentWidget() == Control->parentWidget())
      anchored.Control->setGeometry(Layout(anchored, Control->parentWidget()->size()));
  }
}

// Follow, after the yielding control has given up what height it can: it is that much
// shorter, and the controls below it lay out as in a parent that much taller, moved up.
QRect TAnchors::Layout(const TAnchored& Anchored, QSize ParentSize) const {
  const auto yielding = std::find_if(Controls.begin(), Controls.end(),
                                     [this](const TAnchored& a) { return a.Control == Yielding; });
  if (yielding == Controls.end() ||
      yielding->Control->parentWidget() != Anchored.Control->parentWidget())
    return Follow(Anchored, ParentSize);
  const int deficit = std::max(0, Anchored.DesignSize.height() - ParentSize.height());
  const int give = std::min(deficit, std::max(0, yielding->Bounds.height() - YieldMinHeight));
  if (Anchored.Control == Yielding) {
    QRect r = Follow(Anchored, ParentSize);
    r.setHeight(r.height() - give);
    return r;
  }
  if (Anchored.Bounds.top() < yielding->Bounds.bottom()) return Follow(Anchored, ParentSize);
  return Follow(Anchored, ParentSize + QSize(0, give)).translated(0, -give);
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
      anchored.Control->setGeometry(Layout(anchored, parent->size()));
    }
  }
  return false;
}
