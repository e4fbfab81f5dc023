// Opening, exclusivity, modem lines, counters, I/O and waits for serial devices. The termios2
// line settings live in serial_termios2.cpp, which needs <asm/termbits.h> to itself.

#include "platform/serial_termios.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "platform/retry_on_interrupt.h"

namespace platform {

namespace {

int ioctlRetry(int fd, unsigned long request, void* arg) {
  return retryOnInterrupt([&] { return ::ioctl(fd, request, arg); });
}

}  // namespace

SerialOpenResult openSerialDevice(const QString& path) {
  SerialOpenResult result;
  const QByteArray native = path.toLocal8Bit();
  UniqueFd fd(::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    result.failure = SerialOpenFailure::CannotOpen;
    result.error = errorFromErrno();
    return result;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISCHR(st.st_mode)) {
    result.failure = SerialOpenFailure::NotCharacterDevice;
    result.error = errorFromCode(ENOTTY);
    return result;
  }
  // TIOCEXCL is the terminal check as well: a character device that is no terminal answers
  // ENOTTY.
  if (ioctlRetry(fd.get(), TIOCEXCL, nullptr) != 0) {
    result.failure = SerialOpenFailure::NotTerminal;
    result.error = errorFromErrno();
    return result;
  }
  // TIOCEXCL does not stop a privileged opener; the lock also keeps a second engine (or any
  // program that locks) off the device.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    result.failure = SerialOpenFailure::CannotOpen;
    result.error = errorFromErrno();
    // The device was not ours: leave its exclusivity flag to its holder.
    return result;
  }
  result.fd = std::move(fd);
  return result;
}

void closeSerialDevice(UniqueFd& fd) {
  if (!fd.valid()) return;
  discardQueued(fd.get(), true, true);
  // A pty slave keeps TTY_EXCLUSIVE after its last close while the master lives.
  ioctlRetry(fd.get(), TIOCNXCL, nullptr);
  fd.reset();
}

void holdDtrRtsInactive(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  // A pty has no modem lines and rejects TIOCMBIC with ENOTTY (EINVAL on some drivers): done.
  ioctlRetry(fd, TIOCMBIC, &lines);
}

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

std::optional<SerialCounters> readSerialCounters(int fd) {
  serial_icounter_struct ic{};
  if (ioctlRetry(fd, TIOCGICOUNT, &ic) != 0) return std::nullopt;
  SerialCounters c;
  c.frame = static_cast<uint32_t>(ic.frame);
  c.overrun = static_cast<uint32_t>(ic.overrun);
  c.parity = static_cast<uint32_t>(ic.parity);
  c.brk = static_cast<uint32_t>(ic.brk);
  c.bufferOverrun = static_cast<uint32_t>(ic.buf_overrun);
  c.carrier = static_cast<uint32_t>(ic.dcd);
  c.ring = static_cast<uint32_t>(ic.rng);
  return c;
}

ModemWaitOutcome waitModemChange(int fd) {
  // No EINTR retry here: an interruption is how the waiting thread is told to stop.
  const int rc = ::ioctl(fd, TIOCMIWAIT, static_cast<unsigned long>(TIOCM_CD | TIOCM_RNG));
  if (rc == 0) return ModemWaitOutcome::Changed;
  if (errno == EINTR) return ModemWaitOutcome::Interrupted;
  return ModemWaitOutcome::Failed;
}

namespace {

static_assert(std::is_same_v<pthread_t, unsigned long>, "ThreadInterrupter stores a pthread_t");

// SIGRTMIN+5 lies in the range glibc leaves to programs and Qt does not use. A handler is
// installed only while the signal still has its default disposition.
int interruptSignal() { return SIGRTMIN + 5; }

void noOpHandler(int) {}

void installInterruptHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (::sigaction(interruptSignal(), nullptr, &current) != 0) return;
    if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO)) return;
    struct sigaction action {};
    action.sa_handler = noOpHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the blocking call must return EINTR
    ::sigaction(interruptSignal(), &action, nullptr);
  });
}

}  // namespace

ThreadInterrupter::ThreadInterrupter() = default;

void ThreadInterrupter::bindToCurrentThread() {
  // Installed here, by the first thread that needs it, so a program that never waits on modem
  // lines never has the handler; interrupt() sends nothing before a thread is bound.
  installInterruptHandler();
  thread_.store(::pthread_self(), std::memory_order_relaxed);
  bound_.store(true, std::memory_order_release);
}

void ThreadInterrupter::interrupt() const {
  if (bound_.load(std::memory_order_acquire))
    ::pthread_kill(thread_.load(std::memory_order_relaxed), interruptSignal());
}

std::optional<PseudoTerminal> openPseudoTerminal(SystemError* error) {
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  char name[128];
  if (!master.valid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
      ::ptsname_r(master.get(), name, sizeof name) != 0) {
    if (error) *error = errorFromErrno();
    return std::nullopt;
  }
  return PseudoTerminal{std::move(master), QString::fromLocal8Bit(name)};
}

void nameCurrentThread(const char* name) {
  char shortName[16];
  std::strncpy(shortName, name, sizeof shortName - 1);
  shortName[sizeof shortName - 1] = '\0';
  ::pthread_setname_np(::pthread_self(), shortName);
}

void raiseCurrentThreadPriority(int steps) {
  // Linux keeps a nice value per thread; raising it needs CAP_SYS_NICE (or RLIMIT_NICE), and
  // without it the thread simply keeps the normal priority.
  const pid_t tid = ::gettid();
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (nice == -1 && errno != 0) return;
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice - steps);
}

void usePreciseTimers() { ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }

}  // namespace platform
