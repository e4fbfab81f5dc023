// BSD socket calls for TCP/IPv4, non-blocking only.

#include "platform/socket_bsd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/retry_on_interrupt.h"

namespace platform {

namespace {

sockaddr_in ipv4Endpoint(in_addr_t networkAddress, uint16_t port) {
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_addr.s_addr = networkAddress;
  endpoint.sin_port = htons(port);
  return endpoint;
}

QString dottedText(const in_addr& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address, text, sizeof text);
  return QString::fromLatin1(text);
}

SocketIo ioFailure() {
  SocketIo result;
  result.kind = (errno == EAGAIN || errno == EWOULDBLOCK) ? SocketIo::WouldBlock : SocketIo::Failed;
  result.error = errorFromErrno();
  return result;
}

SocketIo ioDone(ssize_t count) {
  SocketIo result;
  result.kind = count == 0 ? SocketIo::EndOfStream : SocketIo::Done;
  result.count = static_cast<size_t>(count);
  return result;
}

}  // namespace

NewSocket createTcpSocket() {
  NewSocket result;
  result.fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!result.fd.valid()) result.error = errorFromErrno();
  return result;
}

ConnectResult startConnect(int fd, const QString& dottedAddress, uint16_t port) {
  in_addr address{};
  if (::inet_pton(AF_INET, dottedAddress.toLatin1().constData(), &address) != 1)
    return {ConnectStart::Failed, errorFromCode(EINVAL)};
  const sockaddr_in endpoint = ipv4Endpoint(address.s_addr, port);
  // No retry on EINTR: an interrupted connect goes on in the background, like EINPROGRESS.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) == 0 ||
      errno == EINPROGRESS || errno == EINTR)
    return {ConnectStart::Pending, {}};
  if (errno == ECONNREFUSED) return {ConnectStart::Refused, errorFromErrno()};
  return {ConnectStart::Failed, errorFromErrno()};
}

int pendingSocketError(int fd) {
  int code = 0;
  socklen_t length = sizeof code;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length) != 0) return errno;
  return code;
}

std::optional<SystemError> bindAnyIpv4(int fd, uint16_t port) {
  const int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return errorFromErrno();
  const sockaddr_in endpoint = ipv4Endpoint(htonl(INADDR_ANY), port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0)
    return errorFromErrno();
  return std::nullopt;
}

std::optional<SystemError> listenForConnections(int fd, int backlog) {
  if (::listen(fd, backlog) != 0) return errorFromErrno();
  return std::nullopt;
}

std::optional<uint16_t> localPort(int fd) {
  sockaddr_in endpoint{};
  socklen_t length = sizeof endpoint;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&endpoint), &length) != 0) return std::nullopt;
  return ntohs(endpoint.sin_port);
}

AcceptedSocket acceptConnection(int listenerFd) {
  AcceptedSocket result;
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  result.fd.reset(retryOnInterrupt([&] {
    return ::accept4(listenerFd, reinterpret_cast<sockaddr*>(&peer), &length,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
  }));
  if (!result.fd.valid()) {
    result.error = errorFromErrno();
    return result;
  }
  result.peerAddress = dottedText(peer.sin_addr);
  return result;
}

SocketIo sendSome(int fd, const char* data, size_t size) {
  const ssize_t sent = retryOnInterrupt([&] { return ::send(fd, data, size, MSG_NOSIGNAL); });
  if (sent < 0) return ioFailure();
  SocketIo result;
  result.count = static_cast<size_t>(sent);
  return result;
}

SocketIo receiveSome(int fd, char* buffer, size_t size) {
  const ssize_t received = retryOnInterrupt([&] { return ::recv(fd, buffer, size, 0); });
  if (received < 0) return ioFailure();
  return ioDone(received);
}

SocketIo probeReadable(int fd) {
  char byte = 0;
  const ssize_t peeked =
      retryOnInterrupt([&] { return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT); });
  if (peeked < 0) return ioFailure();
  return ioDone(peeked);
}

int bytesReadable(int fd) {
  int count = 0;
  if (retryOnInterrupt([&] { return ::ioctl(fd, FIONREAD, &count); }) != 0) return 0;
  return count;
}

PeerAddress peerAddress(int fd) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
    return {QString(), errorFromErrno()};
  return {dottedText(peer.sin_addr), std::nullopt};
}

int noBufferSpaceCode() { return ENOBUFS; }

int unsupportedRequestCode() { return EOPNOTSUPP; }

}  // namespace platform
