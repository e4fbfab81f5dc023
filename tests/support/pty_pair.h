#pragma once
// A pseudo-terminal pair for serial tests: the slave's path is the "port" the program opens,
// the master plays the device at the other end of the line.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <chrono>

namespace testing_support {

class PtyPair {
 public:
  PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
      slavePath_ = QString::fromLocal8Bit(name);
      // Raw on both sides, so bytes pass unchanged; the slave is closed here and reopened by
      // the program under test.
      termios tio{};
      ::tcgetattr(slave, &tio);
      ::cfmakeraw(&tio);
      ::tcsetattr(slave, TCSANOW, &tio);
      ::close(slave);
    }
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool valid() const { return master_ >= 0; }
  const QString& slavePath() const { return slavePath_; }
  int master() const { return master_; }

  void write(const QByteArray& bytes) const {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
      if (n > 0) done += n;
    }
  }

  // Reads until `count` bytes arrived or the bound passed, running the event loop meanwhile.
  QByteArray read(qsizetype count,
                  std::chrono::milliseconds bound = std::chrono::seconds(5)) const {
    QByteArray out;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
      // Keep the program's event loop running while waiting: its timers send.
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) out.append(buffer, n);
    }
    return out;
  }

  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  QString slavePath_;
};

}  // namespace testing_support
