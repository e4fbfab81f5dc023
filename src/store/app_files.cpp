#include "store/app_files.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "platform/user_dirs_xdg.h"

namespace store {
namespace {

const QString kUserSubdirectory = QStringLiteral("/OruvoTarvix");
const QString kHelpFileName = QStringLiteral("Tarvixhlp.chm");

}  // namespace

QString AppFiles::helpFile() const {
  if (QFileInfo::exists(kHelpFileName)) return kHelpFileName;
  return shippedFile(kHelpFileName);
}

AppFiles AppFiles::choose(const QString& executableDir, bool executableDirWritable,
                          const QString& configHome, const QString& dataHome) {
  if (executableDirWritable) return AppFiles(executableDir);
  return AppFiles(configHome + kUserSubdirectory, dataHome + kUserSubdirectory, executableDir);
}

AppFiles AppFiles::forRunningProgram() {
  const QString executableDir = QCoreApplication::applicationDirPath();
  const bool writable = platform::directoryWritable(executableDir);
  AppFiles files =
      choose(executableDir, writable, platform::xdgConfigHome(), platform::xdgDataHome());
  if (!writable) {
    platform::makeDirectories(files.settingsDir);
    platform::makeDirectories(files.logDir);
  }
  return files;
}

}  // namespace store
