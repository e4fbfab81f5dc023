#include "app/log_view_scroll_bar.h"

#include <QPaintEvent>
#include <QRegion>
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
  if (!moves || style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this)) {
    QScrollBar::sliderChange(change);
    return;
  }
  const Look now = look();
  if (now == painted_) return;
  if (!painted_.slider.isValid() || now.state != painted_.state || now.active != painted_.active) {
    QScrollBar::sliderChange(change);
    return;
  }
  // Only the slider moved, changed its length or reached an end: the groove stays as it is, so
  // only where the slider was and is now is painted again, and an arrow that turns on or off.
  QStyleOptionSlider option;
  initStyleOption(&option);
  const auto arrow = [&](QStyle::SubControl control) {
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, control, this);
  };
  QRegion changed = painted_.slider.united(now.slider);
  if (now.atMinimum != painted_.atMinimum) changed += arrow(QStyle::SC_ScrollBarSubLine);
  if (now.atMaximum != painted_.atMaximum) changed += arrow(QStyle::SC_ScrollBarAddLine);
  update(changed);
  painted_ = now;
}

void LogScrollBar::paintEvent(QPaintEvent* event) {
  // A paint of all of the bar shows its look now. A paint of a part keeps what is known: either
  // the part is the slider's move above, or the look changed and a paint of all is on its way.
  if (event->rect().contains(rect())) painted_ = look();
  QScrollBar::paintEvent(event);
}

}  // namespace app
