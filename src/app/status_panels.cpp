#include "app/status_panels.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStatusBar>

namespace app {

StatusPanels::StatusPanels(QStatusBar& bar) {
  constexpr std::array<int, kCount> kCreatedWidths{65, 75, 60, 65, 50};
  for (int i = 0; i < kCount; ++i) {
    auto* label = new QLabel(&bar);
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    label->setTextFormat(Qt::PlainText);  // names and addresses from the ini file, shown as typed
    label->setAlignment(i < 4 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFixedWidth(kCreatedWidths[i]);
    bar.addWidget(label);
    labels_[i] = label;
  }
}

QString StatusPanels::text(int panel) const { return labels_.at(panel)->text(); }

void StatusPanels::setText(int panel, const QString& text) { labels_.at(panel)->setText(text); }

void StatusPanels::fit(int panel) {
  QLabel* label = labels_.at(panel);
  label->setFixedWidth(QFontMetrics(label->font()).horizontalAdvance(label->text()) + 15);
}

void StatusPanels::fitAll() {
  for (int i = 0; i < kCount; ++i) fit(i);
}

void StatusPanels::showState(const QString& text) {
  setText(kStatePanel, text);
  fit(kStatePanel);
}

}  // namespace app
