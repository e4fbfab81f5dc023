#pragma once
// Records the traffic log into a file while it is written, on a thread of its own, so the window
// never waits for the disk. The owner hands over each line already encoded (the bytes a saved log
// holds for it); the worker appends the lines in order with write(2) at most 250 ms after they
// came (those of the 250 ms in one write), so from then on a line outlives a crash of the
// program, and flushes them to the disk (fdatasync) within a second of their coming, so a power
// loss loses at most the last second.
// The file is appended to, never replaced: it grows for as long as the recording runs, which is
// why it is the one file the program does not write whole through a temporary file. A file that
// exists is continued. Before a part would pass the size limit, the recording goes on in the next
// part, named with a number: "a.txt", "a-2.txt", "a-3.txt"... A line is never split between
// parts; a recording into a file that has parts goes on in the last, or after it when it is full.
// A file that cannot be opened, written or flushed ends the recording: the worker reports it once
// through onFailure, then writes nothing more and counts every line it takes as not recorded;
// stop() gives the failure with all that did not reach the file.
// A disk slower than the stream: when 64 MiB wait for the worker, record() waits until it has
// taken them, so the window falls behind (and the channels hold their bytes back) instead of the
// memory growing without bound.
//
// Threads: the owner's thread constructs, calls record() and stop(), and destroys; the worker
// owns the descriptor. Lines cross through a mutex-guarded FIFO of owned byte arrays; the worker
// is notified for the first line while it waits, then gathers what comes for 250 ms (or up to a
// MiB) into one write. onFailure runs on the worker thread: it may only post a note to the
// owner's thread.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace store {

struct RecordFailure {
  QString path;  // the part that failed
  platform::SystemError error;
  bool opening = false;  // the part could not be opened (else written or flushed)
  qint64 linesLost = 0;  // lines not in the file, or not flushed to the disk when the flush failed
  qint64 bytesLost = 0;
};

// "Cannot open file "<path>". <reason>" or "Cannot write file ...", and how many lines and bytes
// were not recorded when there were any.
QString RecordFailureMessage(const RecordFailure& failure);

// The name of part `part` (from 1) of a recording into `path`: the path itself for part 1, else
// "-<part>" before the file name's suffix.
QString RecordPartPath(const QString& path, int part);

class LogRecorder {
 public:
  static constexpr qint64 kPartLimit = qint64{1} << 30;  // 1 GiB: what an editor still opens

  // Starts the worker, which opens the file (a failure is reported as any other).
  LogRecorder(QString path, std::function<void()> onFailure, qint64 partLimit = kPartLimit);
  ~LogRecorder();
  LogRecorder(const LogRecorder&) = delete;
  LogRecorder& operator=(const LogRecorder&) = delete;

  const QString& path() const { return path_; }
  // Queues one line for the file.
  void record(QByteArray line);
  // Writes what is queued, flushes it, closes the file and ends the worker; the failure, if the
  // recording failed. Later calls give the same and record() does nothing.
  std::optional<RecordFailure> stop();

 private:
  using Clock = std::chrono::steady_clock;
  // A line waits at most kGather to be written and is flushed at most kSyncDelay after the
  // first write after the last flush: within a second together.
  static constexpr auto kGather = std::chrono::milliseconds(250);
  static constexpr auto kSyncDelay = std::chrono::milliseconds(600);
  static constexpr qsizetype kQueueLimit = qsizetype{64} << 20;
  static constexpr qsizetype kWriteRun = qsizetype{1} << 20;  // lines joined into one write

  void run();
  void openPart(int part);
  void writeLines(std::vector<QByteArray>& lines);
  void sync();
  void fail(const platform::SystemError& error, bool opening = false);
  void countLost(const std::vector<QByteArray>& lines, size_t from);

  const QString path_;
  const std::function<void()> onFailure_;
  const qint64 partLimit_;
  bool stopped_ = false;  // owner's thread

  std::mutex mutex_;
  std::condition_variable queued_;   // lines came, or stop
  std::condition_variable drained_;  // the worker took the queue
  std::vector<QByteArray> queue_;
  qsizetype queuedBytes_ = 0;
  bool idle_ = false;  // the worker waits for the first line
  bool stop_ = false;

  // The worker's own; the owner reads failure_ only after the join.
  platform::UniqueFd fd_;
  int part_ = 1;
  qint64 partSize_ = 0;
  qint64 unsyncedLines_ = 0;
  qint64 unsyncedBytes_ = 0;
  Clock::time_point syncDue_;
  std::optional<RecordFailure> failure_;

  std::thread worker_;  // last: starts once everything above is in place
};

}  // namespace store
