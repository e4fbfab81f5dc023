#include "app/log_view_scroll_bar.h"

#include <QPaintEvent>
#include <QStyleOptionSlider>

namespace app {

LogScrollBar::LogScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
  setAutoFillBackground(true);
}

LogScrollBar::Look LogScrollBar::look() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
          option.sliderPosition == option.minimum, option.sliderPosition == option.maximum,
          option.state, option.activeSubControls};
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

void LogScrollBar::paintEvent(QPaintEvent* event) {
  // A paint of part of the bar leaves the rest as it was: then what shows is not known.
  painted_ = event->rect().contains(rect()) ? look() : Look{};
  QScrollBar::paintEvent(event);
}

}  // namespace app
