#pragma once
// Reads from a descriptor until `count` bytes arrived, the other end closed or the bound
// passed, running the program's event loop meanwhile (its timers send, its sockets notify).

#include <poll.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <cerrno>
#include <chrono>

namespace testing_support {

inline QByteArray ReadFromFd(int fd, qsizetype count, std::chrono::milliseconds bound) {
  QByteArray out;
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5) <= 0) continue;
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
      out.append(buffer, n);
    else if (n == 0 || (errno != EINTR && errno != EAGAIN))
      break;  // closed or reset
  }
  return out;
}

}  // namespace testing_support
