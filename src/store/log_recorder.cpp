#include "store/log_recorder.h"

#include <QFileInfo>
#include <utility>

#include "platform/current_thread_linux.h"
#include "platform/file_append_posix.h"

namespace store {

QString RecordFailureMessage(const RecordFailure& failure) {
  QString message = (failure.opening ? QStringLiteral("Cannot open file \"%1\". %2")
                                     : QStringLiteral("Cannot write file \"%1\". %2"))
                        .arg(failure.path, failure.error.text);
  if (failure.linesLost > 0) {
    message += (failure.linesLost == 1
                    ? QStringLiteral(". 1 line of the log (%2 bytes) was not recorded")
                    : QStringLiteral(". %1 lines of the log (%2 bytes) were not recorded")
                          .arg(failure.linesLost))
                   .arg(failure.bytesLost);
  }
  return message;
}

QString RecordPartPath(const QString& path, int part) {
  if (part <= 1) return path;
  const QString number = u'-' + QString::number(part);
  const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
  const qsizetype dot = path.lastIndexOf(u'.');
  // A dot that begins the name (".log") starts no suffix.
  if (dot <= nameStart) return path + number;
  return path.left(dot) + number + path.mid(dot);
}

LogRecorder::LogRecorder(QString path, std::function<void()> onFailure, qint64 partLimit)
    : path_(std::move(path)),
      onFailure_(std::move(onFailure)),
      partLimit_(partLimit),
      worker_([this] { run(); }) {}

LogRecorder::~LogRecorder() { stop(); }

void LogRecorder::record(QByteArray line) {
  if (stopped_ || line.isEmpty()) return;
  std::unique_lock lock(mutex_);
  drained_.wait(lock, [this] { return queuedBytes_ < kQueueLimit; });
  // The worker is woken for the first line it waits for, and for a full write while it gathers.
  const bool wake = idle_ || (queuedBytes_ < kWriteRun && queuedBytes_ + line.size() >= kWriteRun);
  queuedBytes_ += line.size();
  queue_.push_back(std::move(line));
  lock.unlock();
  if (wake) queued_.notify_one();
}

std::optional<RecordFailure> LogRecorder::stop() {
  if (!stopped_) {
    stopped_ = true;
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    queued_.notify_one();
    worker_.join();
  }
  return failure_;
}

void LogRecorder::run() {
  platform::nameCurrentThread("log-record");
  // A recording into a file that went on in parts before goes on in the last of them.
  int last = 1;
  while (QFileInfo::exists(RecordPartPath(path_, last + 1))) ++last;
  openPart(last);
  std::unique_lock lock(mutex_);
  for (;;) {
    const auto due = [this] { return stop_ || !queue_.empty(); };
    // Idle with everything flushed, the worker sleeps until a line comes; a timer wakes it only
    // to flush what it wrote.
    idle_ = true;
    if (unsyncedBytes_ > 0) {
      queued_.wait_until(lock, syncDue_, due);
    } else {
      queued_.wait(lock, due);
    }
    idle_ = false;
    // The lines of the next moments join the first in one write: a stream of short lines costs
    // a wake-up and a write a gathering, not one a line.
    if (!queue_.empty()) {
      queued_.wait_for(lock, kGather, [this] { return stop_ || queuedBytes_ >= kWriteRun; });
    }
    std::vector<QByteArray> lines;
    lines.swap(queue_);
    queuedBytes_ = 0;
    const bool stopping = stop_;
    lock.unlock();
    drained_.notify_all();
    writeLines(lines);
    if (unsyncedBytes_ > 0 && (stopping || Clock::now() >= syncDue_)) sync();
    if (stopping) break;
    lock.lock();
  }
  fd_.reset();
}

void LogRecorder::openPart(int part) {
  for (;; ++part) {
    fd_.reset();
    platform::AppendOpenResult opened = platform::openForAppend(RecordPartPath(path_, part));
    part_ = part;
    if (opened.error) return fail(*opened.error, true);
    fd_ = std::move(opened.fd);
    partSize_ = opened.size;
    if (partSize_ < partLimit_) return;
  }
}

void LogRecorder::writeLines(std::vector<QByteArray>& lines) {
  size_t next = 0;
  while (next < lines.size() && !failure_) {
    if (partSize_ > 0 && partSize_ + lines[next].size() > partLimit_) {
      // The finished part goes to the disk whole before the next one starts.
      if (unsyncedBytes_ > 0) sync();
      if (!failure_) openPart(part_ + 1);
      continue;
    }
    // The lines that fit in the part, joined into one write of about a MiB at most.
    size_t end = next + 1;
    qint64 runBytes = lines[next].size();
    while (end < lines.size() && runBytes < kWriteRun &&
           partSize_ + runBytes + lines[end].size() <= partLimit_) {
      runBytes += lines[end++].size();
    }
    QByteArray joined;
    if (end == next + 1) {
      joined = lines[next];
    } else {
      joined.reserve(runBytes);
      for (size_t i = next; i < end; ++i) joined += lines[i];
    }
    const platform::WriteAllResult written = platform::writeAll(fd_.get(), joined);
    if (written.written > 0 && unsyncedBytes_ == 0) syncDue_ = Clock::now() + kSyncDelay;
    partSize_ += written.written;
    qint64 left = written.written;
    for (; next < end && left >= lines[next].size(); ++next) {
      left -= lines[next].size();
      ++unsyncedLines_;
      unsyncedBytes_ += lines[next].size();
    }
    if (written.error) {
      // A line written in part counts as not recorded, with the bytes of it that are missing.
      fail(*written.error);
      failure_->bytesLost -= left;
    }
  }
  countLost(lines, next);
}

void LogRecorder::sync() {
  const qint64 lines = std::exchange(unsyncedLines_, 0);
  const qint64 bytes = std::exchange(unsyncedBytes_, 0);
  if (const auto error = platform::syncData(fd_.get())) {
    // What the flush failed to bring to the disk may be lost with it.
    fail(*error);
    failure_->linesLost += lines;
    failure_->bytesLost += bytes;
  }
}

void LogRecorder::fail(const platform::SystemError& error, bool opening) {
  if (failure_) return;
  fd_.reset();
  // What was written stays in the system's cache, which brings it to the disk on its own: there
  // is nothing more to flush, and nothing to wake the worker for.
  unsyncedLines_ = 0;
  unsyncedBytes_ = 0;
  failure_ = RecordFailure{RecordPartPath(path_, part_), error, opening};
  if (onFailure_) onFailure_();
}

void LogRecorder::countLost(const std::vector<QByteArray>& lines, size_t from) {
  if (!failure_) return;
  for (size_t i = from; i < lines.size(); ++i) {
    ++failure_->linesLost;
    failure_->bytesLost += lines[i].size();
  }
}

}  // namespace store
