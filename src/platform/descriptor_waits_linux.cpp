#include "platform/descriptor_waits_linux.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/retry_on_interrupt.h"

namespace platform {

WaitOutcome waitDevice(int deviceFd, WaitFor what, int stopFd,
                       std::optional<std::chrono::nanoseconds> timeout) {
  using Clock = std::chrono::steady_clock;
  const short wanted = what == WaitFor::Readable ? POLLIN : POLLOUT;
  const auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
  for (;;) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {deviceFd, wanted, 0}};
    // An interrupted wait goes on with what is left of the time-out.
    const int rc = retryOnInterrupt([&] {
      timespec ts{};
      timespec* tsp = nullptr;
      if (timeout) {
        const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        tsp = &ts;
      }
      return ::ppoll(fds, 2, tsp, nullptr);
    });
    if (rc < 0) return WaitOutcome::Failed;
    if (rc == 0) return WaitOutcome::TimedOut;
    if (fds[0].revents & POLLIN) return WaitOutcome::Stopped;
    if (fds[0].revents & POLLNVAL) return WaitOutcome::Failed;
    const short dev = fds[1].revents;
    if (dev & POLLNVAL) return WaitOutcome::Failed;
    // Readable data first: a hang-up with data still buffered is reported after it is read.
    if (dev & wanted) return WaitOutcome::Ready;
    if (dev & (POLLHUP | POLLERR)) return WaitOutcome::HungUp;
  }
}

WaitOutcome sleepUnlessStopped(int stopFd, std::chrono::nanoseconds duration) {
  // poll passes over a negative descriptor: only the stop descriptor and the time are waited on.
  const WaitOutcome outcome = waitDevice(-1, WaitFor::Readable, stopFd, duration);
  return outcome == WaitOutcome::Ready || outcome == WaitOutcome::HungUp ? WaitOutcome::Failed
                                                                         : outcome;
}

WakeOutcome waitWake(int stopFd, int wakeFd) {
  for (;;) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int rc = retryOnInterrupt([&] { return ::poll(fds, 2, -1); });
    if (rc < 0) return WakeOutcome::Failed;
    if (fds[0].revents & POLLIN) return WakeOutcome::Stopped;
    if (fds[1].revents & POLLIN) return WakeOutcome::Woken;
    if ((fds[0].revents | fds[1].revents) & (POLLNVAL | POLLERR | POLLHUP))
      return WakeOutcome::Failed;
  }
}

std::optional<EventFd> EventFd::create(SystemError* error) {
  UniqueFd fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!fd.valid()) {
    if (error) *error = errorFromErrno();
    return std::nullopt;
  }
  return EventFd(std::move(fd));
}

void EventFd::signal() {
  const uint64_t one = 1;
  retryOnInterrupt([&] { return ::write(fd_.get(), &one, sizeof one); });
  // EAGAIN only when the counter is at its maximum: it is readable then anyway.
}

void EventFd::consume() {
  uint64_t value;
  retryOnInterrupt([&] { return ::read(fd_.get(), &value, sizeof value); });
}

}  // namespace platform
