#include "platform/file_replace_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_append_posix.h"
#include "platform/unique_fd.h"

namespace platform {
namespace {

// Keeps the target's permission bits when it exists, else the usual 0666 less the umask.
mode_t modeFor(const QByteArray& target) {
  struct stat st {};
  if (::stat(target.constData(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::optional<SystemError> replaceFileWhole(const QString& path, QByteArrayView content) {
  const QByteArray target = path.toLocal8Bit();
  QByteArray temp = target + ".XXXXXX";
  UniqueFd fd(::mkstemp(temp.data()));
  if (!fd.valid()) return errorFromErrno();
  ::fchmod(fd.get(), modeFor(target));
  std::optional<SystemError> failure = writeAll(fd.get(), content).error;
  if (!failure && ::fsync(fd.get()) != 0) failure = errorFromErrno();
  if (!failure && ::close(fd.release()) != 0) failure = errorFromErrno();
  if (!failure && ::rename(temp.constData(), target.constData()) != 0) failure = errorFromErrno();
  if (failure) ::unlink(temp.constData());
  return failure;
}

std::optional<SystemError> createFileIfMissing(const QString& path) {
  const QByteArray target = path.toLocal8Bit();
  UniqueFd fd(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.valid() && errno != EEXIST) return errorFromErrno();
  return std::nullopt;
}

}  // namespace platform
