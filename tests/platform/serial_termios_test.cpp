// The serial adapter against real kernel objects: pty pairs, a regular file, /dev/null, pipes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/descriptor_io_posix.h"
#include "platform/descriptor_waits_linux.h"
#include "platform/pseudo_terminal_posix.h"
#include "platform/serial_device_linux.h"
#include "platform/serial_line_settings_termios2.h"
#include "support/temp_dir.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

PseudoTerminal Pty() {
  std::optional<PseudoTerminal> pty = openPseudoTerminal();
  EXPECT_TRUE(pty.has_value());
  return std::move(*pty);
}

struct OpenSlave {
  OpenSlave() : pty(Pty()), opened(openSerialDevice(pty.slavePath)) {}
  ~OpenSlave() { closeSerialDevice(opened.fd); }
  int fd() const { return opened.fd.get(); }
  PseudoTerminal pty;
  SerialOpenResult opened;
};

}  // namespace

TEST(SerialOpen, APtySlaveOpensAsASerialDevice) {
  OpenSlave slave;
  EXPECT_TRUE(slave.pty.slavePath.startsWith("/dev/pts/"));
  EXPECT_EQ(slave.opened.failure, SerialOpenFailure::None);
  EXPECT_TRUE(slave.opened.fd.valid());
  // Non-blocking and close-on-exec, as the engine needs.
  const int flags = ::fcntl(slave.fd(), F_GETFL);
  EXPECT_TRUE(flags & O_NONBLOCK);
  EXPECT_TRUE(::fcntl(slave.fd(), F_GETFD) & FD_CLOEXEC);
}

TEST(SerialOpen, EachFailureHasItsKind) {
  EXPECT_EQ(openSerialDevice("/dev/no-such-device").failure, SerialOpenFailure::CannotOpen);
  EXPECT_EQ(openSerialDevice("/dev/no-such-device").error.code, ENOENT);
  testing_support::TempDir dir;
  testing_support::WriteAll(dir.file("plain"), "x");
  EXPECT_EQ(openSerialDevice(dir.file("plain")).failure, SerialOpenFailure::NotCharacterDevice);
  EXPECT_EQ(openSerialDevice("/dev/null").failure, SerialOpenFailure::NotTerminal);
  EXPECT_EQ(openSerialDevice(dir.path()).failure, SerialOpenFailure::CannotOpen);  // EISDIR
}

TEST(SerialOpen, ASecondOpenerIsRefusedUntilTheFirstCloses) {
  OpenSlave slave;
  SerialOpenResult second = openSerialDevice(slave.pty.slavePath);
  EXPECT_EQ(second.failure, SerialOpenFailure::CannotOpen);
  closeSerialDevice(slave.opened.fd);
  SerialOpenResult third = openSerialDevice(slave.pty.slavePath);
  EXPECT_EQ(third.failure, SerialOpenFailure::None);
  closeSerialDevice(third.fd);
}

TEST(SerialLine, AnyBaudRateIsSetThroughTermios2AndReadBack) {
  OpenSlave slave;
  for (uint32_t rate : {9600u, 115200u, 250000u, 1000000u, 31250u, 123457u}) {
    SerialLineSettings wanted;
    wanted.baudRate = rate;
    const SerialLineSettings kept = applyLineSettings(slave.fd(), wanted);
    EXPECT_EQ(kept.baudRate, rate);
    EXPECT_EQ(readLineSettings(slave.fd())->baudRate, rate);
  }
}

TEST(SerialLine, TheReadBackIsWhatThePtyKeeps) {
  OpenSlave slave;
  SerialLineSettings wanted;
  wanted.dataBits = 7;
  wanted.parity = SerialParity::Even;
  wanted.stopBits = SerialStopBits::Two;
  const SerialLineSettings kept = applyLineSettings(slave.fd(), wanted);
  // A pty has no wire: its driver forces 8 data bits and no parity, and the read-back says so.
  EXPECT_EQ(kept.dataBits, 8);
  EXPECT_EQ(kept.parity, SerialParity::None);
  EXPECT_EQ(kept.stopBits, SerialStopBits::Two);
  EXPECT_EQ(readLineSettings(slave.fd()), kept);
  wanted.stopBits = SerialStopBits::OneAndHalf;  // the nearest termios has is two
  EXPECT_EQ(applyLineSettings(slave.fd(), wanted).stopBits, SerialStopBits::Two);
  wanted.stopBits = SerialStopBits::One;
  EXPECT_EQ(applyLineSettings(slave.fd(), wanted).stopBits, SerialStopBits::One);
}

TEST(SerialLine, FieldsOutOfRangeKeepTheDriversValue) {
  OpenSlave slave;
  SerialLineSettings wanted;
  wanted.baudRate = 57600;
  wanted.stopBits = SerialStopBits::Two;
  applyLineSettings(slave.fd(), wanted);
  SerialLineSettings odd = wanted;
  odd.baudRate = 0;
  odd.dataBits = 9;
  odd.stopBits = static_cast<SerialStopBits>(7);
  odd.parity = static_cast<SerialParity>(11);
  const SerialLineSettings kept = applyLineSettings(slave.fd(), odd);
  EXPECT_EQ(kept.baudRate, 57600u);
  EXPECT_EQ(kept.dataBits, 8);
  EXPECT_EQ(kept.stopBits, SerialStopBits::Two);
}

TEST(SerialLine, APtyHasNoCountersAndNoModemLinesYetNothingFails) {
  OpenSlave slave;
  EXPECT_FALSE(readSerialCounters(slave.fd()).has_value());
  holdDtrRtsInactive(slave.fd());  // ENOTTY on a pty: ignored
  EXPECT_EQ(waitModemChange(slave.fd()), ModemWaitOutcome::Failed);
}

TEST(SerialWait, TheStopDescriptorWinsOverAReadyDevice) {
  OpenSlave slave;
  std::optional<EventFd> stop = EventFd::create();
  ASSERT_TRUE(stop);
  applyLineSettings(slave.fd(), SerialLineSettings{});  // raw: one byte is readable at once
  ASSERT_EQ(::write(slave.pty.master.get(), "x", 1), 1);
  EXPECT_EQ(waitDevice(slave.fd(), WaitFor::Readable, stop->fd(), 2s), WaitOutcome::Ready);
  stop->signal();
  EXPECT_EQ(waitDevice(slave.fd(), WaitFor::Readable, stop->fd(), 2s), WaitOutcome::Stopped);
}

TEST(SerialWait, AnIdleDeviceTimesOutOnlyWithATimeout) {
  OpenSlave slave;
  std::optional<EventFd> stop = EventFd::create();
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(waitDevice(slave.fd(), WaitFor::Readable, stop->fd(), 20ms), WaitOutcome::TimedOut);
  EXPECT_GE(clock.elapsed(), 19);
  EXPECT_EQ(waitDevice(slave.fd(), WaitFor::Writable, stop->fd(), 20ms), WaitOutcome::Ready);
}

TEST(SerialWait, ClosingTheMasterHangsTheSlaveUp) {
  OpenSlave slave;
  std::optional<EventFd> stop = EventFd::create();
  slave.pty.master.reset();
  const WaitOutcome w = waitDevice(slave.fd(), WaitFor::Readable, stop->fd(), 2s);
  // A hung-up terminal polls readable and reads as end of file, or polls as hung up.
  if (w == WaitOutcome::Ready) {
    char byte;
    const IoResult r = readSome(slave.fd(), &byte, 1);
    EXPECT_TRUE(r.kind == IoResult::EndOfStream || r.kind == IoResult::Failed);
  } else {
    EXPECT_EQ(w, WaitOutcome::HungUp);
  }
  char byte = 'x';
  EXPECT_EQ(writeSome(slave.fd(), &byte, 1).kind, IoResult::Failed);
}

TEST(SerialIo, AnEmptyNonBlockingDeviceWouldBlock) {
  OpenSlave slave;
  char byte;
  EXPECT_EQ(readSome(slave.fd(), &byte, 1).kind, IoResult::WouldBlock);
}

TEST(SerialIo, BytesPassBothWaysUnchangedInRawMode) {
  OpenSlave slave;
  applyLineSettings(slave.fd(), SerialLineSettings{});
  const char sent[] = {'\r', '\n', 0x03, 0x11, 0x13, 0x7f, 0x00, 0x04};
  ASSERT_EQ(::write(slave.pty.master.get(), sent, sizeof sent), ssize_t(sizeof sent));
  std::optional<EventFd> stop = EventFd::create();
  ASSERT_EQ(waitDevice(slave.fd(), WaitFor::Readable, stop->fd(), 2s), WaitOutcome::Ready);
  char got[16];
  const IoResult r = readSome(slave.fd(), got, sizeof got);
  ASSERT_EQ(r.kind, IoResult::Done);
  ASSERT_EQ(r.count, sizeof sent);
  EXPECT_EQ(0, std::memcmp(got, sent, sizeof sent));
}

TEST(SerialEvent, WakeAndStopAreToldApartAndStopWins) {
  std::optional<EventFd> stop = EventFd::create();
  std::optional<EventFd> wake = EventFd::create();
  ASSERT_TRUE(stop && wake);
  wake->signal();
  wake->signal();
  EXPECT_EQ(waitWake(stop->fd(), wake->fd()), WakeOutcome::Woken);
  wake->consume();  // both signals at once
  wake->signal();
  stop->signal();
  EXPECT_EQ(waitWake(stop->fd(), wake->fd()), WakeOutcome::Stopped);
}

TEST(SerialInterrupter, ItWakesAThreadOutOfABlockingCall) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
  ThreadInterrupter interrupter;
  std::atomic<bool> bound{false}, interrupted{false};
  std::thread blocked([&] {
    interrupter.bindToCurrentThread();
    bound = true;
    char byte;
    // A blocking read that nothing will satisfy; only the signal ends it.
    const ssize_t n = ::read(readEnd.get(), &byte, 1);
    interrupted = n < 0 && errno == EINTR;
  });
  while (!bound) std::this_thread::yield();
  QElapsedTimer clock;
  clock.start();
  while (!interrupted && clock.elapsed() < 5000) {
    interrupter.interrupt();
    std::this_thread::sleep_for(1ms);
  }
  if (!interrupted) {
    const ssize_t n = ::write(writeEnd.get(), "x", 1);  // unblock the thread before failing
    EXPECT_EQ(n, 1);
  }
  blocked.join();
  EXPECT_TRUE(interrupted);
}
