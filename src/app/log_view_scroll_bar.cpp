#include "app/log_view_scroll_bar.h"

#include <QGuiApplication>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

namespace app {

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
// clip the style cannot widen, as it can a painter's own by setting one of its own.
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
  // As the base class paints it with nothing hovered or pressed, over its own background. A
  // look that differs from one drawn before only in the slider's place or length is that one
  // with the rows around both sliders drawn anew: what a style draws elsewhere (the groove, the
  // pages, the buttons) does not depend on where the slider is. The rows hold room for what a
  // style draws just outside the slider's rectangle (Fusion's outline lies a pixel outside it):
  // the bar's width above and below.
  const auto sameState = [&](const Drawn& d) {
    Look state = d.look;
    state.slider = look.slider;
    return state == look;
  };
  const auto around = [&](const QRect& slider) {
    return QRect(0, slider.top() - width(), width(), slider.height() + 2 * width());
  };
  QImage image;
  QRegion rows;
  if (const auto like = std::find_if(drawn_.begin(), drawn_.end(), sameState);
      like != drawn_.end()) {
    image = like->image.copy();
    rows = QRegion(around(like->look.slider)) | around(look.slider);
  } else {
    image = QImage(look.size * look.ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(look.ratio);
    rows = rect();
  }
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
  if (drawn_.size() == kLooksKept) drawn_.pop_back();
  drawn_.insert(drawn_.begin(), {look, std::move(image)});
  return drawn_.front().image;
}

void LogScrollBar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::StyleChange) {
    drawn_.clear();
    painted_ = {};
  }
  QScrollBar::changeEvent(event);
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
