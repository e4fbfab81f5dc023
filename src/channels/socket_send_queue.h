#pragma once
// The bytes of one connection that the system has not taken yet, oldest first. They go out in
// the order they were given, as soon as the socket is writable; the queue refuses to grow past
// its limit, so a peer that stops reading cannot make memory grow without bound.
//
// Threads: GUI thread only.

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <deque>

namespace channels {

class SocketSendQueue {
 public:
  explicit SocketSendQueue(qsizetype limit) : limit_(limit) {}

  bool empty() const { return size_ == 0; }
  qsizetype size() const { return size_; }
  bool fits(qsizetype more) const { return more <= limit_ - size_; }

  void append(QByteArrayView bytes);
  // The oldest unsent bytes (one stored chunk, not necessarily all that is queued).
  QByteArrayView front() const;
  void consume(qsizetype count);
  void clear();

 private:
  qsizetype limit_;
  std::deque<QByteArray> chunks_;
  qsizetype frontOffset_ = 0;  // bytes of chunks_.front() already sent
  qsizetype size_ = 0;
};

}  // namespace channels
