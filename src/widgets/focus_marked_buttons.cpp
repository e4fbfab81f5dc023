#include "widgets/focus_marked_buttons.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

namespace widgets {
namespace {

// Drawn over what the button painted, when it has the focus.
void drawFocusMark(QWidget& button, const QRect& rect) {
  if (!button.hasFocus()) return;
  QStyleOptionFocusRect mark;
  mark.initFrom(&button);
  mark.rect = rect;
  mark.backgroundColor = button.palette().color(button.backgroundRole());
  QPainter painter(&button);
  button.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &mark, &painter, &button);
}

}  // namespace

void FocusMarkedPushButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  QStyleOptionButton option;
  initStyleOption(&option);
  drawFocusMark(*this, style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this));
}

void FocusMarkedToolButton::paintEvent(QPaintEvent* event) {
  QToolButton::paintEvent(event);
  constexpr int kInset = 3;  // inside the raised frame
  drawFocusMark(*this, rect().adjusted(kInset, kInset, -kInset, -kInset));
}

}  // namespace widgets
