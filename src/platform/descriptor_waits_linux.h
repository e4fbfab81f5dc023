#pragma once
// Blocking waits for worker threads, in poll, never on a timer while idle: on a device becoming
// readable or writable, or on a wake-up, each beside a stop descriptor that ends the wait at
// once. The stop and wake descriptors are eventfds (EventFd). POLLHUP without POLLIN means the
// end of the stream; an interrupted wait goes on.
//
// Thread safety: a wait blocks only its calling thread; EventFd::signal may be called from any
// thread while another waits on the descriptor.

#include <chrono>
#include <optional>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace platform {

enum class WaitOutcome {
  Stopped,   // the stop descriptor is readable (it wins when both are ready)
  Ready,     // the device is readable (or has data left before a hang-up) / writable
  HungUp,    // POLLHUP or POLLERR without POLLIN: the device or its other end is gone
  TimedOut,  // only with a timeout
  Failed,    // poll failed, or the device descriptor is not open (POLLNVAL)
};
enum class WaitFor { Readable, Writable };
// Blocks until the device is ready, the stop descriptor is readable, or `timeout` (none: no time
// limit) runs out. Nanosecond timeouts: ppoll, so a 30 ms gap does not become 31.
WaitOutcome waitDevice(int deviceFd, WaitFor what, int stopFd,
                       std::optional<std::chrono::nanoseconds> timeout = std::nullopt);

// Blocks for `duration` unless the stop descriptor becomes readable first: Stopped, TimedOut
// or Failed.
WaitOutcome sleepUnlessStopped(int stopFd, std::chrono::nanoseconds duration);

enum class WakeOutcome { Stopped, Woken, Failed };
// Blocks until the stop or the wake descriptor is readable; no time limit.
WakeOutcome waitWake(int stopFd, int wakeFd);

// An eventfd used as a signal between threads. signal() makes it readable until consume().
class EventFd {
 public:
  static std::optional<EventFd> create(SystemError* error = nullptr);
  int fd() const { return fd_.get(); }
  void signal();
  void consume();

 private:
  explicit EventFd(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace platform
