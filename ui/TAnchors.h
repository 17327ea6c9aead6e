#pragma once
// Fixed pixel layout with anchors: a control keeps its distance to the parent edges it is
// anchored to when the parent is resized (both opposite edges: it stretches).

#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

class TAnchors : public QObject {
 public:
  enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8, All = 15 };

  explicit TAnchors(QObject* Owner) : QObject(Owner) {}

  // Places Control at Bounds inside its parent, whose size is taken to be DesignSize at that
  // moment, and keeps it anchored to Edges from then on.
  void Place(QWidget* Control, QRect Bounds, int Edges, QSize DesignSize);
  // Makes Control (placed before, anchored to the top) the first to give up height when its
  // parent is shorter than its design size: it shrinks down to MinHeight and every control of
  // the same parent placed below it moves up as much; only then do the others shrink.
  void GiveHeightFirst(QWidget* Control, int MinHeight);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  struct TAnchored {
    QWidget* Control;
    QRect Bounds;
    int Edges;
    QSize DesignSize;
  };
  static QRect Follow(const TAnchored& Anchored, QSize ParentSize);
  QRect Layout(const TAnchored& Anchored, QSize ParentSize) const;

  std::vector<TAnchored> Controls;
  QWidget* Yielding = nullptr;  // the control of GiveHeightFirst, null when none
  int YieldMinHeight = 0;
};
