#pragma once
// Plain blocking loopback sockets that play the peer of the program's TCP channels in tests.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <chrono>

#include "support/fd_read.h"

namespace testing_support {

// A port on 127.0.0.1 that was free a moment ago.
inline int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

class LoopbackPeer {
 public:
  LoopbackPeer() = default;
  explicit LoopbackPeer(int fd) : fd_(fd) {}
  LoopbackPeer(LoopbackPeer&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  LoopbackPeer(const LoopbackPeer&) = delete;
  ~LoopbackPeer() { close(); }

  static LoopbackPeer Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return LoopbackPeer();
    }
    return LoopbackPeer(fd);
  }

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void write(const QByteArray& bytes) const {
    ::send(fd_, bytes.constData(), bytes.size(), MSG_NOSIGNAL);
  }

  QByteArray read(qsizetype count,
                  std::chrono::milliseconds bound = std::chrono::seconds(5)) const {
    return ReadFromFd(fd_, count, bound);
  }

  // Closes with a reset instead of an orderly shutdown.
  void reset() {
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close();
  }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// A listening socket on 127.0.0.1 for the client channel to connect to.
class LoopbackListener {
 public:
  explicit LoopbackListener(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd_, 5);
  }
  ~LoopbackListener() { ::close(fd_); }
  LoopbackPeer accept(std::chrono::milliseconds bound = std::chrono::seconds(5)) const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(bound.count())) <= 0) return LoopbackPeer();
    return LoopbackPeer(::accept(fd_, nullptr, nullptr));
  }

 private:
  int fd_ = -1;
};

}  // namespace testing_support
