// The receive thread (chunking by inter-byte gap, line errors) and the modem thread.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <vector>

#include <QPointer>

#include "channels/serial_session.h"
#include "platform/current_thread_linux.h"
#include "platform/descriptor_io_posix.h"
#include "platform/descriptor_waits_linux.h"
#include "platform/serial_device_linux.h"

namespace channels {

namespace {

using Clock = std::chrono::steady_clock;

constexpr quint32 kDeliverAtOnce = std::numeric_limits<quint32>::max();  // Win32 MAXDWORD

// The longest the thread waits between reads while bytes stream in (see runReceive): a quarter
// of the gap, at most 8 ms; none without a gap, or when every read is delivered at once.
Clock::duration batchInterval(quint32 gapMs) {
  if (gapMs == 0 || gapMs == kDeliverAtOnce) return Clock::duration::zero();
  return std::min<Clock::duration>(std::chrono::microseconds(gapMs * 250ull),
                                   std::chrono::milliseconds(8));
}

// What a batch of reads aims at: a quarter of what a terminal's line discipline holds, so a
// sender is never held up (nor a fast line's bytes dropped) while the thread waits.
constexpr size_t kBatchBytes = 1024;
// A shorter wait saves no wake-up worth having: the stream is then read as it comes.
constexpr Clock::duration kShortestPause = std::chrono::microseconds(500);

// The wait before the next read when `count` bytes came in `since` the read before: as long as
// about kBatchBytes take at that rate, at most `interval`; zero when that is too short.
Clock::duration batchPause(Clock::duration since, size_t count, Clock::duration interval) {
  const Clock::duration pause = std::min(
      interval, since * static_cast<Clock::rep>(kBatchBytes) / static_cast<Clock::rep>(count));
  return pause < kShortestPause ? Clock::duration::zero() : pause;
}

// While a stream fills chunks, they are posted together at most this often (a screen shows a
// stream no faster), or as soon as this many wait: each post wakes the owning thread. A chunk
// that ends a burst goes at once, with those held before it.
constexpr Clock::duration kStreamPostPeriod = std::chrono::milliseconds(45);
constexpr size_t kMostChunksHeld = 16;

quint32 lineErrorFlags(const platform::SerialCounters& before,
                       const platform::SerialCounters& now) {
  quint32 flags = 0;
  if (now.bufferOverrun != before.bufferOverrun) flags |= kCommErrorRxOver;
  if (now.overrun != before.overrun) flags |= kCommErrorOverrun;
  if (now.parity != before.parity) flags |= kCommErrorParity;
  if (now.frame != before.frame) flags |= kCommErrorFrame;
  if (now.brk != before.brk) flags |= kCommErrorBreak;
  return flags;
}

}  // namespace

quint32 TComm::Session::newLineErrors(platform::SerialCounters& seen) {
  const std::optional<platform::SerialCounters> now = platform::readSerialCounters(fd());
  if (!now) return 0;
  const quint32 flags = lineErrorFlags(seen, *now);
  seen = *now;
  return flags;
}

void TComm::Session::runReceive() {
  platform::nameCurrentThread("serial-rx");
  platform::raiseCurrentThreadPriority(2);
  platform::usePreciseTimers();

  // The chunk in progress, plus room to read ahead: one read takes what the driver holds (a
  // terminal hands out at most 4 KiB at a time), and the bytes beyond the 2048 of a full chunk
  // start the next one, exactly as two reads would have.
  constexpr size_t kReadAhead = 4096;
  char buffer[kChunkLimit + kReadAhead];
  size_t filled = 0;
  Clock::time_point firstByte;  // of the chunk in progress
  Clock::time_point lastByte;
  bool readAgain = false;
  // While bytes stream in, a read at every arrival would cost a wake-up each, hundreds a second
  // on a busy line. Once reads have found bytes within the batch interval of each other for a
  // whole gap, the thread waits between reads for about kBatchBytes to gather at the rate it
  // sees (at most the interval) and takes them in one read, until a read finds nothing. Bytes
  // read together came within one interval of each other, so a chunk still never ends on a
  // silence shorter than the gap; its end may come up to one interval later. A burst shorter
  // than the gap (a device's answer, in the pieces a USB adapter delivers it in) is read and
  // ended as it comes, so its line is not late; a fast stream is read as it comes.
  Clock::duration pause = Clock::duration::zero();  // none: not batching
  Clock::time_point runStart;  // of the reads finding bytes within an interval of each other
  std::optional<platform::SerialCounters> counters = countersAtOpen;

  // Full chunks of a stream not posted yet, and when chunks were last posted.
  std::vector<QByteArray> held;
  Clock::time_point lastPost;
  const auto postHeld = [&] {
    if (held.empty()) return;
    receiveBacklog->chunksPosted(static_cast<int>(held.size()));
    post([owner = &owner, chunks = std::move(held), backlog = receiveBacklog] {
      // A handler may destroy the engine: the chunks after it are then only counted off.
      const QPointer<TComm> alive(owner);
      for (const QByteArray& chunk : chunks) {
        backlog->chunkDelivered();
        if (alive) owner->deliverReceiveData(chunk);
      }
    });
    held.clear();
    lastPost = Clock::now();
  };
  const auto hold = [&](const char* data, size_t size) {
    held.emplace_back(data, static_cast<qsizetype>(size));
  };
  // The held chunks' time to go; max() when none is held.
  const auto postDeadline = [&] {
    return held.empty() ? Clock::time_point::max() : lastPost + kStreamPostPeriod;
  };
  const auto flushAll = [&] {
    for (size_t at = 0; at < filled; at += kChunkLimit)
      hold(buffer + at, std::min<size_t>(kChunkLimit, filled - at));
    filled = 0;
    postHeld();
  };
  const auto flushFullChunks = [&] {
    size_t at = 0;
    for (; filled - at >= kChunkLimit; at += kChunkLimit) hold(buffer + at, kChunkLimit);
    if (at == 0) return;
    std::memmove(buffer, buffer + at, filled - at);
    filled -= at;
    firstByte = lastByte;
    if (held.size() >= kMostChunksHeld || Clock::now() >= postDeadline()) postHeld();
  };
  // When the chunk in progress must end; max() without a gap or total.
  const auto chunkDeadline = [&] {
    Clock::time_point deadline = Clock::time_point::max();
    const quint32 gap = gapMs.load(std::memory_order_relaxed);
    if (gap != 0) deadline = lastByte + std::chrono::milliseconds(gap);
    const quint64 total =
        quint64(readTotalMultiplierMs.load(std::memory_order_relaxed)) * kChunkLimit +
        readTotalConstantMs.load(std::memory_order_relaxed);
    if (total != 0) deadline = std::min(deadline, firstByte + std::chrono::milliseconds(total));
    return deadline;
  };

  // When the thread must next act without a byte coming: the chunk's end, or the held chunks'
  // once the line has been quiet for a post period. While bytes keep coming the held chunks go
  // with the wake-up of an arrival or a batch read after their time, at most that later: a
  // wake-up of their own would add one every post period.
  const auto nextDeadline = [&] {
    const Clock::time_point heldWake = held.empty()
                                           ? Clock::time_point::max()
                                           : std::max(postDeadline(), lastByte + kStreamPostPeriod);
    return std::min(filled > 0 ? chunkDeadline() : Clock::time_point::max(), heldWake);
  };

  for (;;) {
    {
      const Clock::time_point now = Clock::now();
      if (filled > 0 && chunkDeadline() <= now)
        flushAll();
      else if (postDeadline() <= now)
        postHeld();
    }
    // Held back while the owning thread is behind, until a delivery makes room or the port
    // closes; the bound is tested again after each wake-up (see serial_receive_backlog.h).
    while (receiveBacklog->full()) {
      const platform::WakeOutcome woke =
          platform::waitWake(closeEvent->fd(), receiveBacklog->drainedFd());
      if (woke == platform::WakeOutcome::Stopped) {
        flushAll();
        return;
      }
      if (woke == platform::WakeOutcome::Failed) {
        flushAll();
        postHangupOnce();
        return;
      }
      receiveBacklog->consumeDrained();
    }
    if (readAgain) {
      // A stream: read on without a poll in between, but keep answering the close signal.
      if (stopping.load(std::memory_order_relaxed)) {
        flushAll();
        return;
      }
    } else if (pause > Clock::duration::zero()) {
      const Clock::time_point deadline = nextDeadline();
      const Clock::duration wait =
          deadline == Clock::time_point::max() ? pause : std::min(pause, deadline - Clock::now());
      if (wait <= Clock::duration::zero()) continue;  // the loop's top ends what is due
      switch (platform::sleepUnlessStopped(closeEvent->fd(), wait)) {
        case platform::WaitOutcome::Stopped:
          flushAll();
          return;
        case platform::WaitOutcome::TimedOut:
          break;
        default:
          flushAll();
          postHangupOnce();
          return;
      }
    } else {
      std::optional<std::chrono::nanoseconds> timeout;  // none: wait for the first byte for ever
      const Clock::time_point deadline = nextDeadline();
      if (deadline != Clock::time_point::max()) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) continue;  // the loop's top ends what is due
        timeout = left;
      }
      switch (platform::waitDevice(fd(), platform::WaitFor::Readable, closeEvent->fd(), timeout)) {
        case platform::WaitOutcome::Stopped:
          // Bytes that arrived before the close still reach OnReceiveData.
          flushAll();
          return;
        case platform::WaitOutcome::TimedOut:
          continue;  // the loop's top ends what is due
        case platform::WaitOutcome::HungUp:
        case platform::WaitOutcome::Failed:
          flushAll();
          postHangupOnce();
          return;
        case platform::WaitOutcome::Ready:
          break;
      }
    }
    const bool waitedBefore = !readAgain;
    readAgain = false;
    const platform::IoResult r = platform::readSome(fd(), buffer + filled, sizeof buffer - filled);
    switch (r.kind) {
      case platform::IoResult::Done: {
        const Clock::time_point now = Clock::now();
        const quint32 gap = gapMs.load(std::memory_order_relaxed);
        const Clock::duration interval = batchInterval(gap);
        if (pause == Clock::duration::zero() && now - lastByte >= interval) runStart = now;
        const bool aStream = now - runStart >= std::chrono::milliseconds(gap);
        // A read straight after a full one tells nothing of the rate: the pause stays.
        if (waitedBefore &&
            (pause > Clock::duration::zero() || (aStream && now - lastByte < interval)))
          pause = batchPause(now - lastByte, r.count, interval);
        lastByte = now;
        if (filled == 0) firstByte = lastByte;
        filled += r.count;
        if (const quint32 errors = counters ? newLineErrors(*counters) : 0; errors != 0) {
          postHeld();  // the chunks before an error reach the owner before it
          post([owner = &owner, errors] { owner->deliverReceiveError(errors); });
        }
        if (gapMs.load(std::memory_order_relaxed) == kDeliverAtOnce)
          flushAll();
        else
          flushFullChunks();
        // A read that took this much found a full driver buffer: more is likely waiting.
        readAgain = r.count >= kChunkLimit;
        break;
      }
      case platform::IoResult::WouldBlock:
        // Nothing came in the pause: wait for the next byte or the end of the gap.
        pause = Clock::duration::zero();
        break;
      case platform::IoResult::EndOfStream:  // a hung-up terminal reads as end of file
      case platform::IoResult::Failed:       // EIO: the device is gone
        flushAll();
        postHangupOnce();
        return;
    }
  }
}

void TComm::Session::runModemWatch() {
  platform::nameCurrentThread("serial-modem");
  modemInterrupter.bindToCurrentThread();
  platform::SerialCounters seen = *countersAtOpen;
  while (!stopping.load()) {
    const platform::ModemWaitOutcome outcome = platform::waitModemChange(fd());
    if (outcome == platform::ModemWaitOutcome::Interrupted) continue;
    // The driver cannot wait, or the device is gone (the receive thread reports that).
    if (outcome == platform::ModemWaitOutcome::Failed) break;
    const std::optional<platform::SerialCounters> now = platform::readSerialCounters(fd());
    if (!now) break;
    quint32 bits = 0;
    if (now->carrier != seen.carrier) bits |= kModemCarrier;
    if (now->ring != seen.ring) bits |= kModemRing;
    seen = *now;
    if (bits != 0 && !stopping.load())
      post([owner = &owner, bits] { owner->deliverModemStateChange(bits); });
  }
}

}  // namespace channels
