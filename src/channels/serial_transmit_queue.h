#pragma once
// The buffers handed to the serial transmit thread, in call order. Its size is bounded: a
// sender that outpaces the line (continuous sending faster than the baud rate drains it) would
// otherwise make memory grow for as long as the port stays open. A buffer that would pass the
// bound is refused, as one that cannot be allocated is.
// Threads: pushed by the owner thread, popped by the transmit thread; it locks itself.

#include <QByteArray>
#include <QByteArrayView>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace channels {

// One queued message: its bytes, and whether each byte goes out in a write of its own.
struct QueuedWrite {
  QByteArray bytes;
  bool eachByteAlone = false;
};

class SerialTransmitQueue {
 public:
  // What the queued buffers may hold, each counted with its bookkeeping, so that a stream of
  // one-byte sends is bounded too.
  static constexpr std::size_t kLimit = 16 * 1024 * 1024;
  static constexpr std::size_t kCostPerBuffer = 64;

  // One buffer, written whole.
  bool push(QByteArray buffer) { return pushWrite({std::move(buffer), false}); }

  // A message whose bytes go out a write each. It is queued as one entry, so it costs its size
  // once and a long message fits as a long buffer does: all of it, or none when it does not fit,
  // so a message never goes out in part.
  bool pushEach(QByteArrayView bytes) { return pushWrite({bytes.toByteArray(), true}); }

  std::optional<QueuedWrite> pop() {
    std::lock_guard lock(mutex_);
    if (writes_.empty()) return std::nullopt;
    QueuedWrite next = std::move(writes_.front());
    writes_.pop_front();
    cost_ -= costOf(next.bytes);
    return next;
  }

 private:
  bool pushWrite(QueuedWrite write) {
    const std::size_t cost = costOf(write.bytes);
    std::lock_guard lock(mutex_);
    if (cost_ + cost > kLimit) return false;
    cost_ += cost;
    writes_.push_back(std::move(write));
    return true;
  }

  static std::size_t costOf(const QByteArray& buffer) {
    return static_cast<std::size_t>(buffer.size()) + kCostPerBuffer;
  }

  std::mutex mutex_;
  std::deque<QueuedWrite> writes_;
  std::size_t cost_ = 0;
};

}  // namespace channels
