#pragma once
// What the message grid's pick-list editor (a QComboBox) does differently from Qt's combo box:
// - typed characters search with the grid's own type-ahead, in the open list and, in a
//   read-only editor, with the list closed (Qt's keyboard search and inline completion are off);
// - in a read-only editor a single click opens the list only on the arrow button, and a left
//   double click anywhere opens or closes it, as pressing the button does.

#include <QObject>
#include <functional>

#include "widgets/type_ahead.h"

class QComboBox;
class QKeyEvent;
class QMouseEvent;

namespace widgets {

class PickListBehaviour final : public QObject {
 public:
  // Installs itself on the combo box and its list; the combo box owns it. `picked` runs when a
  // typed character puts an item into a read-only editor, so the edit counts as modified.
  static void Attach(QComboBox& combo, std::function<void()> picked);

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  PickListBehaviour(QComboBox& combo, std::function<void()> picked);
  bool listKey(const QKeyEvent& key);
  bool closedKey(const QKeyEvent& key);
  bool readOnlyMouse(const QMouseEvent& mouse);
  QStringList items() const;

  QComboBox& combo_;
  std::function<void()> picked_;
  TypeAhead search_;
};

}  // namespace widgets
