#pragma once
// A one-line label that never widens its parent: text too long for it is shown with its
// middle left out ("Library: /home/…/protocols.xml"), so both ends stay readable; text()
// stays whole (the tooltip is the caller's).

#include <QLabel>

class TElidedLabel : public QLabel {
 public:
  explicit TElidedLabel(QWidget* Parent);

  // What is drawn at the present width: text() or its middle elided. Never fails.
  QString Shown() const;

 protected:
  void paintEvent(QPaintEvent* Event) override;
};
