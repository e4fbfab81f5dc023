#include "platform/descriptor_io_posix.h"

#include <unistd.h>

#include <cerrno>

#include "platform/retry_on_interrupt.h"

namespace platform {

namespace {

// The outcome of one read or write that returned n; errno is read at once when n < 0.
IoResult resultOf(ssize_t n, IoResult::Kind whenZero) {
  IoResult r;
  if (n > 0) {
    r.count = static_cast<size_t>(n);
  } else if (n == 0) {
    r.kind = whenZero;
  } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
    r.kind = IoResult::WouldBlock;
  } else {
    r.kind = IoResult::Failed;
    r.error = errorFromErrno();
  }
  return r;
}

}  // namespace

IoResult readSome(int fd, char* buffer, size_t size) {
  const ssize_t n = retryOnInterrupt([&] { return ::read(fd, buffer, size); });
  return resultOf(n, IoResult::EndOfStream);
}

IoResult writeSome(int fd, const char* buffer, size_t size) {
  const ssize_t n = retryOnInterrupt([&] { return ::write(fd, buffer, size); });
  return resultOf(n, size == 0 ? IoResult::Done : IoResult::WouldBlock);
}

}  // namespace platform
