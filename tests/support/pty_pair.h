#pragma once
// A pseudo-terminal pair for serial tests: the slave's path is the "port" the program opens,
// the master plays the device at the other end of the line.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <chrono>

#include "support/fd_read.h"

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
    return ReadFromFd(master_, count, bound);
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
