// The transmit thread: buffers from the FIFO, each written whole, in order; a message queued to
// go out a byte per write is written so.

#include "channels/serial_session.h"
#include "platform/current_thread_linux.h"
#include "platform/descriptor_io_posix.h"
#include "platform/descriptor_waits_linux.h"

namespace channels {

bool TComm::Session::writeWhole(const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    if (stopping.load(std::memory_order_relaxed)) return false;
    const platform::IoResult r = platform::writeSome(fd(), data + done, size - done);
    switch (r.kind) {
      case platform::IoResult::Done:
        done += r.count;  // a partial write goes on with the rest
        break;
      case platform::IoResult::WouldBlock:
        switch (platform::waitDevice(fd(), platform::WaitFor::Writable, closeEvent->fd())) {
          case platform::WaitOutcome::Stopped:
            return false;
          case platform::WaitOutcome::Ready:
            break;
          case platform::WaitOutcome::TimedOut:
            break;
          case platform::WaitOutcome::HungUp:
          case platform::WaitOutcome::Failed:
            postHangupOnce();
            return false;
        }
        break;
      case platform::IoResult::EndOfStream:
      case platform::IoResult::Failed:  // EIO: the device or its other end is gone
        postHangupOnce();
        return false;
    }
  }
  return true;
}

bool TComm::Session::write(const QueuedWrite& queued) {
  const char* data = queued.bytes.constData();
  const auto size = static_cast<size_t>(queued.bytes.size());
  if (!queued.eachByteAlone) return writeWhole(data, size);
  for (size_t i = 0; i < size; ++i) {
    if (!writeWhole(data + i, 1)) return false;
  }
  return true;
}

void TComm::Session::runTransmit() {
  platform::nameCurrentThread("serial-tx");
  platform::raiseCurrentThreadPriority(1);
  // OnSendDataEmpty once right after the start, then once each time the queue runs empty after
  // one or more writes, never twice in a row.
  bool reportEmpty = true;
  while (!stopping.load()) {
    std::optional<QueuedWrite> next = txQueue.pop();
    if (!next) {
      if (reportEmpty) {
        post([owner = &owner] { owner->deliverSendDataEmpty(); });
        reportEmpty = false;
      }
      const platform::WakeOutcome woke = platform::waitWake(closeEvent->fd(), txWake->fd());
      if (woke == platform::WakeOutcome::Stopped) break;
      if (woke == platform::WakeOutcome::Failed) {
        postHangupOnce();
        break;
      }
      txWake->consume();
      continue;
    }
    if (!write(*next)) break;
    reportEmpty = true;
  }
}

}  // namespace channels
