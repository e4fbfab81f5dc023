#pragma once
// The log view's vertical scroll bar. A stream moves its range and value several times a frame,
// and each move would repaint it; it repaints only when what it shows changes: the slider's
// place and size, whether it stands at either end, its state. It fills its own background, so a
// repaint of it never repaints the widgets behind it (the group box, the window).
//
// With nothing hovered or pressed it keeps what the style drew for the last few looks it had:
// a stream into a log that fills and clears shows the same few looks over and over. A log that
// grows line by line gives a new look for every line, each drawn from the one before it with
// only the rows around the sliders drawn anew. Looks are drawn, and a paint copies one, in bands
// of fewer rows than Qt's raster engine hands to its thread pool: for a bar a few hundred
// pixels tall the hand-over to the pool (a wake-up of each pooled thread) costs more than the
// drawing. Hovered, pressed or transient, it paints as a plain bar: only the base class knows
// which part is under the pointer. GUI thread only.

#include <QImage>
#include <QScrollBar>
#include <QStyle>
#include <vector>

namespace app {

class LogScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit LogScrollBar(QWidget* parent = nullptr);

 protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;  // a new style draws every look anew

 private:
  struct Look {
    QRect slider;
    bool atMinimum = false;
    bool atMaximum = false;
    QStyle::State state;
    QStyle::SubControls active;
    QSize size;
    qreal ratio = 0;
    qint64 palette = 0;
    bool operator==(const Look&) const = default;
  };
  struct Drawn {
    Look look;
    QImage image;
  };
  Look look() const;
  bool pointerShows() const;  // hovered or pressed, or a transient bar
  const QImage& drawnFor(const Look& look);

  Look painted_;              // what the last paint showed
  std::vector<Drawn> drawn_;  // the looks drawn last, the latest first
};

}  // namespace app
