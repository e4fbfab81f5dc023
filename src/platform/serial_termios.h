#pragma once
// The serial-device adapter for Linux: everything the serial engine (channels::TComm) needs from
// the operating system, behind our own types. The engine holds no OS type and includes no OS
// header.
//
// - openSerialDevice opens a terminal device exclusively and non-blocking (TIOCEXCL plus an
//   advisory flock, since TIOCEXCL does not stop a privileged second opener), checks that it is
//   a character device and a terminal; closeSerialDevice gives the exclusivity back (a pty slave
//   keeps its TIOCEXCL flag while the master lives) and discards unsent output, so close() never
//   waits for a drain.
// - applyLineSettings puts the line in raw mode without flow control, applies the requested
//   settings through termios2 (a rate termios names as its B-constant, any other rate the
//   driver takes with BOTHER) and reads back what the driver kept: drivers adjust silently (a
//   pty forces 8 data bits and no parity), and what the user sees must be what the line does.
// - The I/O helpers follow one rule set: EINTR retried, EAGAIN reported as "would block" so the
//   caller waits again, 0 bytes read means end of stream, POLLHUP without POLLIN means end of
//   stream. Waits use poll and always include a stop descriptor (an eventfd), never a timer
//   while idle.
// - Errors are values built by errorFromErrno right after the failing call.
//
// Thread safety: every function works on descriptors the caller owns and may be called from any
// thread; the kernel serialises concurrent calls on one device.

#include <QString>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace platform {

enum class SerialParity { None, Odd, Even, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };

// Line settings as asked for and, read back, as the driver keeps them. A requested field outside
// its range (dataBits not 5..8, baudRate 0, an enumerator beyond the list) is not applied: the
// driver keeps its present value for it, without an error.
struct SerialLineSettings {
  uint32_t baudRate = 9600;
  int dataBits = 8;
  SerialParity parity = SerialParity::None;
  SerialStopBits stopBits = SerialStopBits::One;
  bool parityCheck = false;  // verify parity on input (a byte failing it reads as 0)
  friend bool operator==(const SerialLineSettings&, const SerialLineSettings&) = default;
};

enum class SerialOpenFailure {
  None,
  CannotOpen,          // open() failed, or another opener holds the device
  NotCharacterDevice,  // it opened, but is a regular file, a pipe, a directory...
  NotTerminal,         // a character device without terminal settings (/dev/null)
};

struct SerialOpenResult {
  UniqueFd fd;  // valid only when failure is None
  SerialOpenFailure failure = SerialOpenFailure::None;
  SystemError error;
};

SerialOpenResult openSerialDevice(const QString& path);
void closeSerialDevice(UniqueFd& fd);

// Raw mode, receiver on, modem-control lines ignored, no hardware or software flow control, then
// the requested settings; returns what the driver kept. When the device refuses the change as a
// whole the returned value is its unchanged state; when the settings cannot even be read
// (no terminal) it has baudRate 0 and `error`, when given, says why.
SerialLineSettings applyLineSettings(int fd, const SerialLineSettings& wanted,
                                     std::optional<SystemError>* error = nullptr);
std::optional<SerialLineSettings> readLineSettings(int fd);

// Drops DTR and RTS. A pty has no modem lines and answers ENOTTY: that counts as done.
void holdDtrRtsInactive(int fd);

// Discards what the driver holds: received-but-unread input, written-but-unsent output.
void discardQueued(int fd, bool input, bool output);

struct IoResult {
  enum Kind { Done, WouldBlock, EndOfStream, Failed };
  Kind kind = Done;
  size_t count = 0;   // bytes moved when Done (above 0)
  SystemError error;  // when Failed
};
IoResult readSome(int fd, char* buffer, size_t size);
IoResult writeSome(int fd, const char* buffer, size_t size);

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

// Line-error and modem-line counters (TIOCGICOUNT). UARTs and USB adapters keep them; a pty does
// not (no value).
struct SerialCounters {
  uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
  uint32_t carrier = 0, ring = 0;
};
std::optional<SerialCounters> readSerialCounters(int fd);

// Blocks until the carrier-detect or ring line changes (TIOCMIWAIT). Interrupted comes back when
// a ThreadInterrupter fired at this thread; Failed when the driver cannot wait (ENOTTY, EINVAL)
// or the device is gone (EIO).
enum class ModemWaitOutcome { Changed, Interrupted, Failed };
ModemWaitOutcome waitModemChange(int fd);

// Wakes one thread out of a blocking system call that no descriptor can wake (TIOCMIWAIT): a
// signal with a no-op handler installed without SA_RESTART, so the call returns EINTR. The
// thread binds itself first; interrupt() may then be called from any thread, repeatedly, until
// the thread has left (a signal sent just before it entered the call is lost otherwise).
class ThreadInterrupter {
 public:
  ThreadInterrupter();
  void bindToCurrentThread();
  void interrupt() const;

 private:
  std::atomic<unsigned long> thread_{0};  // pthread_t on Linux
  std::atomic<bool> bound_{false};
};

// A pseudo-terminal pair for tests, benchmarks and loopback: the master descriptor
// (non-blocking, raw by default) and the path of the slave, which openSerialDevice opens like
// any serial port. The slave is not opened here; closing the master hangs the slave up, the way
// pulling a USB adapter does.
struct PseudoTerminal {
  UniqueFd master;
  QString slavePath;
};
std::optional<PseudoTerminal> openPseudoTerminal(SystemError* error = nullptr);

// Best effort: names the calling thread (seen in /proc/self/task/*/comm, 15 characters at most)
// and raises its scheduling priority by `steps` nice levels where the program may.
void nameCurrentThread(const char* name);
void raiseCurrentThreadPriority(int steps);
// Timer slack of the calling thread down from 50 us to 1 ns: a gap time-out ends on time.
void usePreciseTimers();

}  // namespace platform
