#pragma once
// A label that reacts to a left click like a link: hand cursor and a Clicked signal.

#include <QLabel>
#include <QMouseEvent>

class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(const QString& Text, QWidget* Parent = nullptr) : QLabel(Text, Parent) {
    setTextFormat(Qt::PlainText);
  }

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* Event) override {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) {
      emit Clicked();
    }
    QLabel::mouseReleaseEvent(Event);
  }
};
