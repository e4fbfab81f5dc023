#include "store/app_files.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "platform/user_dirs_xdg.h"

namespace store {
namespace {

const QString kUserSubdirectory = QStringLiteral("/OruvoTarvix");
const QString kHelpFileName = QStringLiteral("Tarvixhlp.chm");
// Left beside the executable by the install step (package or cmake --install).
const QString kInstalledMarker = QStringLiteral("installed");

}  // namespace

QString AppFiles::helpFile() const {
  if (QFileInfo::exists(kHelpFileName)) return kHelpFileName;
  return shippedFile(kHelpFileName);
}

AppFiles AppFiles::choose(const QString& executableDir, bool keptBesideExecutable,
                          const QString& configHome, const QString& dataHome) {
  if (keptBesideExecutable) return AppFiles(executableDir);
  return AppFiles(configHome + kUserSubdirectory, dataHome + kUserSubdirectory, executableDir);
}

bool AppFiles::keepsFilesBeside(const QString& executableDir) {
  return !QFileInfo::exists(executableDir + u'/' + kInstalledMarker) &&
         platform::directoryWritable(executableDir);
}

AppFiles AppFiles::forRunningProgram() {
  const QString executableDir = QCoreApplication::applicationDirPath();
  const bool beside = keepsFilesBeside(executableDir);
  AppFiles files =
      choose(executableDir, beside, platform::xdgConfigHome(), platform::xdgDataHome());
  if (!beside) {
    platform::makeDirectories(files.settingsDir);
    platform::makeDirectories(files.logDir);
  }
  return files;
}

}  // namespace store
