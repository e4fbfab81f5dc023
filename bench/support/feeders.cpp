#include "bench/support/feeders.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bench/support/meters.h"

namespace bench_support {

pid_t spawn(const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  return pid;
}

QByteArray streamBytes(qsizetype size) {
  QByteArray bytes(size, '\0');
  for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 1);
  return bytes;
}

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd room{fd, POLLOUT, 0};
      ::poll(&room, 1, -1);
      continue;
    }
    if (n <= 0) {
      std::fprintf(stderr, "write failed: %s\n", n < 0 ? std::strerror(errno) : "nothing written");
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void feed(int fd, qint64 total, double rate) {
  const QByteArray block = streamBytes(65536);
  const double start = monotonicSeconds();
  qint64 sent = 0;
  while (sent < total) {
    qint64 allowed = total - sent;
    if (rate > 0) {
      const double due = (monotonicSeconds() - start + 0.01) * rate;
      allowed = std::min<qint64>(allowed, static_cast<qint64>(due) - sent);
      if (allowed <= 0) {
        usleep(2000);
        continue;
      }
    }
    const qint64 n = std::min<qint64>(allowed, block.size());
    if (!writeAll(fd, block.constData(), static_cast<size_t>(n))) return;
    sent += n;
  }
}

}  // namespace bench_support
