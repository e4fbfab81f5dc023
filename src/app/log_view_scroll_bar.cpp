#include "app/log_view_scroll_bar.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>

namespace app {

namespace {

constexpr size_t kLooksKept = 32;
constexpr int kBandRows = 64;  // device rows: under the 96 from which a fill is threaded

// Calls `paint` with each band of `area` that is at most kBandRows device rows tall, top down.
template <typename Paint>
void forEachBand(const QRect& area, qreal ratio, Paint&& paint) {
  const int band = std::max(1, static_cast<int>(kBandRows / ratio));
  for (int top = area.top(); top <= area.bottom(); top += band)
    paint(QRect(area.left(), top, area.width(), std::min(band, area.bottom() + 1 - top)));
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

const QImage& LogScrollBar::drawnFor(const Look& look) {
  const auto found =
      std::find_if(drawn_.begin(), drawn_.end(), [&](const Drawn& d) { return d.look == look; });
  if (found != drawn_.end()) {
    std::rotate(drawn_.begin(), found, found + 1);
    return drawn_.front().image;
  }
  if (drawn_.size() == kLooksKept) drawn_.pop_back();
  // As the base class paints it with nothing hovered or pressed, over its own background; band
  // by band, clipped, so that no fill of the style's is tall enough to go to the thread pool.
  QImage image(look.size * look.ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(look.ratio);
  {
    QPainter painter(&image);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    forEachBand(rect(), look.ratio, [&](const QRect& band) {
      painter.setClipRect(band);
      painter.fillRect(band, palette().brush(backgroundRole()));
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
