#include "widgets/pictures.h"

#include <QPixmap>
#include <QString>

// A static library's resources are registered by name, once; the initialiser cannot sit inside
// a namespace.
static void registerPictures() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(pictures);
    return true;
  }();
  (void)registered;
}

namespace widgets {
namespace {

QString resourceName(ButtonPictureId id) {
  switch (id) {
    case ButtonPictureId::Send:
      return QStringLiteral(":/pictures/send.png");
    case ButtonPictureId::MaintainList:
      return QStringLiteral(":/pictures/maintain_list.png");
    case ButtonPictureId::Confirm:
      return QStringLiteral(":/pictures/confirm.png");
    case ButtonPictureId::Back:
      return QStringLiteral(":/pictures/back.png");
    case ButtonPictureId::Close:
      return QStringLiteral(":/pictures/close.png");
  }
  return {};
}

}  // namespace

QIcon ProgramIcon() {
  registerPictures();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/pictures/program-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QIcon ButtonPicture(ButtonPictureId id) {
  registerPictures();
  return QIcon(resourceName(id));
}

QIcon PictureOfSize(const QIcon& picture, const QSize& size) {
  if (picture.isNull() || picture.actualSize(size) == size) return picture;
  return QIcon(picture.pixmap(size).scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace widgets
