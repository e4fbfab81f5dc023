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

class SerialTransmitQueue {
 public:
  // What the queued buffers may hold, each counted with its bookkeeping, so that a stream of
  // one-byte sends is bounded too.
  static constexpr std::size_t kLimit = 16 * 1024 * 1024;
  static constexpr std::size_t kCostPerBuffer = 64;

  bool push(QByteArray buffer) {
    const std::size_t cost = costOf(buffer);
    std::lock_guard lock(mutex_);
    if (cost_ + cost > kLimit) return false;
    cost_ += cost;
    buffers_.push_back(std::move(buffer));
    return true;
  }

  // Each byte as a buffer of its own: all of them, or none when they do not all fit, so a
  // message never goes out in part.
  bool pushEach(QByteArrayView bytes) {
    const std::size_t cost =
        static_cast<std::size_t>(bytes.size()) * (1 + kCostPerBuffer);
    std::lock_guard lock(mutex_);
    if (cost_ + cost > kLimit) return false;
    cost_ += cost;
    for (char byte : bytes) buffers_.emplace_back(1, byte);
    return true;
  }

  std::optional<QByteArray> pop() {
    std::lock_guard lock(mutex_);
    if (buffers_.empty()) return std::nullopt;
    QByteArray next = std::move(buffers_.front());
    buffers_.pop_front();
    cost_ -= costOf(next);
    return next;
  }

 private:
  static std::size_t costOf(const QByteArray& buffer) {
    return static_cast<std::size_t>(buffer.size()) + kCostPerBuffer;
  }

  std::mutex mutex_;
  std::deque<QByteArray> buffers_;
  std::size_t cost_ = 0;
};

}  // namespace channels
