#pragma once
// Buttons that always show the keyboard focus, with the style's focus rectangle drawn over
// them. Styles such as Fusion mark the focus on a button's panel: a flat button draws no panel,
// and a default button's panel looks focused all the time, so without the rectangle nothing
// would show which button Space is about to press. Like every focus cue, the rectangle appears
// once the keyboard has moved the focus in the window (the style's rule).

#include <QPushButton>
#include <QToolButton>

namespace widgets {

class FocusMarkedPushButton : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class FocusMarkedToolButton : public QToolButton {
  Q_OBJECT

 public:
  using QToolButton::QToolButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace widgets
