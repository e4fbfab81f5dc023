#include "widgets/message_grid_pick_list.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionComboBox>

namespace widgets {
namespace {

// The printable characters a key typed; empty for keys that type nothing.
QString typedText(const QKeyEvent& key) {
  QString text = key.text();
  text.removeIf([](QChar c) { return !c.isPrint(); });
  return text;
}

bool onArrowButton(const QComboBox& combo, const QPoint& pos) {
  QStyleOptionComboBox option;
  option.initFrom(&combo);
  option.editable = combo.isEditable();
  option.subControls = QStyle::SC_All;
  return combo.style()
      ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, &combo)
      .contains(pos);
}

}  // namespace

void PickListBehaviour::Attach(QComboBox& combo, std::function<void()> picked) {
  new PickListBehaviour(combo, std::move(picked));
}

PickListBehaviour::PickListBehaviour(QComboBox& combo, std::function<void()> picked)
    : QObject(&combo), combo_(combo), picked_(std::move(picked)) {
  // An editable pick list takes the typed text as it is, without completing it to an item.
  if (combo.isEditable()) combo.setCompleter(nullptr);
  combo.installEventFilter(this);
  combo.view()->installEventFilter(this);
}

bool PickListBehaviour::eventFilter(QObject* object, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    return object == combo_.view() ? listKey(key) : closedKey(key);
  }
  const bool mouse =
      event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
  if (mouse && object == &combo_ && !combo_.isEditable()) {
    return readOnlyMouse(static_cast<const QMouseEvent&>(*event));
  }
  return false;
}

// In the open list: characters search, Backspace and Escape start the search over; Escape
// still goes on to close the list.
bool PickListBehaviour::listKey(const QKeyEvent& key) {
  if (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Escape) {
    search_.Clear();
    return false;
  }
  const QString text = typedText(key);
  if (text.isEmpty()) return false;
  int found = -1;
  for (const QChar c : text) found = search_.Type(c, items());
  if (found >= 0) combo_.view()->setCurrentIndex(combo_.model()->index(found, 0));
  return true;
}

// With the list closed, a read-only editor picks by first character; an editable one types.
bool PickListBehaviour::closedKey(const QKeyEvent& key) {
  if (combo_.isEditable()) return false;
  const QString text = typedText(key);
  if (text.isEmpty()) return false;
  for (const QChar c : text) {
    const int found = FirstItemStartingWith(c, items());
    if (found < 0) continue;
    combo_.setCurrentIndex(found);
    picked_();
  }
  return true;
}

bool PickListBehaviour::readOnlyMouse(const QMouseEvent& mouse) {
  if (mouse.button() != Qt::LeftButton) return false;
  if (mouse.type() == QEvent::MouseButtonDblClick) {
    if (combo_.view()->isVisible()) {
      combo_.hidePopup();
    } else {
      combo_.showPopup();
    }
    return true;
  }
  return !onArrowButton(combo_, mouse.position().toPoint());
}

QStringList PickListBehaviour::items() const {
  QStringList texts;
  for (int i = 0; i < combo_.count(); ++i) texts.append(combo_.itemText(i));
  return texts;
}

}  // namespace widgets
