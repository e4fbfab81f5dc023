#pragma once
// The chunks the serial receive thread has posted and the owning thread has not yet delivered.
// While kMaxChunksAwaitingDelivery of them wait, the receive thread reads no more (the device's
// buffers hold the bytes) and blocks on `drained`, which the delivery that brings the backlog
// under its bound signals: it wakes exactly when there is room again, without polling.
// Threads: counted up by the receive thread, down by the posted deliveries on the owning thread;
// shared with those posted calls, which may outlive the session.
//
// No lost wake-up: `drained` is an eventfd, readable from the signal until consumed, so a
// signal that comes before the receive thread waits still ends the wait; the thread consumes it
// and then tests the bound again. A signal left over from an earlier crossing only makes one
// wait return early, after which the test holds the thread back again.

#include <atomic>
#include <utility>

#include "channels/serial_comm.h"
#include "platform/descriptor_waits_linux.h"

namespace channels {

class SerialReceiveBacklog {
 public:
  explicit SerialReceiveBacklog(platform::EventFd drained) : drained_(std::move(drained)) {}

  // The receive thread, as it posts `count` chunks.
  void chunksPosted(int count) { awaiting_.fetch_add(count, std::memory_order_relaxed); }
  // The owning thread, as it delivers one. Only the crossing under the bound signals, so a
  // delivery costs no system call otherwise.
  void chunkDelivered() {
    if (awaiting_.fetch_sub(1, std::memory_order_acq_rel) == kMaxChunksAwaitingDelivery)
      drained_.signal();
  }
  // The receive thread, before it reads.
  bool full() const {
    return awaiting_.load(std::memory_order_acquire) >= kMaxChunksAwaitingDelivery;
  }
  int drainedFd() const { return drained_.fd(); }
  void consumeDrained() { drained_.consume(); }

 private:
  std::atomic<int> awaiting_{0};
  platform::EventFd drained_;
};

}  // namespace channels
