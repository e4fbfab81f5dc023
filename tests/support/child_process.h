#pragma once
// Runs a piece of a test in a forked child process, for faults that must not touch the test
// program itself: a crash, a change of user, a load that might exhaust memory. The child gets
// a pipe to report through and a time limit after which SIGALRM ends it; the parent gets how
// the child ended, what it reported and the most memory it held.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>
#include <functional>

namespace testing_support {

struct ChildOutcome {
  int status = 0;       // as from waitpid
  long maxRssKiB = 0;   // the child's peak resident size
  QByteArray reported;  // everything the child wrote to its report descriptor

  bool exitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// `body` runs in the child with the write end of the report pipe; its result is the child's
// exit code. The child never returns into the test framework: it leaves with _exit.
inline ChildOutcome RunInChild(const std::function<int(int reportFd)>& body,
                               unsigned timeLimitSeconds = 120) {
  ChildOutcome outcome;
  int fds[2];
  if (::pipe(fds) != 0) return outcome;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::alarm(timeLimitSeconds);
    ::_exit(body(fds[1]));
  }
  ::close(fds[1]);
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    outcome.reported.append(buffer, n);
  }
  ::close(fds[0]);
  struct rusage usage {};
  while (::wait4(pid, &outcome.status, 0, &usage) < 0 && errno == EINTR) {
  }
  outcome.maxRssKiB = usage.ru_maxrss;
  return outcome;
}

// Writes all of `text` to the report descriptor (from the child).
inline void Report(int fd, const QByteArray& text) {
  qsizetype done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.constData() + done, static_cast<size_t>(text.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += n;
  }
}

}  // namespace testing_support
