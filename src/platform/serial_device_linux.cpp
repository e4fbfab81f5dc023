// Opening, exclusivity, modem lines, counters and driver queues of serial devices. The termios2
// line settings live in serial_line_settings_termios2.cpp, which needs <asm/termbits.h> to itself.

#include "platform/serial_device_linux.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
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

void discardQueued(int fd, bool input, bool output) {
  if (!input && !output) return;
  const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
  retryOnInterrupt([&] { return ::ioctl(fd, TCFLSH, which); });
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

}  // namespace platform
