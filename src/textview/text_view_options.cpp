// The text view's options for use as an editing box, and the edit menu a right click opens where
// no other menu is set up.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QIcon>
#include <QMenu>

#include "textview/text_view.h"

namespace textview {

namespace {

// An entry of the edit menu, its text in the translation Qt's own text edits use, with the
// shortcut beside it as they show it.
QAction* addEditAction(QMenu& menu, const char* text, QKeySequence::StandardKey shortcut,
                       const char* name, const char* icon, bool enabled) {
  QString caption = QCoreApplication::translate("QWidgetTextControl", text);
  if (shortcut != QKeySequence::UnknownKey &&
      !QCoreApplication::testAttribute(Qt::AA_DontShowShortcutsInContextMenus)) {
    caption += u'\t' + QKeySequence(shortcut).toString(QKeySequence::NativeText);
  }
  QAction* action = menu.addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  const QString iconName = QString::fromLatin1(icon);
  if (QIcon::hasThemeIcon(iconName)) action->setIcon(QIcon::fromTheme(iconName));
  action->setEnabled(enabled);
  return action;
}

}  // namespace

// Tab types a tab, as in a plain text edit, unless the view is set to pass the focus on; then
// it never types one, even where the focus has nowhere else to go.
bool TextView::focusNextPrevChild(bool next) {
  if (!tabChangesFocus_) return false;
  QAbstractScrollArea::focusNextPrevChild(next);
  return true;
}

void TextView::removeSelectedText() {
  if (!hasSelection()) return;
  const auto [from, to] = editing_.selection();
  editing_.removeRange(from, to);
}

QMenu* TextView::createStandardContextMenu() {
  auto* menu = new QMenu(this);
  const bool selected = hasSelection();
  connect(addEditAction(*menu, "&Undo", QKeySequence::Undo, "edit-undo", "edit-undo",
                        document_.canUndo()),
          &QAction::triggered, this, &TextView::undo);
  connect(addEditAction(*menu, "&Redo", QKeySequence::Redo, "edit-redo", "edit-redo",
                        document_.canRedo()),
          &QAction::triggered, this, &TextView::redo);
  menu->addSeparator();
  connect(addEditAction(*menu, "Cu&t", QKeySequence::Cut, "edit-cut", "edit-cut", selected),
          &QAction::triggered, this, &TextView::cut);
  connect(addEditAction(*menu, "&Copy", QKeySequence::Copy, "edit-copy", "edit-copy", selected),
          &QAction::triggered, this, &TextView::copy);
  connect(addEditAction(*menu, "&Paste", QKeySequence::Paste, "edit-paste", "edit-paste",
                        !QGuiApplication::clipboard()->text().isEmpty()),
          &QAction::triggered, this, &TextView::paste);
  connect(addEditAction(*menu, "Delete", QKeySequence::UnknownKey, "edit-delete", "edit-delete",
                        selected),
          &QAction::triggered, this, &TextView::removeSelectedText);
  menu->addSeparator();
  connect(addEditAction(*menu, "Select All", QKeySequence::SelectAll, "select-all",
                        "edit-select-all", !document_.isEmpty()),
          &QAction::triggered, this, [this] {
            selectAll();
            publishSelection();
          });
  return menu;
}

// Reached only under the default context menu policy: a view with a menu of its own
// (Qt::CustomContextMenu) is asked for that instead.
void TextView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

}  // namespace textview
