#include "dialogs/form_size.h"

#include <QScreen>
#include <QWidget>

#include "store/form_size_store.h"

namespace dialogs {

void RestoreFormSize(QWidget& window, const store::AppFiles& files, const QString& section) {
  const QSize size = store::ReadFormSize(files, section, window.size());
  window.resize(size.expandedTo(window.minimumSize()));
  if (const QScreen* screen = window.screen()) {
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
  }
}

void StoreFormSize(const QWidget& window, const store::AppFiles& files, const QString& section) {
  if (window.isMaximized() || window.isMinimized()) return;
  store::WriteFormSize(files, section, window.size());
}

}  // namespace dialogs
