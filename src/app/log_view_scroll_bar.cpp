#include "app/log_view_scroll_bar.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

constexpr size_t kLooksKept = 32;
constexpr size_t kBasesKept = 4;  // enough for a slider at either end, at both or at neither
// What a look draws over the bar kept for its state: what the style draws after the groove.
constexpr QStyle::SubControls kDrawnOverBase =
    QStyle::SC_ScrollBarSlider | QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddLine;
constexpr int kBandRows = 64;  // device rows: under the 96 from which a fill is threaded

// Calls `paint` with each band of `area` that is at most kBandRows device rows tall, top down.
template <typename Paint>
void forEachBand(const QRect& area, qreal ratio, Paint&& paint) {
  const int band = std::max(1, static_cast<int>(kBandRows / ratio));
  for (int top = area.top(); top <= area.bottom(); top += band)
    paint(QRect(area.left(), top, area.width(), std::min(band, area.bottom() + 1 - top)));
}

// Calls `paint` with a painter on each band of `image` at most kBandRows device rows tall that
// holds some of the rows [top, bottom] (device-independent), in the coordinates of the whole
// image. Each band is an image of its own over the same pixels: what the style draws cannot
// reach past it, even where it sets a clip of its own.
template <typename Paint>
void paintInBands(QImage& image, int top, int bottom, Paint&& paint) {
  const qreal ratio = image.devicePixelRatio();
  const int first = std::max(0, static_cast<int>(std::floor(top * ratio)));
  const int end = std::min(image.height(), static_cast<int>(std::ceil((bottom + 1) * ratio)));
  for (int y = first; y < end; y += kBandRows) {
    QImage band(image.bits() + y * image.bytesPerLine(), image.width(),
                std::min(kBandRows, end - y), image.bytesPerLine(), image.format());
    band.setDevicePixelRatio(ratio);
    QPainter painter(&band);
    painter.translate(0, -y / ratio);
    paint(painter);
  }
}

}  // namespace

LogScrollBar::LogScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
  setAutoFillBackground(true);
}

LogScrollBar::Look LogScrollBar::look() const {
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

bool LogScrollBar::pointerShows() const {
  return underMouse() || isSliderDown() || QGuiApplication::mouseButtons() != Qt::NoButton ||
         style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this);
}

void LogScrollBar::sliderChange(SliderChange change) {
  // A transient scroll bar shows itself on a change of value, so every change goes through.
  const bool moves =
      change == SliderRangeChange || change == SliderStepsChange || change == SliderValueChange;
  if (moves && !style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this) &&
      look() == painted_)
    return;
  QScrollBar::sliderChange(change);
}

QStyleOptionSlider LogScrollBar::restingOption(QStyle::SubControls parts) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls = parts;
  option.activeSubControls = QStyle::SC_None;
  return option;
}

const QImage& LogScrollBar::baseFor(const Look& look) {
  Look key = look;
  key.slider = {};
  const auto found =
      std::find_if(bases_.begin(), bases_.end(), [&](const Drawn& d) { return d.look == key; });
  if (found != bases_.end()) return found->image;
  if (bases_.size() == kBasesKept) bases_.pop_back();
  // Over its own background, band by band, so that no fill of the style's is tall enough to go
  // to the thread pool.
  QImage image(look.size * look.ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(look.ratio);
  const QStyleOptionSlider option =
      restingOption(QStyle::SubControls(QStyle::SC_All) & ~kDrawnOverBase);
  paintInBands(image, 0, height() - 1, [&](QPainter& painter) {
    painter.fillRect(rect(), palette().brush(backgroundRole()));
    style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
  });
  bases_.insert(bases_.begin(), {key, std::move(image)});
  return bases_.front().image;
}

const QImage& LogScrollBar::drawnFor(const Look& look) {
  const auto found =
      std::find_if(drawn_.begin(), drawn_.end(), [&](const Drawn& d) { return d.look == look; });
  if (found != drawn_.end()) {
    std::rotate(drawn_.begin(), found, found + 1);
    return drawn_.front().image;
  }
  if (drawn_.size() == kLooksKept) drawn_.pop_back();
  // As the base class paints it with nothing hovered or pressed: the bar without its slider
  // and arrow buttons, kept for the look's state, and those drawn over it band by band, as the
  // style draws them after the groove. The bands hold the buttons and the slider, with room
  // for what a style draws just outside the slider's rectangle (Fusion's outline lies a pixel
  // outside it): the bar's width above and below.
  QImage image = baseFor(look).copy();
  const QStyleOptionSlider option = restingOption(kDrawnOverBase);
  const auto fullWidth = [&](const QRect& part) {
    return QRect(0, part.top(), width(), part.height());
  };
  const int reach = width();
  const QRegion rows = QRegion(fullWidth(look.slider.adjusted(0, -reach, 0, reach))) |
                       fullWidth(style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                         QStyle::SC_ScrollBarSubLine, this)) |
                       fullWidth(style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                         QStyle::SC_ScrollBarAddLine, this));
  for (const QRect& part : rows) {
    paintInBands(image, part.top(), part.bottom(), [&](QPainter& painter) {
      style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    });
  }
  drawn_.insert(drawn_.begin(), {look, std::move(image)});
  return drawn_.front().image;
}

void LogScrollBar::paintEvent(QPaintEvent* event) {
  const Look now = look();
  // A paint of part of the bar leaves the rest as it was: then what shows is not known.
  painted_ = event->rect().contains(rect()) ? now : Look{};
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

}  // namespace app
