#pragma once
// The main window's five-panel status bar: 0 channel parameters, 1 channel state, 2 send
// representation, 3 receive representation, 4 channel kind. Panels 0-3 are centred, 4 is
// left-aligned. A panel is as wide as its text in the bar's font plus 15 pixels after a fit.

#include <QString>
#include <array>

class QLabel;
class QStatusBar;

namespace app {

class StatusPanels {
 public:
  static constexpr int kCount = 5;
  static constexpr int kStatePanel = 1;

  // Adds the panels (objectName "StatusPanel0" … "StatusPanel4") to the bar.
  explicit StatusPanels(QStatusBar& bar);

  QString text(int panel) const;
  void setText(int panel, const QString& text);
  // One panel's width := its text width + 15 pixels.
  void fit(int panel);
  // FitStatusPanels: every panel.
  void fitAll();
  // Sets the state panel's text and fits that panel alone, as the channels' events do.
  void showState(const QString& text);

 private:
  std::array<QLabel*, kCount> labels_{};
};

}  // namespace app
