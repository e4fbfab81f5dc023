#pragma once
// The text view's vertical scroll bar. A stream moves its range and value several times a frame,
// and each move would repaint it; it repaints only when what it shows changes: the slider's
// place and size, whether it stands at either end, its state. It fills its own background, so a
// repaint of it never repaints the widgets behind it (the group box, the window).
//
// With nothing hovered or pressed it keeps what the style drew for the last few looks it had:
// a stream into a log that fills and clears shows the same few looks over and over. A log that
// grows line by line gives a new look for every line, each drawn from the one before it with
// only the rows around the slider's ends that moved drawn anew, and only they are painted again.
// Looks are drawn, and a paint copies one, in bands of fewer rows than Qt's raster engine hands
// to its thread pool: for a bar a few hundred pixels tall the hand-over to the pool (a wake-up
// of each pooled thread) costs more than the drawing. Hovered, pressed or transient, it paints
// as a plain bar: only the base class knows which part is under the pointer. GUI thread only.

#include <QImage>
#include <QRegion>
#include <QScrollBar>
#include <QStyle>
#include <vector>

namespace textview {

class ViewScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit ViewScrollBar(QWidget* parent = nullptr);

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
  // The rows a part's look may reach: what a style draws just outside a part's rectangle
  // (Fusion's outline lies a pixel outside the slider's) stays within the bar's width of it.
  QRect around(const QRect& part) const;
  // The rows that differ between sliders at `from` and `to` when a style draws a slider's
  // middle the same along its length: those around each end that moved, and between its places.
  QRegion aroundEdges(const QRect& from, const QRect& to) const;
  void drawRows(QImage& image, const QRegion& rows);  // the bar as it is, in those rows
  // Whether the looks differ in the slider alone (and whether it stands at an end, with
  // `endsMayDiffer`); onlySliderMoved also wants a slider shown in both and the range not empty.
  static bool sameState(const Look& from, const Look& to, bool endsMayDiffer);
  static bool onlySliderMoved(const Look& from, const Look& to, bool endsMayDiffer);
  // The rows where the bar showing `to` may differ from it showing `from`: the rows around the
  // slider's ends that moved and the buttons at an end it came to or left, once that is found
  // to hold in this style (see drawnFor); else the whole bar.
  QRegion changedRows(const Look& from, const Look& to) const;

  Look painted_;              // what the last paint showed
  std::vector<Drawn> drawn_;  // the looks drawn last, the latest first
  QImage spare_;  // the memory of the look dropped last, for the next: no allocation, no faults
  static constexpr int kEdgeChecks = 3;
  int edgeChecks_ = 0;        // looks in this style drawn both ways and found equal
  bool edgesDiffer_ = false;  // ... or found to differ once
};

}  // namespace textview
