#include "platform/user_dirs_xdg.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>

namespace platform {
namespace {

QString baseDirectory(const char* variable, const QString& belowHome) {
  const QString value = qEnvironmentVariable(variable);
  if (QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
  return QDir::homePath() + u'/' + belowHome;
}

}  // namespace

bool directoryWritable(const QString& dir) {
  return ::access(QFile::encodeName(dir).constData(), W_OK) == 0;
}

QString xdgConfigHome() { return baseDirectory("XDG_CONFIG_HOME", QStringLiteral(".config")); }

QString xdgDataHome() { return baseDirectory("XDG_DATA_HOME", QStringLiteral(".local/share")); }

std::optional<SystemError> makeDirectories(const QString& dir) {
  const QByteArray path = QFile::encodeName(QDir::cleanPath(dir));
  // Each prefix ending before a separator, then the whole path.
  for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
    const QByteArray prefix = end < 0 ? path : path.left(end);
    if (::mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST) return errorFromErrno();
    if (end < 0) break;
  }
  struct stat st {};
  if (::stat(path.constData(), &st) != 0) return errorFromErrno();
  if (!S_ISDIR(st.st_mode)) return errorFromCode(ENOTDIR);
  return std::nullopt;
}

}  // namespace platform
