#include "store/file_io_error.h"

#include <cerrno>

namespace store {

QString FileIoMessage(int errnoCode) {
  switch (errnoCode) {
    case ENOENT:
      return QStringLiteral("File not found");
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
      return QStringLiteral("Invalid filename");
    case EMFILE:
    case ENFILE:
      return QStringLiteral("Too many open files");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return QStringLiteral("File access denied");
    case ENOSPC:
    case EDQUOT:
      return QStringLiteral("Disk full");
    default:
      return QStringLiteral("I/O error %1").arg(errnoCode);
  }
}

FileIoError::FileIoError(const platform::SystemError& error)
    : std::runtime_error(FileIoMessage(error.code).toStdString()), code_(error.code) {}

}  // namespace store
