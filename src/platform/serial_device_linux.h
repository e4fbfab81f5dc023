#pragma once
// Serial devices on Linux, behind our own types: opening one exclusively, closing it, its modem
// lines, its line-error counters and its driver queues. The serial engine (channels::TComm)
// holds no OS type and includes no OS header.
//
// - openSerialDevice opens a terminal device exclusively and non-blocking (TIOCEXCL plus an
//   advisory flock, since TIOCEXCL does not stop a privileged second opener), checks that it is
//   a character device and a terminal; closeSerialDevice gives the exclusivity back (a pty slave
//   keeps its TIOCEXCL flag while the master lives) and discards unsent output, so close() never
//   waits for a drain.
// - The line settings are in serial_line_settings_termios2.h, reads and writes in
//   descriptor_io_posix.h, waits on the device in descriptor_waits_linux.h.
// - Errors are values built by errorFromErrno right after the failing call.
//
// Thread safety: every function works on descriptors the caller owns and may be called from any
// thread; the kernel serialises concurrent calls on one device.

#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace platform {

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

// Drops DTR and RTS. A pty has no modem lines and answers ENOTTY: that counts as done.
void holdDtrRtsInactive(int fd);

// Discards what the driver holds: received-but-unread input, written-but-unsent output.
void discardQueued(int fd, bool input, bool output);

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

}  // namespace platform
