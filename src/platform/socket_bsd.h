#pragma once
// The TCP/IPv4 socket adapter: everything the socket layer (channels::TClientSocket,
// channels::TServerSocket) needs from the BSD socket interface, behind our own types.
//
// - Every socket is non-blocking and close-on-exec from birth; sends never raise SIGPIPE.
// - Calls return values or platform::SystemError built right after the failing call; EINTR is
//   retried, EAGAIN comes back as WouldBlock so the caller waits for the next notification.
// - Descriptors are owned by UniqueFd; no failure path leaks one.
//
// Threads: the functions keep no state; they work on descriptors the caller owns.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace platform {

struct NewSocket {
  UniqueFd fd;  // valid on success
  SystemError error;
};
NewSocket createTcpSocket();

// How a non-blocking connect began. Pending: the outcome arrives as writability, then
// pendingSocketError() tells it. Refused: the system answered at once; the outcome is known
// (error) but, like any other outcome, belongs to the event loop. Failed: the call itself is
// wrong (for example the address is no dotted IPv4 text: EINVAL).
enum class ConnectStart { Pending, Refused, Failed };
struct ConnectResult {
  ConnectStart kind = ConnectStart::Pending;
  SystemError error;
};
ConnectResult startConnect(int fd, const QString& dottedAddress, uint16_t port);

// SO_ERROR: how a pending connect ended (0 = connected). When the query itself fails, its own
// code.
int pendingSocketError(int fd);

// Binds to every local IPv4 interface (SO_REUSEADDR, so a port in TIME_WAIT is usable again at
// once; a port someone listens on still fails with EADDRINUSE).
std::optional<SystemError> bindAnyIpv4(int fd, uint16_t port);
std::optional<SystemError> listenForConnections(int fd, int backlog);
std::optional<uint16_t> localPort(int fd);

struct AcceptedSocket {
  UniqueFd fd;          // valid when a connection was taken
  QString peerAddress;  // dotted IPv4 text
  SystemError error;    // code EAGAIN when nothing was pending
};
AcceptedSocket acceptConnection(int listenerFd);

struct SocketIo {
  enum Kind { Done, WouldBlock, EndOfStream, Failed };
  Kind kind = Done;
  size_t count = 0;   // bytes moved when Done
  SystemError error;  // when Failed
};
SocketIo sendSome(int fd, const char* data, size_t size);
SocketIo receiveSome(int fd, char* buffer, size_t size);
// What a readable socket holds, without taking anything: Done (data), EndOfStream (orderly
// close), WouldBlock (nothing: a stale notification) or Failed (reset or other error; the
// pending error is consumed by the query).
SocketIo probeReadable(int fd);

// FIONREAD: bytes readable now; 0 when the query fails.
int bytesReadable(int fd);

struct PeerAddress {
  QString address;  // dotted IPv4 text, no port
  std::optional<SystemError> error;
};
PeerAddress peerAddress(int fd);

// Codes the socket layer reports for conditions of its own, in the platform's numbering.
int noBufferSpaceCode();       // the send queue of a connection is full
int unsupportedRequestCode();  // a host or service name lookup (none is done)

}  // namespace platform
