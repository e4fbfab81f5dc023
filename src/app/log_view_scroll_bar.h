#pragma once
// The log view's vertical scroll bar. A stream moves its range and value several times a frame,
// and each move would repaint it; it repaints only when what it shows changes: the slider's
// place and size, whether it stands at either end, its state. It fills its own background, so a
// repaint of it never repaints the widgets behind it (the group box, the window). GUI thread only.

#include <QScrollBar>
#include <QStyle>

namespace app {

class LogScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit LogScrollBar(QWidget* parent = nullptr);

 protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Look {
    QRect slider;
    bool atMinimum = false;
    bool atMaximum = false;
    QStyle::State state;
    QStyle::SubControls active;
    bool operator==(const Look&) const = default;
  };
  Look look() const;

  Look painted_;  // what the last paint showed
};

}  // namespace app
