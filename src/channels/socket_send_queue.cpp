#include "channels/socket_send_queue.h"

namespace channels {

namespace {

// Small messages queued behind each other are joined, so one send() carries many of them.
constexpr qsizetype kJoinBelow = 64 * 1024;

}  // namespace

void SocketSendQueue::append(QByteArrayView bytes) {
  if (bytes.empty()) return;
  if (!chunks_.empty() && chunks_.back().size() < kJoinBelow)
    chunks_.back().append(bytes);
  else
    chunks_.emplace_back(bytes.data(), bytes.size());
  size_ += bytes.size();
}

QByteArrayView SocketSendQueue::front() const {
  if (chunks_.empty()) return {};
  return QByteArrayView(chunks_.front()).sliced(frontOffset_);
}

void SocketSendQueue::consume(qsizetype count) {
  while (count > 0 && !chunks_.empty()) {
    const qsizetype left = chunks_.front().size() - frontOffset_;
    const qsizetype taken = std::min(count, left);
    frontOffset_ += taken;
    size_ -= taken;
    count -= taken;
    if (frontOffset_ == chunks_.front().size()) {
      chunks_.pop_front();
      frontOffset_ = 0;
    }
  }
}

void SocketSendQueue::clear() {
  chunks_.clear();
  frontOffset_ = 0;
  size_ = 0;
}

}  // namespace channels
