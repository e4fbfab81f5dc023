#include "textview/view_scroll_bar.h"

#include <QGuiApplication>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace textview {

namespace {

constexpr size_t kLooksKept = 32;
constexpr int kBandRows = 95;  // device rows: a fill of 96 or more is handed to the thread pool

// Calls `paint` with each band of `area` that is at most kBandRows device rows tall, top down.
template <typename Paint>
void forEachBand(const QRect& area, qreal ratio, Paint&& paint) {
  const int band = std::max(1, static_cast<int>(kBandRows / ratio));
  for (int top = area.top(); top <= area.bottom(); top += band)
    paint(QRect(area.left(), top, area.width(), std::min(band, area.bottom() + 1 - top)));
}

// Calls `paint` with a painter on `image` once for each band at most kBandRows device rows tall
// that holds some of the rows [top, bottom] (device-independent), the band its system clip: a
// clip the style cannot widen, as it can a painter's own by setting one of its own. (An image
// over the band's rows of `image`, painted with a painter moved up to them, would need no system
// clip, but moves the phase of the pattern brushes styles fill a bar's pages with: at pixel
// ratios other than 1 it drew rows that differ from the bar drawn whole.)
template <typename Paint>
void paintInBands(QImage& image, int top, int bottom, Paint&& paint) {
  const qreal ratio = image.devicePixelRatio();
  const int first = std::max(0, static_cast<int>(std::floor(top * ratio)));
  const int end = std::min(image.height(), static_cast<int>(std::ceil((bottom + 1) * ratio)));
  QPaintEngine* const engine = image.paintEngine();
  for (int y = first; y < end; y += kBandRows) {
    engine->setSystemClip(QRect(0, y, image.width(), std::min(kBandRows, end - y)));
    QPainter painter(&image);
    paint(painter);
  }
  engine->setSystemClip(QRegion());
}

}  // namespace

ViewScrollBar::ViewScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
  setAutoFillBackground(true);
}

ViewScrollBar::Look ViewScrollBar::look() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
          option.sliderPosition == option.minimum,
          option.sliderPosition == option.maximum,
          option.state,
          option.activeSubControls,
          size(),
          devicePixelRatioF(),
          palette().cacheKey()};
}

bool ViewScrollBar::pointerShows() const {
  return underMouse() || isSliderDown() || QGuiApplication::mouseButtons() != Qt::NoButton ||
         style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this);
}

bool ViewScrollBar::sameState(const Look& from, const Look& to, bool endsMayDiffer) {
  Look state = from;
  state.slider = to.slider;
  if (endsMayDiffer) {
    state.atMinimum = to.atMinimum;
    state.atMaximum = to.atMaximum;
  }
  return state == to;
}

bool ViewScrollBar::onlySliderMoved(const Look& from, const Look& to, bool endsMayDiffer) {
  const auto ranged = [](const Look& look) {
    return !look.slider.isEmpty() && !(look.atMinimum && look.atMaximum);
  };
  return sameState(from, to, endsMayDiffer) && ranged(from) && ranged(to);
}

QRegion ViewScrollBar::changedRows(const Look& from, const Look& to) const {
  if (!onlySliderMoved(from, to, true) || edgeChecks_ < kEdgeChecks || edgesDiffer_) return rect();
  QRegion rows = aroundEdges(from.slider, to.slider);
  // A style may show a button as disabled while the slider stands at its end.
  const auto button = [&](QStyle::SubControl which) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return around(style()->subControlRect(QStyle::CC_ScrollBar, &option, which, this));
  };
  if (from.atMinimum != to.atMinimum) rows |= button(QStyle::SC_ScrollBarSubLine);
  if (from.atMaximum != to.atMaximum) rows |= button(QStyle::SC_ScrollBarAddLine);
  return rows;
}

void ViewScrollBar::sliderChange(SliderChange change) {
  // A transient scroll bar shows itself on a change of value, so every change goes through.
  const bool moves =
      change == SliderRangeChange || change == SliderStepsChange || change == SliderValueChange;
  if (moves && !style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this)) {
    const Look now = look();
    if (now == painted_) return;
    // Only what changes is painted again (the base class would paint all of the bar).
    if (!pointerShows()) {
      update(changedRows(painted_, now));
      return;
    }
  }
  QScrollBar::sliderChange(change);
}

QRect ViewScrollBar::around(const QRect& part) const {
  return QRect(0, part.top() - width(), width(), part.height() + 2 * width());
}

QRegion ViewScrollBar::aroundEdges(const QRect& from, const QRect& to) const {
  // The rows from each end's old place to its new one, and around both: where the sliders
  // differ lies between the places of their tops or of their bottoms.
  QRect spans[2];
  int count = 0;
  const auto span = [&](int a, int b) {
    spans[count++] = around(QRect(0, std::min(a, b), width(), std::abs(a - b) + 1));
  };
  if (from.top() != to.top()) span(from.top(), to.top());
  if (from.bottom() != to.bottom()) span(from.bottom(), to.bottom());
  if (count == 2 && spans[0].bottom() + 1 >= spans[1].top()) spans[0] = spans[0] | spans[--count];
  QRegion rows;
  rows.setRects(spans, count);
  return rows;
}

void ViewScrollBar::drawRows(QImage& image, const QRegion& rows) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls = QStyle::SC_All;
  option.activeSubControls = QStyle::SC_None;
  for (const QRect& part : rows) {
    paintInBands(image, part.top(), part.bottom(), [&](QPainter& painter) {
      painter.fillRect(rect(), palette().brush(backgroundRole()));
      style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    });
  }
}

const QImage& ViewScrollBar::drawnFor(const Look& look) {
  const auto found =
      std::find_if(drawn_.begin(), drawn_.end(), [&](const Drawn& d) { return d.look == look; });
  if (found != drawn_.end()) {
    std::rotate(drawn_.begin(), found, found + 1);
    return drawn_.front().image;
  }
  // As the base class paints it with nothing hovered or pressed, over its own background. A
  // look that differs from one drawn before only in the slider's place or length is that one
  // with the rows around both sliders drawn anew: what a style draws elsewhere (the groove, the
  // pages, the buttons) does not depend on where the slider is. The rows hold room for what a
  // style draws just outside the slider's rectangle (Fusion's outline lies a pixel outside it):
  // the bar's width above and below.
  const auto like = std::find_if(drawn_.begin(), drawn_.end(),
                                 [&](const Drawn& d) { return sameState(d.look, look, false); });
  QImage image = std::move(spare_);
  if (like == drawn_.end()) {
    const QSize pixels = look.size * look.ratio;
    if (image.size() != pixels) image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(look.ratio);
    drawRows(image, rect());
  } else {
    // Most styles draw a slider's middle the same along its length: then only the rows around
    // its ends that moved change, a few dozen where the rows around both sliders may be the
    // whole bar. Until that has held for kEdgeChecks looks in this style, both are drawn and
    // compared; once it fails (a grip drawn at the slider's centre, a gradient along it) the
    // rows around both sliders are drawn from then on.
    const QRect from = like->look.slider;
    const QRegion aroundBoth = QRegion(around(from)) | around(look.slider);
    const QRegion edges = aroundEdges(from, look.slider);
    if (image.size() == like->image.size()) {
      std::memcpy(image.bits(), like->image.constBits(), static_cast<size_t>(image.sizeInBytes()));
      image.setDevicePixelRatio(look.ratio);
    } else {
      image = like->image.copy();
    }
    if (edgesDiffer_ || !onlySliderMoved(like->look, look, false) || edges == aroundBoth) {
      drawRows(image, aroundBoth);
    } else {
      drawRows(image, edges);
      if (edgeChecks_ < kEdgeChecks) {
        QImage whole = like->image.copy();
        drawRows(whole, aroundBoth);
        if (whole == image) {
          ++edgeChecks_;
        } else {
          edgesDiffer_ = true;
          image = std::move(whole);
        }
      }
    }
  }
  if (drawn_.size() == kLooksKept) {
    spare_ = std::move(drawn_.back().image);
    drawn_.pop_back();
  }
  drawn_.insert(drawn_.begin(), {look, std::move(image)});
  return drawn_.front().image;
}

void ViewScrollBar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::StyleChange) {
    drawn_.clear();
    spare_ = QImage();
    painted_ = {};
    edgeChecks_ = 0;
    edgesDiffer_ = false;
  }
  QScrollBar::changeEvent(event);
}

void ViewScrollBar::paintEvent(QPaintEvent* event) {
  const Look now = look();
  // A paint of part of the bar leaves the rest as it was: what shows is then known only when
  // the rest shows the same in both looks.
  const bool whole = event->rect().contains(rect());
  const bool restSame =
      !pointerShows() && (QRegion(changedRows(painted_, now)) - event->region()).isEmpty();
  painted_ = whole || restSame ? now : Look{};
  if (pointerShows()) {
    QScrollBar::paintEvent(event);
    return;
  }
  const QImage& image = drawnFor(now);
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  for (const QRect& part : event->region()) {
    forEachBand(part, now.ratio, [&](const QRect& piece) {
      painter.drawImage(
          piece, image,
          QRectF(QPointF(piece.topLeft()) * now.ratio, QSizeF(piece.size()) * now.ratio));
    });
  }
}

}  // namespace textview
