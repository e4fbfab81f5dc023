#include "platform/file_read_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/retry_on_interrupt.h"
#include "platform/unique_fd.h"

namespace platform {

std::optional<SystemError> readFileWhole(const QString& path, QByteArray& content) {
  content.clear();
  UniqueFd fd(::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return errorFromErrno();
  char chunk[65536];
  for (;;) {
    const ssize_t n = retryOnInterrupt([&] { return ::read(fd.get(), chunk, sizeof chunk); });
    if (n < 0) return errorFromErrno();
    if (n == 0) return std::nullopt;
    content.append(chunk, n);
  }
}

}  // namespace platform
