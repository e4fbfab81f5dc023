#include "platform/file_append_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/retry_on_interrupt.h"

namespace platform {

AppendOpenResult openForAppend(const QString& path) {
  AppendOpenResult result;
  const QByteArray name = path.toLocal8Bit();
  result.fd.reset(retryOnInterrupt(
      [&] { return ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666); }));
  if (!result.fd.valid()) {
    result.error = errorFromErrno();
    return result;
  }
  struct stat st {};
  if (::fstat(result.fd.get(), &st) != 0) {
    result.error = errorFromErrno();
    result.fd.reset();
    return result;
  }
  result.size = S_ISREG(st.st_mode) ? st.st_size : 0;
  return result;
}

WriteAllResult writeAll(int fd, QByteArrayView content) {
  WriteAllResult result;
  while (result.written < content.size()) {
    const ssize_t n = retryOnInterrupt([&] {
      return ::write(fd, content.data() + result.written,
                     static_cast<size_t>(content.size() - result.written));
    });
    if (n <= 0) {
      // A write that moves nothing and names no error would loop forever.
      result.error = n < 0 ? errorFromErrno() : errorFromCode(EIO);
      break;
    }
    result.written += n;
  }
  return result;
}

std::optional<SystemError> syncData(int fd) {
  if (retryOnInterrupt([&] { return ::fdatasync(fd); }) == 0) return std::nullopt;
  if (errno == EINVAL || errno == EROFS) return std::nullopt;  // a special file: nothing to sync
  return errorFromErrno();
}

}  // namespace platform
