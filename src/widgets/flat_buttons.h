#pragma once
// The flat picture buttons of the forms: no panel of their own at rest, and the keyboard focus
// shown with the style's focus rectangle. Styles such as Fusion mark the focus on a button's
// panel, which a flat button does not draw, so without the rectangle nothing would show which
// button Space or Enter is about to press. Like every focus cue, the rectangle appears once
// the keyboard has moved the focus in the window (the style's rule).

#include <QPushButton>
#include <QToolButton>

namespace widgets {

class FlatPushButton : public QPushButton {
  Q_OBJECT

 public:
  explicit FlatPushButton(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Raised while the mouse is over it (auto-raise).
class FlatToolButton : public QToolButton {
  Q_OBJECT

 public:
  explicit FlatToolButton(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace widgets
