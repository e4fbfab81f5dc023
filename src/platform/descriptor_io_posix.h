#pragma once
// One read or one write on a non-blocking descriptor (a serial device, a pty master), with the
// outcomes told apart the way every caller needs them: EINTR is retried, EAGAIN comes back as
// WouldBlock so the caller waits again (descriptor_waits_linux.h), 0 bytes read is the end of
// the stream, anything else a failure built by errorFromErrno right after the call.
//
// Thread safety: works on descriptors the caller owns, from any thread.

#include <cstddef>

#include "platform/system_error.h"

namespace platform {

struct IoResult {
  enum Kind { Done, WouldBlock, EndOfStream, Failed };
  Kind kind = Done;
  size_t count = 0;   // bytes moved when Done (above 0)
  SystemError error;  // when Failed
};
IoResult readSome(int fd, char* buffer, size_t size);
IoResult writeSome(int fd, const char* buffer, size_t size);

}  // namespace platform
