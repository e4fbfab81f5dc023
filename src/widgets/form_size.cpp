#include "widgets/form_size.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

#include "store/form_size_store.h"

namespace widgets {
namespace {

// What the platform's frame adds to the window's size; nothing where it reports no frame, and
// nothing yet before the window is shown or framed by the window manager.
QSize frameExtent(const QWidget& window) { return window.frameGeometry().size() - window.size(); }

// Gives the window the inner size that makes its outer size `outer`, raised to its minimum,
// and centres its frame on the screen's available area.
void fitOuterSize(QWidget& window, QSize outer) {
  window.resize((outer - frameExtent(window)).expandedTo(window.minimumSize()));
  if (const QScreen* screen = window.screen()) {
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
  }
}

// A window sized while its frame is not known yet gets the outer size as its inner size for
// the time being; once the platform reports the frame, the inner size is made smaller by it, so
// the window does not grow by its frame at every run. A size set otherwise meanwhile (by the
// user or the program) ends the wait.
class OuterSizeWhenFramed final : public QObject {
 public:
  OuterSizeWhenFramed(QWidget& window, QSize outer)
      : QObject(&window), window_(window), outer_(outer), provisional_(window.size()) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize) return false;
    if (window_.size() != provisional_) {
      finish();
    } else if (!frameExtent(window_).isNull()) {
      finish();
      fitOuterSize(window_, outer_);
    }
    return false;
  }

 private:
  void finish() {
    window_.removeEventFilter(this);
    deleteLater();
  }

  QWidget& window_;
  const QSize outer_;
  const QSize provisional_;
};

}  // namespace

void RestoreFormSize(QWidget& window, const store::AppFiles& files, const QString& section) {
  const QSize current = window.frameGeometry().size();
  const QSize outer = store::ReadFormSize(files, section, current);
  const bool framed = !frameExtent(window).isNull();
  fitOuterSize(window, outer);
  // Nothing stored: the window keeps the size it was given, frame or no frame.
  if (!framed && outer != current) new OuterSizeWhenFramed(window, outer);
}

void StoreFormSize(const QWidget& window, const store::AppFiles& files, const QString& section) {
  if (window.isMaximized() || window.isMinimized()) return;
  store::WriteFormSize(files, section, window.frameGeometry().size());
}

}  // namespace widgets
