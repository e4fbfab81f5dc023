#pragma once
// Helpers for the serial engine's tests: a pty pair whose master side plays the far end of the
// line, and a recorder of a TComm's events.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <functional>
#include <vector>

#include "channels/serial_comm.h"
#include "platform/descriptor_io_posix.h"
#include "platform/descriptor_waits_linux.h"
#include "platform/pseudo_terminal_posix.h"

namespace serial_test {

// The far end: the master of a pty pair. Its slave path is the TComm's CommName.
class FarEnd {
 public:
  FarEnd() {
    auto pty = platform::openPseudoTerminal();
    if (!pty) throw std::runtime_error("no pseudo terminal");
    master_ = std::move(pty->master);
    path_ = pty->slavePath;
    never_ = platform::EventFd::create();
  }

  const QString& path() const { return path_; }
  int fd() const { return master_.get(); }
  bool isOpen() const { return master_.valid(); }
  void close() { master_.reset(); }

  // Writes all of `data`; false when that took longer than `limitMs`.
  bool write(QByteArrayView data, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < data.size()) {
      const platform::IoResult r =
          platform::writeSome(fd(), data.data() + done, static_cast<size_t>(data.size() - done));
      if (r.kind == platform::IoResult::Done) {
        done += static_cast<qsizetype>(r.count);
        continue;
      }
      if (r.kind != platform::IoResult::WouldBlock) return false;
      const qint64 left = limitMs - clock.elapsed();
      if (left <= 0) return false;
      platform::waitDevice(fd(), platform::WaitFor::Writable, never_->fd(),
                           std::chrono::milliseconds(left));
    }
    return true;
  }

  // Reads until `count` bytes have come or `limitMs` has passed; at most `step` bytes per read,
  // with `pauseMs` between reads (a slow reader).
  QByteArray read(qsizetype count, int limitMs = 5000, qsizetype step = 65536, int pauseMs = 0) {
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    QByteArray buffer(step, '\0');
    while (got.size() < count) {
      const qint64 left = limitMs - clock.elapsed();
      if (left <= 0) break;
      const platform::WaitOutcome w = platform::waitDevice(
          fd(), platform::WaitFor::Readable, never_->fd(), std::chrono::milliseconds(left));
      if (w != platform::WaitOutcome::Ready) break;
      const platform::IoResult r = platform::readSome(
          fd(), buffer.data(), static_cast<size_t>(std::min(step, count - got.size())));
      if (r.kind == platform::IoResult::Done) {
        got.append(buffer.constData(), static_cast<qsizetype>(r.count));
        if (pauseMs > 0) QTest::qSleep(pauseMs);
      } else if (r.kind != platform::IoResult::WouldBlock) {
        break;
      }
    }
    return got;
  }

 private:
  platform::UniqueFd master_;
  QString path_;
  std::optional<platform::EventFd> never_;  // a stop descriptor that is never signalled
};

// Everything a TComm reported, in order.
struct Recorder {
  explicit Recorder(channels::TComm& comm) {
    comm.OnReceiveData = [this](channels::TComm&, const char* buffer, quint16 length) {
      chunks.emplace_back(buffer, length);
      if (buffer[length] != '\0') ++unterminatedChunks;
    };
    comm.OnRequestHangup = [this](channels::TComm&) { ++hangups; };
    comm.OnSendDataEmpty = [this](channels::TComm&) { ++sendEmpty; };
    comm.OnReceiveError = [this](channels::TComm&, quint32) { ++errors; };
    comm.OnModemStateChange = [this](channels::TComm&, quint32) { ++modemEvents; };
  }

  QByteArray all() const {
    QByteArray joined;
    for (const QByteArray& c : chunks) joined += c;
    return joined;
  }
  qsizetype received() const {
    qsizetype n = 0;
    for (const QByteArray& c : chunks) n += c.size();
    return n;
  }

  std::vector<QByteArray> chunks;
  int unterminatedChunks = 0;
  int hangups = 0;
  int sendEmpty = 0;
  int errors = 0;
  int modemEvents = 0;
};

// Runs the event loop until `done` holds, at most `limitMs` (a generous bound, not a timing).
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 5000) {
  return QTest::qWaitFor(done, limitMs);
}

// Runs the event loop for `ms` whatever happens.
inline void Spin(int ms) { QTest::qWait(ms); }

// A recognisable pattern: byte i of the stream numbered `seed`.
inline QByteArray Pattern(qsizetype size, int seed) {
  QByteArray bytes(size, '\0');
  for (qsizetype i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
  return bytes;
}

}  // namespace serial_test
