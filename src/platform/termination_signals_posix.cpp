#include "platform/termination_signals_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT};
int pipeFds[2] = {-1, -1};  // a signal handler can reach nothing but a global

void writeWakeByte(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);  // full pipe: one is enough
  errno = saved;
}

void setDisposition(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : onSignal_(std::move(onSignal)) {
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the default actions stay
  notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(pipeFds[0], bytes, sizeof bytes) > 0) {
    }
    onSignal_();
  });
  setDisposition(&writeWakeByte);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  setDisposition(SIG_DFL);
  delete notifier_;
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  pipeFds[0] = pipeFds[1] = -1;
}

}  // namespace platform
