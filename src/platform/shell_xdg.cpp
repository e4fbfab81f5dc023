#include <QProcess>
#include <QStandardPaths>

#include "platform/desktop_shell.h"

namespace platform {

void XdgShell::openWithDefaultHandler(const QString& fileOrUrl) {
  QProcess::startDetached(QStringLiteral("xdg-open"), {fileOrUrl});
}

bool XdgShell::startFirstInstalled(const QStringList& programs) {
  for (const QString& program : programs) {
    const QString path = QStandardPaths::findExecutable(program);
    if (!path.isEmpty()) return QProcess::startDetached(path, {});
  }
  return false;
}

}  // namespace platform
